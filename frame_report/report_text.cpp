// SPDX-License-Identifier: MIT
// The texts of moiravel-frame-report's report, one figure a line.
#include "report_text.h"

#include <cstdarg>
#include <cstdio>

namespace moiravel::frames {

namespace {

[[gnu::format(printf, 1, 2)]] std::string format(const char *pattern, ...) {
    char buffer[512];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(buffer, sizeof buffer, pattern, arguments);
    va_end(arguments);
    return buffer;
}

std::string plural(std::uint64_t count, const char *one, const char *many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

std::string reportText(const std::string &logName, const FrameLog &log, const FrameStats &stats) {
    const LogTrailer &trailer = log.trailer;
    std::string text = "log: " + logName + "\n";
    text += "frames: " + std::to_string(stats.frames) + "\n";
    text += format("duration: %.3f ms\n", stats.durationMs);
    text += "output: " + (trailer.output == "-" ? std::string("not known") : trailer.output) + "\n";
    if (trailer.periodNs > 0) {
        const double periodMs = static_cast<double>(trailer.periodNs) / 1e6;
        text += format("refresh period: %.3f ms (%.3f Hz), from %s\n", periodMs, 1000.0 / periodMs,
                       trailer.source.c_str());
    } else {
        text += "refresh period: not known (source " + trailer.source + ")\n";
    }
    if (stats.intervalsMs.empty()) {
        text += "frame interval: none (fewer than 2 frames)\n";
    } else {
        const char *clock = stats.clock == IntervalClock::present
                                ? "present_ns, when each frame turned to light"
                                : "swap_ns, after each buffer swap";
        text += format("frame interval: mean %.3f ms, SD %.3f ms, over %zu intervals (from %s)\n",
                       stats.meanMs, stats.sdMs, stats.intervalsMs.size(), clock);
        text += format("frame interval percentiles: 1st %.3f ms, 50th %.3f ms, 99th %.3f ms\n",
                       stats.p1Ms, stats.p50Ms, stats.p99Ms);
    }
    if (!trailer.notJudged.empty()) {
        text += "missed refreshes cannot be judged: " + trailer.notJudged + "\n";
    } else if (trailer.missed == 0) {
        text += "missed refreshes: none\n";
    } else {
        text += "missed refreshes: " + std::to_string(trailer.missed) + " in " +
                plural(trailer.places, "place", "places") + ", longest " +
                std::to_string(trailer.longest) + ", first at frame " +
                std::to_string(stats.firstMissedFrame) + "\n";
    }
    text += "frames without the swap interval: " +
            std::to_string(stats.intervalOff + stats.intervalUncontrolled);
    if (stats.intervalOff + stats.intervalUncontrolled > 0) {
        text += " (off " + std::to_string(stats.intervalOff) + ", uncontrolled " +
                std::to_string(stats.intervalUncontrolled) + ")";
    }
    text += "\n";
    text += trailer.end == frameLogFormat::endEscape
                ? "ended by: Escape\n"
                : "ended by: an interruption (signal or console close)\n";
    return text;
}

std::string refusalText(const std::string &file, const LogRefusal &refusal) {
    return file + ":" + std::to_string(refusal.line) + ": " + refusal.reason;
}

} // namespace moiravel::frames
