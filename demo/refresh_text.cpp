// SPDX-License-Identifier: MIT
// The lines the missed-refresh check writes: progress while the run goes on, the summary at
// its end. Only words and numbers; the counting is in refresh_check.cpp.
#include "refresh_check.h"

#include "messages.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace {

std::string formatted(const char *pattern, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

std::string counted(std::int64_t count, const char *singular, const char *plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

double seconds(std::uint64_t ns) {
    return static_cast<double>(ns) / static_cast<double>(nsPerSecond);
}

// The presentation flags every presented frame had, as wp_presentation names them.
std::string presentationText(const RefreshCheck &check) {
    std::string text = "presentation feedback";
    if (check.presentations == 0) {
        return text;
    }
    constexpr std::pair<std::uint32_t, const char *> names[] = {
        {presentedVsync, "vsync"},
        {presentedHwClock, "hw_clock"},
        {presentedHwCompletion, "hw_completion"},
        {presentedZeroCopy, "zero_copy"},
    };
    const char *separator = ": ";
    for (const auto &[flag, name] : names) {
        if ((check.presentationFlags & flag) != 0) {
            text += separator;
            text += name;
            separator = ", ";
        }
    }
    if (check.presentationFlags == 0) {
        text += ": no flags";
    }
    return text;
}

std::string sourceName(const RefreshCheck &check) {
    switch (check.source) {
    case RefreshSource::presentation:
        return presentationText(check);
    case RefreshSource::syncCounter:
        return check.counterEmulated ? "OML as emulated by XWayland; not the display's counter"
                                     : "OML";
    case RefreshSource::displayMode:
        return "display mode";
    case RefreshSource::measured:
        return "measured";
    case RefreshSource::none:
        break;
    }
    return "unknown";
}

} // namespace

std::string cannotJudgeReason(const RefreshCheck &check) {
    switch (check.verdict) {
    case Verdict::noSwapControl:
        return "the swap interval cannot be set here, so frames are not tied to the display "
               "refresh";
    case Verdict::intervalNeverOn:
        return "the swap interval was never on";
    case Verdict::noRefreshPeriod:
        return "no refresh period found (neither the display mode nor the frame times give one)";
    case Verdict::notPaced:
        if (check.useMsc) {
            return "the refresh counter did not advance with the frames, so the swaps do not "
                   "wait for the display refresh";
        }
        return formatted("frames came faster than the refresh (median interval %.2f ms, refresh "
                         "period %.2f ms), so the swaps do not wait for the display refresh",
                         static_cast<double>(check.medianNs) / 1e6,
                         static_cast<double>(check.periodNs) / 1e6);
    case Verdict::noPresentation:
        return "the compositor sent no presentation feedback";
    case Verdict::notVsynced:
        return "the compositor's presentation feedback does not tie frames to the display "
               "refresh (no vsync flag)";
    case Verdict::calibrating:
    case Verdict::judging:
        break;
    }
    return "the check did not finish";
}

std::string progressLineText(const RefreshCheck &check, ProgressLine line) {
    if (line == ProgressLine::firstMiss) {
        return demoMessage(formatted("first missed refresh at frame %lld; ",
                                     static_cast<long long>(check.firstMissFrame)) +
                           counted(check.missed, "refresh", "refreshes") + " missed so far");
    }
    return demoMessage(
        counted(check.missed, "refresh", "refreshes") + " missed so far in " +
        counted(check.places, "place", "places") +
        formatted(", latest at frame %lld", static_cast<long long>(check.latestMissFrame)));
}

std::string spreadLineText(const RefreshCheck &check) {
    const double pairs = check.spreadPairs;
    const double mean = check.spreadSumNs / pairs;
    const double variance =
        pairs > 1 ? std::max(0.0, (check.spreadSumSquaresNs - pairs * mean * mean) / (pairs - 1))
                  : 0.0;
    return demoMessage(formatted(
        "refresh %.3f ms (%.2f Hz, %s), frame interval SD %.3f ms over "
        "%d frames",
        static_cast<double>(check.periodNs) / 1e6, 1e9 / static_cast<double>(check.periodNs),
        sourceName(check).c_str(), std::sqrt(variance) / 1e6, check.spreadPairs));
}

std::string summaryLineText(const RefreshCheck &check) {
    const std::uint64_t elapsedNs = check.previous.timeNs - check.firstTimeNs;
    std::string text = demoMessage(counted(check.frames, "frame", "frames") +
                                   formatted(" in %.1f s, ", seconds(elapsedNs)));
    if (!check.outputName.empty()) {
        text += "on " + check.outputName + ", ";
    }
    if (check.periodNs != 0) {
        text += formatted("refresh %.2f Hz (%s); ", 1e9 / static_cast<double>(check.periodNs),
                          sourceName(check).c_str());
    } else if (check.source == RefreshSource::presentation) {
        text += "refresh rate unknown (" + sourceName(check) + "); ";
    } else {
        text += "refresh rate unknown; ";
    }
    if (check.verdict == Verdict::judging) {
        if (check.missed == 0) {
            text += "no refresh missed";
        } else {
            text += counted(check.missed, "refresh", "refreshes") + " missed in " +
                    counted(check.places, "place", "places") +
                    formatted(", longest %lld, first at frame %lld",
                              static_cast<long long>(check.longest),
                              static_cast<long long>(check.firstMissFrame));
        }
    } else {
        text += "missed refreshes cannot be judged: " + cannotJudgeReason(check);
    }
    if (check.offFrames > 0) {
        text += "; without the swap interval: " + counted(check.offFrames, "frame", "frames");
        if (check.offNs > 0) {
            text += formatted(", %.1f frames/s",
                              static_cast<double>(check.offPairs) / seconds(check.offNs));
        }
    }
    return text;
}
