// SPDX-License-Identifier: MIT
// The calls on files and processes that differ between the systems, for the file set and the
// tool's start (file_system_posix.cpp, file_system_win32.cpp). Each one that fails leaves the
// reason in errno. No policy here: which files, in what order, is file_set.cpp's.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace moiravel::images {

// This process's id, and whether a process with that id still runs.
pid_t currentProcess();
bool processRunning(pid_t pid);

// Whether this process may write the existing file at path.
bool mayWrite(const std::string &path);
// Creates path, which must not exist, for writing; with the permission bits of mode where the
// system has them. A descriptor, or -1.
int createNew(const std::string &path, unsigned mode);
// Writes all of bytes, flushes them to the disk and closes the descriptor, whatever fails.
bool writeFlushClose(int descriptor, std::string_view bytes);
void closeFile(int descriptor);
bool removeFile(const std::string &path);
// Puts from in place of to, replacing it at once.
bool replaceFile(const std::string &from, const std::string &to);
// Makes the renames in directory reach the disk, where the system can do so apart.
bool flushDirectory(const std::string &directory);

} // namespace moiravel::images
