// The missed-refresh check's hooks in the viewer: the platform's clock, refresh counter and
// swap interval sampled once per frame, fed to the check, and its lines written to standard
// error.
#include "refresh_check.h"

#include "platform.h"
#include "state.h"
#include "swap_interval.h"

#include <cstdio>

namespace {

constexpr std::int64_t intervalsKept = presentationFramesKept;

struct RefreshWatch {
    std::string outputName;
    bool counterEmulated = false;
    bool started = false;
    RefreshCheck check;
    IntervalState intervals[intervalsKept] = {};
};

RefreshWatch refreshWatch;

IntervalState currentInterval() {
    if (demoState.swapIntervalOn == 0) {
        return IntervalState::off;
    }
    return swapIntervalReachedDriver() ? IntervalState::on : IntervalState::uncontrolled;
}

// The compositor's feedback on the frames so far, as far as it has come.
void takePresentations(RefreshWatch &watch) {
    PresentationEvent event;
    while (nextPresentation(event)) {
        // Feedback older than the intervals kept cannot be told apart and is left out.
        if (event.frame <= 0 || event.frame > watch.check.frames ||
            watch.check.frames - event.frame >= intervalsKept) {
            continue;
        }
        event.interval = watch.intervals[event.frame % intervalsKept];
        const ProgressLine told = observePresentation(watch.check, event);
        if (told != ProgressLine::none) {
            std::fprintf(stderr, "%s\n", progressLineText(watch.check, told).c_str());
        }
    }
}

} // namespace

void watchRefreshOn(const std::string &outputName, bool counterEmulated) {
    refreshWatch.outputName = outputName;
    refreshWatch.counterEmulated = counterEmulated;
}

void watchRefresh() {
    RefreshWatch &watch = refreshWatch;
    if (!watch.started) {
        watch.started = true;
        RefreshFacts facts = lookAtRefresh(watch.outputName);
        facts.counterEmulated = watch.counterEmulated;
        startRefreshCheck(watch.check, facts);
    }
    FrameSample sample;
    sample.timeNs = clockNowNs();
    sample.msc = readRefreshCounter();
    sample.interval = currentInterval();
    const ProgressLine line = observeFrame(watch.check, sample);
    if (line != ProgressLine::none) {
        std::fprintf(stderr, "%s\n", progressLineText(watch.check, line).c_str());
    }
    watch.intervals[watch.check.frames % intervalsKept] = sample.interval;
    takePresentations(watch);
}

void reportRefreshSummary() {
    RefreshWatch &watch = refreshWatch;
    if (!watch.started) {
        return;
    }
    // Feedback read with the key that ends the viewer, before a frame took it in.
    takePresentations(watch);
    finishRefreshCheck(watch.check);
    std::fprintf(stderr, "%s\n", summaryLineText(watch.check).c_str());
}
