// SPDX-License-Identifier: MIT
// The figures of a run from its frame log: plain arithmetic, in milliseconds.
#include "frame_stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace moiravel::frames {

namespace {

double milliseconds(std::int64_t ns) {
    return static_cast<double>(ns) / 1e6;
}

} // namespace

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const double rank = p / 100.0 * static_cast<double>(values.size() - 1);
    const std::size_t below = static_cast<std::size_t>(std::floor(rank));
    const std::size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (rank - static_cast<double>(below)) * (values[above] - values[below]);
}

FrameStats frameStats(const FrameLog &log) {
    FrameStats stats;
    const std::vector<FrameRow> &rows = log.rows;
    stats.frames = rows.size();
    if (rows.empty()) {
        return stats;
    }
    stats.durationMs = milliseconds(rows.back().swapNs - rows.front().swapNs);
    const bool everyPresent =
        std::all_of(rows.begin(), rows.end(), [](const FrameRow &row) { return row.presentNs; });
    stats.clock = everyPresent ? IntervalClock::present : IntervalClock::swap;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::int64_t step = everyPresent ? *rows[i].presentNs - *rows[i - 1].presentNs
                                               : rows[i].swapNs - rows[i - 1].swapNs;
        stats.intervalsMs.push_back(milliseconds(step));
    }
    const std::vector<double> &intervals = stats.intervalsMs;
    if (!intervals.empty()) {
        const double n = static_cast<double>(intervals.size());
        stats.meanMs = std::accumulate(intervals.begin(), intervals.end(), 0.0) / n;
        double squares = 0;
        for (const double interval : intervals) {
            squares += (interval - stats.meanMs) * (interval - stats.meanMs);
        }
        stats.sdMs = intervals.size() > 1 ? std::sqrt(squares / (n - 1)) : 0.0;
        stats.p1Ms = percentile(intervals, 1);
        stats.p50Ms = percentile(intervals, 50);
        stats.p99Ms = percentile(intervals, 99);
    }
    for (const FrameRow &row : rows) {
        if (stats.firstMissedFrame == 0 && row.missed.value_or(0) > 0) {
            stats.firstMissedFrame = row.frame;
        }
        stats.intervalOff += row.interval == SwapInterval::off ? 1 : 0;
        stats.intervalUncontrolled += row.interval == SwapInterval::uncontrolled ? 1 : 0;
    }
    return stats;
}

} // namespace moiravel::frames
