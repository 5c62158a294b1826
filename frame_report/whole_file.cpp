// SPDX-License-Identifier: MIT
// A file written under a temporary name beside it, flushed and renamed into place (POSIX).
#include "whole_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace moiravel::frames {

namespace {

std::string cannotWrite(const std::string &path, int error) {
    return path + ": cannot write: " + std::strerror(error);
}

bool writeAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t done = ::write(descriptor, bytes.data(), bytes.size());
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            if (done == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(done));
    }
    return true;
}

} // namespace

std::string temporaryPath(const std::string &path) {
    const std::filesystem::path final(path);
    const std::string name = "." + final.filename().string() + ".moiravel-frame-report." +
                             std::to_string(::getpid()) + ".tmp";
    return (final.parent_path() / name).string();
}

std::optional<std::string> writeWholeFile(const std::string &path, std::string_view bytes) {
    if (std::filesystem::is_directory(path)) {
        return cannotWrite(path, EISDIR);
    }
    const std::string temporary = temporaryPath(path);
    const int descriptor =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        return cannotWrite(path, errno);
    }
    const bool written = writeAll(descriptor, bytes) && ::fsync(descriptor) == 0;
    int error = errno;
    const bool closed = ::close(descriptor) == 0;
    if (written && !closed) {
        error = errno;
    }
    if (!written || !closed || ::rename(temporary.c_str(), path.c_str()) != 0) {
        if (written && closed) {
            error = errno;
        }
        ::unlink(temporary.c_str());
        return cannotWrite(path, error);
    }
    // The rename reaches the disk with its directory; one that cannot be flushed keeps it as
    // lasting as its file system makes it.
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    const int directory =
        ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
    return std::nullopt;
}

} // namespace moiravel::frames
