// SPDX-License-Identifier: MIT
// A file written whole or not at all, for the frame log: created under a temporary name
// beside its own, appended to in large writes, then flushed to disk and renamed into place;
// or, where anything failed, removed with nothing left of it.
//
// One implementation per operating system, log_file_posix.cpp or log_file_win32.cpp. What it
// does not do: say what goes into the file (frame_log_rows.h), or buffer the writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct LogFile {
    std::intptr_t handle = -1; // the system's own: a file descriptor, a HANDLE
    std::string path;          // the name it gets once finished
    std::string temporary;     // the name it has until then
};

// The temporary name beside `path`.
inline std::string temporaryLogName(const std::string &path) {
    return path + ".incomplete";
}

// Creates the temporary file; false, with `why` (the system's reason), where it cannot.
bool createLogFile(LogFile &file, const std::string &path, std::string &why);

// Appends size bytes; false, with `why`, where not all were written (a full disk, a file
// size limit).
bool appendToLogFile(LogFile &file, const char *data, std::size_t size, std::string &why);

// Flushes the file to disk, closes it and renames it into place; false, with `why`, where any
// of that failed, and then nothing is left.
bool finishLogFile(LogFile &file, std::string &why);

// Closes the file and removes the temporary name.
void discardLogFile(LogFile &file);
