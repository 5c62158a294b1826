// SPDX-License-Identifier: MIT
// The calls of file_system.h on Windows: the C runtime's descriptors, _commit to flush a file,
// MoveFileEx to replace one (rename does not replace an existing file there), and the process
// handle to see whether a process runs. Windows has no permission bits to copy and flushes a
// directory's entries with the files, so those two do nothing. It decides nothing about which
// files.
#include "file_system.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>

namespace moiravel::images {

pid_t currentProcess() {
    return static_cast<pid_t>(::GetCurrentProcessId());
}

bool processRunning(pid_t pid) {
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) {
        // A process that exists but is not ours to open still runs.
        return ::GetLastError() == ERROR_ACCESS_DENIED;
    }
    const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return running;
}

bool mayWrite(const std::string &path) {
    return ::_access(path.c_str(), 2) == 0;
}

int createNew(const std::string &path, unsigned) {
    return ::_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                   _S_IREAD | _S_IWRITE);
}

bool writeFlushClose(int descriptor, std::string_view bytes) {
    bool written = true;
    while (written && !bytes.empty()) {
        const unsigned part = static_cast<unsigned>(std::min<std::size_t>(bytes.size(), INT_MAX));
        const int done = ::_write(descriptor, bytes.data(), part);
        written = done > 0;
        if (written) {
            bytes.remove_prefix(static_cast<std::size_t>(done));
        }
    }
    written = written && ::_commit(descriptor) == 0;
    const int error = errno;
    const bool closed = ::_close(descriptor) == 0;
    if (!written) {
        errno = error;
    }
    return written && closed;
}

void closeFile(int descriptor) {
    ::_close(descriptor);
}

bool removeFile(const std::string &path) {
    return ::_unlink(path.c_str()) == 0;
}

bool replaceFile(const std::string &from, const std::string &to) {
    if (::MoveFileExA(from.c_str(), to.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
        return true;
    }
    errno = ::GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
}

bool flushDirectory(const std::string &) {
    return true;
}

} // namespace moiravel::images
