// SPDX-License-Identifier: MIT
// The figures researchers quote of a run, worked out from its frame log: the frame intervals and
// their spread, the refreshes missed, the frames without the swap interval. Plain arithmetic on a
// parsed log; it neither reads nor words anything (report_text.h words it).
#pragma once

#include "frame_log.h"

#include <cstdint>
#include <vector>

namespace moiravel::frames {

// Which clock the frame intervals come from: the display's (present_ns, where every row has one)
// or the viewer's own after each buffer swap.
enum class IntervalClock { present, swap };

struct FrameStats {
    std::uint64_t frames = 0;
    double durationMs = 0; // from the first row's swap to the last's
    IntervalClock clock = IntervalClock::swap;
    std::vector<double> intervalsMs; // intervalsMs[i]: from row i to row i + 1
    double meanMs = 0;
    double sdMs = 0; // sample standard deviation (n - 1)
    double p1Ms = 0;
    double p50Ms = 0;
    double p99Ms = 0;
    std::uint64_t firstMissedFrame = 0; // 0: none missed
    // Frames without the swap interval on, by the word of their interval column.
    std::uint64_t intervalOff = 0;
    std::uint64_t intervalUncontrolled = 0;
};

FrameStats frameStats(const FrameLog &log);

// The p-th percentile (0..100) of values, interpolated linearly between the closest ranks (the
// rule of numpy's and R's default); 0 for no values.
double percentile(std::vector<double> values, double p);

} // namespace moiravel::frames
