// SPDX-License-Identifier: MIT
// How the image reader gets at a file's bytes: the file opened, refused
// unless it is a regular file, and mapped whole for reading. One
// implementation per operating system, file_map_posix.cpp or
// file_map_win32.cpp, of which the build compiles one. Nothing here looks at
// the bytes; the reader (ppm_reader.cpp) parses them.
#pragma once

#include "load_reasons.h"

#include <cstddef>

// A file's bytes, read-only. An empty file has size 0 and no mapping.
struct MappedFile {
    const char *data = nullptr;
    std::size_t size = 0;
};

// Opens fileName and maps it. Returns false, with the reason in error, when
// the name cannot be opened (cannotOpen, systemError), is no regular file
// (notRegularFile, found), or the file cannot be sized or mapped (cannotRead,
// systemError); systemError is the C library's number for the error. error is
// touched only on failure, and a failure leaves nothing to release.
bool mapFile(const char *fileName, MappedFile &file, PpmLoadError &error);

// Releases what a successful mapFile mapped.
void unmapFile(const MappedFile &file);
