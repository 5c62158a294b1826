// SPDX-License-Identifier: MIT
// The frame log kept and written: rows held in memory in fixed-size blocks, a few blocks
// recycled, and full blocks written by a thread of its own in one large write each, so the
// frame's path makes no system call and, once running, allocates nothing. The file is
// written under a temporary name and renamed into place at the end (log_file.h). A write
// error says so at once in one line, stops the log and leaves no file; the run goes on.
//
// Called from one thread at a time: the frame's path, or the ending-signal hook with the
// frame's path held off (refresh_watch.cpp). What it does not do: decide what goes into a row
// (refresh_watch.cpp) or word it (frame_log_rows.h).
#pragma once

#include "frame_log_rows.h"

#include <string>

// Rows per block: at 240 Hz a block holds 17 s of frames.
inline constexpr std::int64_t frameLogBlockRows = 4096;

// Asks for a log at `path`; the file is created at the first frame.
void requestFrameLog(const std::string &path);
bool frameLogRequested();

// A key the viewer handled, named in the next frame's row.
void noteFrameLogKey(unsigned char key);

// The frame's row; frames come in order from 1. The keys noted since the last row go with it.
void logFrame(const FrameRow &row);

// The row of a recent frame (the last frameLogBlockRows at least), to be completed by what
// became known later (presentation feedback, misses charged at the end of the calibration);
// null for a frame no longer held.
FrameRow *heldFrameRow(std::int64_t frame);

// Writes what is held and the trailer, renames the file into place, and returns what the
// summary says of the log ("frame log FILE", or why it was not written); empty where no log
// was asked for.
std::string finishFrameLog(const RefreshCheck &finished, FrameLogEnd end);
