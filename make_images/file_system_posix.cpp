// SPDX-License-Identifier: MIT
// The calls of file_system.h on POSIX systems: open, write, fsync, rename, and kill(pid, 0) to
// see whether a process runs. It decides nothing about which files.
#include "file_system.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace moiravel::images {

pid_t currentProcess() {
    return ::getpid();
}

bool processRunning(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

bool mayWrite(const std::string &path) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

int createNew(const std::string &path, unsigned mode) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0 && mode != 0 && ::fchmod(descriptor, mode & 07777) != 0) {
        const int error = errno;
        ::close(descriptor);
        errno = error;
        return -1;
    }
    return descriptor;
}

bool writeFlushClose(int descriptor, std::string_view bytes) {
    bool written = true;
    while (written && !bytes.empty()) {
        const ssize_t done = ::write(descriptor, bytes.data(), bytes.size());
        if (done < 0 && errno == EINTR) {
            continue;
        }
        written = done > 0;
        if (written) {
            bytes.remove_prefix(static_cast<std::size_t>(done));
        }
    }
    written = written && ::fsync(descriptor) == 0;
    const int error = errno;
    const bool closed = ::close(descriptor) == 0;
    if (!written) {
        errno = error;
    }
    return written && closed;
}

void closeFile(int descriptor) {
    ::close(descriptor);
}

bool removeFile(const std::string &path) {
    return ::unlink(path.c_str()) == 0;
}

bool replaceFile(const std::string &from, const std::string &to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

// A file system that cannot flush a directory says EINVAL; its renames are then as lasting as
// it makes them.
bool flushDirectory(const std::string &directory) {
    const int descriptor = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool flushed = descriptor >= 0 && (::fsync(descriptor) == 0 || errno == EINVAL);
    const int error = errno;
    if (descriptor >= 0) {
        ::close(descriptor);
    }
    errno = error;
    return flushed;
}

} // namespace moiravel::images
