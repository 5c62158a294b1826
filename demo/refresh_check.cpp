#include "refresh_check.h"

#include "state.h"
#include "swap_interval.h"

#include <algorithm>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <GL/glx.h>
#include <X11/extensions/Xrandr.h>

#include <cstring>
#include <ctime>
#endif

namespace {

constexpr std::uint64_t nsPerSecond = 1'000'000'000;

std::uint64_t medianOf(const std::uint64_t *values, int count) {
    std::uint64_t sorted[calibrationFrames];
    std::copy(values, values + count, sorted);
    std::nth_element(sorted, sorted + count / 2, sorted + count);
    return sorted[count / 2];
}

void recordMisses(RefreshCheck &check, std::int64_t misses, std::int64_t frame) {
    if (misses <= 0) {
        return;
    }
    if (check.missed == 0) {
        check.firstMissFrame = frame;
    }
    check.missed += misses;
    ++check.places;
    check.longest = std::max(check.longest, misses);
    check.latestMissFrame = frame;
}

void forgetMisses(RefreshCheck &check) {
    check.missed = 0;
    check.places = 0;
    check.longest = 0;
    check.firstMissFrame = 0;
    check.latestMissFrame = 0;
}

// Decides from the first `sampleCount` pairs with the interval on whether the
// swaps are paced, and finds the period where nothing else gave one.
void calibrate(RefreshCheck &check) {
    const std::uint64_t median = medianOf(check.sample, check.sampleCount);
    if (check.useMsc) {
        check.verdict = median >= 1 ? Verdict::judging : Verdict::notPaced;
    } else {
        check.medianNs = median;
        if (check.periodNs != 0) {
            // Frames that mostly come faster than 3/4 of a refresh do not wait for it.
            check.verdict = 4 * median >= 3 * check.periodNs ? Verdict::judging : Verdict::notPaced;
        } else if (check.sampleCount == calibrationFrames && median >= shortestPeriodNs &&
                   median <= longestPeriodNs) {
            check.periodNs = median;
            check.source = RefreshSource::measured;
            check.verdict = Verdict::judging;
            for (int i = 0; i < check.sampleCount; ++i) {
                recordMisses(check, missesFromInterval(check.sample[i], median),
                             check.sampleFrame[i]);
            }
        } else {
            check.verdict = Verdict::noRefreshPeriod;
        }
    }
    if (check.verdict != Verdict::judging) {
        forgetMisses(check);
    }
}

ProgressLine lineDue(RefreshCheck &check, std::uint64_t nowNs) {
    if (check.verdict != Verdict::judging || check.missed == check.missedAtLastLine) {
        return ProgressLine::none;
    }
    ProgressLine line = ProgressLine::update;
    if (!check.lineWritten) {
        line = ProgressLine::firstMiss;
    } else if (nowNs - check.lastLineNs < progressSpacingNs) {
        return ProgressLine::none;
    }
    check.lineWritten = true;
    check.lastLineNs = nowNs;
    check.missedAtLastLine = check.missed;
    return line;
}

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

const char *sourceName(RefreshSource source) {
    switch (source) {
    case RefreshSource::syncCounter:
        return "OML";
    case RefreshSource::displayMode:
        return "display mode";
    case RefreshSource::measured:
        return "measured";
    case RefreshSource::none:
        break;
    }
    return "unknown";
}

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
    case Verdict::calibrating:
    case Verdict::judging:
        break;
    }
    return "the check did not finish";
}

} // namespace

std::int64_t missesFromMscStep(std::uint64_t previous, std::uint64_t current) {
    const std::uint64_t step = current - previous;
    if (step < 2 || step > (std::uint64_t{1} << 63)) {
        return 0;
    }
    return static_cast<std::int64_t>(step - 1);
}

std::int64_t missesFromInterval(std::uint64_t intervalNs, std::uint64_t periodNs) {
    if (periodNs == 0 || intervalNs <= periodNs + periodNs / 2) {
        return 0;
    }
    return static_cast<std::int64_t>((intervalNs + periodNs / 2) / periodNs) - 1;
}

std::uint64_t modeLinePeriodNs(std::uint64_t dotClockHz, std::uint32_t hTotal, std::uint32_t vTotal,
                               bool interlaced, bool doubleScan) {
    std::uint64_t pixels = std::uint64_t{hTotal} * vTotal;
    if (doubleScan) {
        pixels *= 2;
    }
    if (interlaced) {
        pixels /= 2;
    }
    if (dotClockHz == 0 || pixels == 0) {
        return 0;
    }
    // Pixel clocks are below 2^34 Hz and pixel counts below 2^33, so the
    // product stays below 2^64.
    return (pixels * nsPerSecond + dotClockHz / 2) / dotClockHz;
}

std::uint64_t ratePeriodNs(std::int64_t numerator, std::int64_t denominator) {
    if (numerator <= 0 || denominator <= 0) {
        return 0;
    }
    const auto num = static_cast<std::uint64_t>(numerator);
    const auto den = static_cast<std::uint64_t>(denominator);
    return (den * nsPerSecond + num / 2) / num;
}

void startRefreshCheck(RefreshCheck &check, bool useMsc, std::uint64_t periodNs,
                       RefreshSource source) {
    check = RefreshCheck{};
    check.useMsc = useMsc;
    check.periodNs = periodNs;
    check.source = source;
}

ProgressLine observeFrame(RefreshCheck &check, const FrameSample &sample) {
    const std::int64_t frame = ++check.frames;
    if (sample.interval != IntervalState::on) {
        ++check.offFrames;
        check.sawUncontrolled |= sample.interval == IntervalState::uncontrolled;
    }
    if (frame == 1) {
        check.firstTimeNs = sample.timeNs;
        check.previous = sample;
        return ProgressLine::none;
    }
    const std::uint64_t intervalNs = sample.timeNs - check.previous.timeNs;
    const bool onPair =
        check.previous.interval == IntervalState::on && sample.interval == IntervalState::on;
    const bool offPair =
        check.previous.interval != IntervalState::on && sample.interval != IntervalState::on;
    const std::uint64_t previousMsc = check.previous.msc;
    check.previous = sample;
    if (offPair) {
        ++check.offPairs;
        check.offNs += intervalNs;
    }
    if (!onPair) {
        return ProgressLine::none;
    }
    ++check.onPairs;
    check.onNs += intervalNs;
    if (check.verdict != Verdict::calibrating && check.verdict != Verdict::judging) {
        return ProgressLine::none;
    }
    if (check.verdict == Verdict::calibrating) {
        check.sample[check.sampleCount] = check.useMsc ? sample.msc - previousMsc : intervalNs;
        check.sampleFrame[check.sampleCount] = frame;
        ++check.sampleCount;
    }
    recordMisses(check,
                 check.useMsc ? missesFromMscStep(previousMsc, sample.msc)
                              : missesFromInterval(intervalNs, check.periodNs),
                 frame);
    if (check.verdict == Verdict::calibrating && check.sampleCount == calibrationFrames) {
        calibrate(check);
    }
    return lineDue(check, sample.timeNs);
}

void finishRefreshCheck(RefreshCheck &check) {
    if (check.verdict != Verdict::calibrating) {
        return;
    }
    if (check.sampleCount > 0) {
        calibrate(check);
    } else {
        check.verdict = check.sawUncontrolled ? Verdict::noSwapControl : Verdict::intervalNeverOn;
    }
}

std::string progressLineText(const RefreshCheck &check, ProgressLine line) {
    if (line == ProgressLine::firstMiss) {
        return formatted("moiravel-demo: first missed refresh at frame %lld; ",
                         static_cast<long long>(check.firstMissFrame)) +
               counted(check.missed, "refresh", "refreshes") + " missed so far";
    }
    return "moiravel-demo: " + counted(check.missed, "refresh", "refreshes") +
           " missed so far in " + counted(check.places, "place", "places") +
           formatted(", latest at frame %lld", static_cast<long long>(check.latestMissFrame));
}

std::string summaryLineText(const RefreshCheck &check) {
    const std::uint64_t elapsedNs = check.previous.timeNs - check.firstTimeNs;
    std::string text = "moiravel-demo: " + counted(check.frames, "frame", "frames") +
                       formatted(" in %.1f s, ", seconds(elapsedNs));
    if (check.periodNs != 0) {
        text += formatted("refresh %.2f Hz (%s); ", 1e9 / static_cast<double>(check.periodNs),
                          sourceName(check.source));
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

// The viewer's side: the clock, the refresh counter and the display mode of
// the platform, sampled once per frame.

namespace {

struct RefreshWatch {
    bool started = false;
    RefreshCheck check;
#ifdef _WIN32
    std::uint64_t ticksPerSecond = 1;
#else
    using GetSyncValues = Bool (*)(Display *, GLXDrawable, std::int64_t *, std::int64_t *,
                                   std::int64_t *);
    Display *display = nullptr;
    GLXDrawable drawable = 0;
    GetSyncValues getSyncValues = nullptr;
#endif
};

RefreshWatch refreshWatch;

IntervalState currentInterval() {
    if (demoState.swapIntervalOn == 0) {
        return IntervalState::off;
    }
    return swapIntervalReachedDriver() ? IntervalState::on : IntervalState::uncontrolled;
}

#ifdef _WIN32

std::uint64_t nowNs() {
    LARGE_INTEGER ticks;
    QueryPerformanceCounter(&ticks);
    const auto count = static_cast<std::uint64_t>(ticks.QuadPart);
    const std::uint64_t rate = refreshWatch.ticksPerSecond;
    // In two parts, so that the product cannot overflow.
    return count / rate * nsPerSecond + count % rate * nsPerSecond / rate;
}

std::uint64_t readMsc() {
    return 0;
}

void startWatch(RefreshWatch &watch) {
    LARGE_INTEGER rate;
    QueryPerformanceFrequency(&rate);
    watch.ticksPerSecond = rate.QuadPart > 0 ? static_cast<std::uint64_t>(rate.QuadPart) : 1;
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    std::uint64_t periodNs = 0;
    // A frequency of 0 or 1 stands for the hardware's default: not known.
    if (EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode) &&
        mode.dmDisplayFrequency > 1) {
        periodNs = ratePeriodNs(mode.dmDisplayFrequency, 1);
    }
    startRefreshCheck(watch.check, false, periodNs,
                      periodNs != 0 ? RefreshSource::displayMode : RefreshSource::none);
}

#else

std::uint64_t nowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * nsPerSecond +
           static_cast<std::uint64_t>(now.tv_nsec);
}

std::uint64_t readMsc() {
    RefreshWatch &watch = refreshWatch;
    std::int64_t ust = 0;
    std::int64_t msc = 0;
    std::int64_t sbc = 0;
    if (watch.getSyncValues != nullptr) {
        watch.getSyncValues(watch.display, watch.drawable, &ust, &msc, &sbc);
    }
    return static_cast<std::uint64_t>(msc);
}

std::uint64_t crtcPeriodNs(Display *display, XRRScreenResources *resources, RRCrtc crtc) {
    XRRCrtcInfo *info = crtc != 0 ? XRRGetCrtcInfo(display, resources, crtc) : nullptr;
    if (info == nullptr) {
        return 0;
    }
    std::uint64_t periodNs = 0;
    for (int m = 0; m < resources->nmode; ++m) {
        const XRRModeInfo &mode = resources->modes[m];
        if (mode.id == info->mode) {
            periodNs = modeLinePeriodNs(mode.dotClock, mode.hTotal, mode.vTotal,
                                        (mode.modeFlags & RR_Interlace) != 0,
                                        (mode.modeFlags & RR_DoubleScan) != 0);
        }
    }
    XRRFreeCrtcInfo(info);
    return periodNs;
}

// The refresh period of the mode shown by the primary output, or else by the
// first CRTC that shows one; 0 when the server gives no mode line (Xvfb).
std::uint64_t displayModePeriodNs(Display *display, int screen) {
    const Window root = RootWindow(display, screen);
    int eventBase = 0;
    int errorBase = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase)) {
        return 0;
    }
    XRRScreenResources *resources = XRRGetScreenResourcesCurrent(display, root);
    if (resources == nullptr) {
        return 0;
    }
    std::uint64_t periodNs = 0;
    if (const RROutput primary = XRRGetOutputPrimary(display, root)) {
        if (XRROutputInfo *output = XRRGetOutputInfo(display, resources, primary)) {
            periodNs = crtcPeriodNs(display, resources, output->crtc);
            XRRFreeOutputInfo(output);
        }
    }
    for (int i = 0; i < resources->ncrtc && periodNs == 0; ++i) {
        periodNs = crtcPeriodNs(display, resources, resources->crtcs[i]);
    }
    XRRFreeScreenResources(resources);
    return periodNs;
}

void startWatch(RefreshWatch &watch) {
    watch.display = glXGetCurrentDisplay();
    watch.drawable = glXGetCurrentDrawable();
    GLXContext context = glXGetCurrentContext();
    if (watch.display == nullptr || context == nullptr) {
        startRefreshCheck(watch.check, false, 0, RefreshSource::none);
        return;
    }
    int screen = DefaultScreen(watch.display);
    glXQueryContext(watch.display, context, GLX_SCREEN, &screen);
    const char *extensions = glXQueryExtensionsString(watch.display, screen);

    std::uint64_t periodNs = 0;
    if (extensions != nullptr && std::strstr(extensions, "GLX_OML_sync_control") != nullptr) {
        auto lookup = [](const char *name) {
            return glXGetProcAddressARB(reinterpret_cast<const GLubyte *>(name));
        };
        watch.getSyncValues =
            reinterpret_cast<RefreshWatch::GetSyncValues>(lookup("glXGetSyncValuesOML"));
        using GetMscRate = Bool (*)(Display *, GLXDrawable, std::int32_t *, std::int32_t *);
        auto getMscRate = reinterpret_cast<GetMscRate>(lookup("glXGetMscRateOML"));
        std::int32_t numerator = 0;
        std::int32_t denominator = 0;
        if (getMscRate != nullptr &&
            getMscRate(watch.display, watch.drawable, &numerator, &denominator)) {
            periodNs = ratePeriodNs(numerator, denominator);
        }
    }
    const bool useMsc = watch.getSyncValues != nullptr;
    if (periodNs == 0) {
        periodNs = displayModePeriodNs(watch.display, screen);
    }
    RefreshSource source = RefreshSource::none;
    if (useMsc) {
        source = RefreshSource::syncCounter;
    } else if (periodNs != 0) {
        source = RefreshSource::displayMode;
    }
    startRefreshCheck(watch.check, useMsc, periodNs, source);
}

#endif

} // namespace

void watchRefresh() {
    RefreshWatch &watch = refreshWatch;
    if (!watch.started) {
        watch.started = true;
        startWatch(watch);
    }
    FrameSample sample;
    sample.timeNs = nowNs();
    sample.msc = readMsc();
    sample.interval = currentInterval();
    const ProgressLine line = observeFrame(watch.check, sample);
    if (line != ProgressLine::none) {
        std::fprintf(stderr, "%s\n", progressLineText(watch.check, line).c_str());
    }
}

void reportRefreshSummary() {
    RefreshWatch &watch = refreshWatch;
    if (!watch.started) {
        return;
    }
    finishRefreshCheck(watch.check);
    std::fprintf(stderr, "%s\n", summaryLineText(watch.check).c_str());
}
