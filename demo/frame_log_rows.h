// SPDX-License-Identifier: MIT
// The frame log's rows and texts: one row per frame, from the first frame to the end of the
// run, behind a header line naming the columns, and a trailer line saying how the run ended
// and what the missed-refresh check made of it. Plain formatting into caller's buffers, so
// that a row costs no allocation.
//
// What it does not do: keep the rows or write them (frame_log_writer.h), or judge the frames
// (refresh_check.h).
#pragma once

#include "frame_log_format.h"
#include "refresh_check.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The keys one row names: those handled since the frame before.
inline constexpr int keysPerRow = 6;

struct FrameRow {
    std::int64_t frame = 0;      // from 1
    std::uint64_t swapNs = 0;    // just after the swap returned, since the first frame's
    std::uint64_t presentNs = 0; // when it turned to light, on the platform's clock
    std::uint64_t counter = 0;   // the refresh counter (OML MSC, wp_presentation's sequence)
    std::int64_t refreshes = -1; // refreshes since the frame before; -1: not known
    std::int64_t missed = -1;    // refreshes missed, charged to this frame; -1: not judged
    bool hasPresent = false;
    bool hasCounter = false;
    IntervalState interval = IntervalState::off;
    std::int32_t mode = 0;
    std::int32_t subimage = 0;
    std::int32_t offsetX = 0;
    std::int32_t offsetY = 0;
    unsigned char keys[keysPerRow] = {};
    std::int32_t keyCount = 0;
};

// A row's text never takes more than this, newline included.
inline constexpr std::size_t frameRowTextMax = 320;

// The key's name in the log (the viewer's keys: space, plus, minus, f, s, m, v, escape), or
// null for a key the viewer does nothing with.
const char *frameLogKeyName(unsigned char key);

// Writes the row's line into `text` (frameRowTextMax bytes at least) and returns its length.
// presentOrigin is the present time of the first row that has one; it is printed relative to
// that.
std::size_t frameRowText(const FrameRow &row, std::uint64_t presentOrigin, char *text);

// How the run ended, as the trailer says.
enum class FrameLogEnd { escape, interrupted };

// The trailer line, newline included, from a finished check.
std::string frameLogTrailer(const RefreshCheck &check, FrameLogEnd end);
