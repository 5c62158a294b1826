// SPDX-License-Identifier: MIT
// The frame log's file on a POSIX system: open, write, fsync, rename, and the directory
// synced so that the new name lasts too.
#include "log_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

bool createLogFile(LogFile &file, const std::string &path, std::string &why) {
    // A write past the file size limit then fails with EFBIG, which the log reports, rather
    // than ending the run.
    std::signal(SIGXFSZ, SIG_IGN);
    file.path = path;
    file.temporary = temporaryLogName(path);
    const int fd = open(file.temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    file.handle = fd;
    return true;
}

bool appendToLogFile(LogFile &file, const char *data, std::size_t size, std::string &why) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t wrote = write(static_cast<int>(file.handle), data + done, size - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            why = std::strerror(wrote < 0 ? errno : ENOSPC);
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

bool finishLogFile(LogFile &file, std::string &why) {
    const int fd = static_cast<int>(file.handle);
    file.handle = -1;
    const bool synced = fsync(fd) == 0;
    const int error = errno;
    if (close(fd) != 0 || !synced || rename(file.temporary.c_str(), file.path.c_str()) != 0) {
        why = std::strerror(synced ? errno : error);
        unlink(file.temporary.c_str());
        return false;
    }
    const std::size_t slash = file.path.rfind('/');
    const std::string directory =
        slash == std::string::npos ? std::string(".") : file.path.substr(0, slash + 1);
    const int dirFd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

void discardLogFile(LogFile &file) {
    if (file.handle >= 0) {
        close(static_cast<int>(file.handle));
        file.handle = -1;
    }
    unlink(file.temporary.c_str());
}
