// SPDX-License-Identifier: MIT
// The record file of a switched display mode, read and written with POSIX calls.
#include "record_file.h"

#include "mode_record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

std::string recordPath() {
    return modeRecordPath(std::getenv("XDG_RUNTIME_DIR"), static_cast<unsigned>(getuid()));
}

namespace {

bool writeAll(int fd, const std::string &text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

} // namespace

// Written whole or not at all: a temporary name beside, fsync, rename, and the directory
// synced so that the new name lasts too.
bool writeRecordFile(const std::string &path, const std::string &text, std::string &why) {
    const std::string temporary = path + ".new-" + std::to_string(getpid());
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        why = "cannot create " + temporary + ": " + std::strerror(errno);
        return false;
    }
    const bool written = writeAll(fd, text) && fsync(fd) == 0;
    const int error = errno;
    if (close(fd) != 0 || !written || rename(temporary.c_str(), path.c_str()) != 0) {
        why = "cannot write " + path + ": " + std::strerror(written ? errno : error);
        unlink(temporary.c_str());
        return false;
    }
    const std::string directory = path.substr(0, path.rfind('/') + 1);
    const int dirFd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

// The record file's text; nothing where there is none. A file that is no regular file of
// this user's is no record of this program's.
std::optional<std::string> readRecordFile(const std::string &path, std::string &why) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) {
            why = std::strerror(errno);
            return std::string();
        }
        return std::nullopt;
    }
    struct stat facts {};
    std::string text;
    if (fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode) || facts.st_uid != getuid() ||
        facts.st_size > 4096) {
        why = "it is no small regular file of this user's";
    } else {
        char buffer[4096];
        ssize_t got = 0;
        while ((got = read(fd, buffer, sizeof buffer)) > 0) {
            text.append(buffer, static_cast<std::size_t>(got));
        }
    }
    close(fd);
    return text;
}
