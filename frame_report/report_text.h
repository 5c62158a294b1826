// SPDX-License-Identifier: MIT
// What moiravel-frame-report says: the figures of a run, one readable line each, and the line
// that refuses a file. It works nothing out (frame_stats.h does) and prints nothing.
#pragma once

#include "frame_log.h"
#include "frame_stats.h"

#include <string>

namespace moiravel::frames {

inline constexpr const char *programName = "moiravel-frame-report";

// The report of the log named logName, lines ending in "\n"; times in ms with 3 decimals.
std::string reportText(const std::string &logName, const FrameLog &log, const FrameStats &stats);

// "FILE:LINE: reason", the words after the program's name.
std::string refusalText(const std::string &file, const LogRefusal &refusal);

} // namespace moiravel::frames
