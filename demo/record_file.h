// SPDX-License-Identifier: MIT
// The record file of a switched display mode, on a POSIX system: where it lives, and
// reading and writing it whole.
//
// What it does not do: say what the record holds (mode_record.h).
#pragma once

#include <optional>
#include <string>

// The record's path: in $XDG_RUNTIME_DIR where it is set, else a name of this user's own in
// /tmp.
std::string recordPath();

// Writes text to path whole or not at all; false, with `why`, where it could not.
bool writeRecordFile(const std::string &path, const std::string &text, std::string &why);

// The record file's text; nothing where there is none. `why` is set where a file is there
// but cannot be taken as a record (then the text is empty).
std::optional<std::string> readRecordFile(const std::string &path, std::string &why);
