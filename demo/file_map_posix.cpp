// SPDX-License-Identifier: MIT
// A file's bytes for the image reader on POSIX systems: open, fstat and mmap.
// Only a regular file is mapped; a FIFO without a writer cannot hang the
// viewer. Nothing here parses the bytes.
#include "file_map.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *fileKind(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a directory";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    return "a socket";
}

} // namespace

bool mapFile(const char *fileName, MappedFile &file, PpmLoadError &error) {
    auto systemFailure = [&](PpmFailure failure) {
        error.failure = failure;
        error.systemError = errno;
        return false;
    };
    // Non-blocking open so that a FIFO without a writer cannot hang the
    // viewer; anything but a regular file is refused.
    int fd = ::open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return systemFailure(PpmFailure::cannotOpen);
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        systemFailure(PpmFailure::cannotRead);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        error.failure = PpmFailure::notRegularFile;
        error.found = fileKind(info.st_mode);
        return false;
    }
    const std::size_t size = static_cast<std::size_t>(info.st_size);
    if (size == 0) {
        ::close(fd);
        file = MappedFile{"", 0};
        return true;
    }
    // Files of ordinary size are read ahead in one go; huge ones page in as
    // the reader gets to them.
    const int populate = size <= (std::size_t{1} << 30) ? MAP_POPULATE : 0;
    void *mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | populate, fd, 0);
    if (mapped == MAP_FAILED) {
        systemFailure(PpmFailure::cannotRead);
        ::close(fd);
        return false;
    }
    ::close(fd);
    ::madvise(mapped, size, MADV_SEQUENTIAL);
    file = MappedFile{static_cast<const char *>(mapped), size};
    return true;
}

void unmapFile(const MappedFile &file) {
    if (file.size != 0) {
        ::munmap(const_cast<char *>(file.data), file.size);
    }
}
