// SPDX-License-Identifier: MIT
// A file's bytes for the image reader on Windows: CreateFileA and a
// read-only view of a file mapping. Only a regular file on a disk is mapped,
// and Windows error codes become the C library's numbers so that the reasons
// read as on Linux. Nothing here parses the bytes.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX

#include "file_map.h"

#include <cerrno>

#include <windows.h>

namespace {

// The C library's number for a Windows error, so that the reason reads as on
// Linux ("No such file or directory", "Permission denied").
int errnoOf(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EIO;
    }
}

} // namespace

bool mapFile(const char *fileName, MappedFile &file, PpmLoadError &error) {
    auto systemFailure = [&](PpmFailure failure, DWORD code) {
        error.failure = failure;
        error.systemError = errnoOf(code);
        return false;
    };
    // Only a regular file on a disk is read: a device (NUL, a console, under
    // Wine a link to /dev/zero) or a pipe is refused before a byte is read. A
    // directory cannot be opened this way at all. Others may go on reading and
    // writing the file, as with fopen.
    HANDLE handle =
        ::CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesA(fileName);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            error.failure = PpmFailure::notRegularFile;
            error.found = "a directory";
            return false;
        }
        return systemFailure(PpmFailure::cannotOpen, code);
    }
    BY_HANDLE_FILE_INFORMATION info;
    LARGE_INTEGER size;
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        error.failure = PpmFailure::notRegularFile;
        error.found = "a device";
        return false;
    }
    if (!::GetFileInformationByHandle(handle, &info) || !::GetFileSizeEx(handle, &size) ||
        size.QuadPart < 0) {
        systemFailure(PpmFailure::cannotRead, ::GetLastError());
        ::CloseHandle(handle);
        return false;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        ::CloseHandle(handle);
        error.failure = PpmFailure::notRegularFile;
        error.found = "a directory";
        return false;
    }
    if (size.QuadPart == 0) {
        ::CloseHandle(handle);
        file = MappedFile{"", 0};
        return true;
    }
    // The whole file is mapped at once; the reader's own checks then refuse
    // sizes that the rest of the file cannot hold before allocating.
    HANDLE mapping = ::CreateFileMappingA(handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr) {
        systemFailure(PpmFailure::cannotRead, ::GetLastError());
        ::CloseHandle(handle);
        return false;
    }
    ::CloseHandle(handle);
    const void *view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    if (view == nullptr) {
        systemFailure(PpmFailure::cannotRead, ::GetLastError());
        ::CloseHandle(mapping);
        return false;
    }
    ::CloseHandle(mapping);
    file = MappedFile{static_cast<const char *>(view), static_cast<std::size_t>(size.QuadPart)};
    return true;
}

void unmapFile(const MappedFile &file) {
    if (file.size != 0) {
        ::UnmapViewOfFile(file.data);
    }
}
