// The missed-refresh check's hooks in the viewer: the platform's clock, refresh counter and
// swap interval sampled once per frame, fed to the check, and its lines written to standard
// error.
#include "refresh_check.h"

#include "platform.h"
#include "state.h"
#include "swap_interval.h"

#include <cstdio>

namespace {

struct RefreshWatch {
    std::string outputName;
    bool started = false;
    RefreshCheck check;
};

RefreshWatch refreshWatch;

IntervalState currentInterval() {
    if (demoState.swapIntervalOn == 0) {
        return IntervalState::off;
    }
    return swapIntervalReachedDriver() ? IntervalState::on : IntervalState::uncontrolled;
}

} // namespace

void watchRefreshOn(const std::string &outputName) {
    refreshWatch.outputName = outputName;
}

void watchRefresh() {
    RefreshWatch &watch = refreshWatch;
    if (!watch.started) {
        watch.started = true;
        startRefreshCheck(watch.check, lookAtRefresh(watch.outputName));
    }
    FrameSample sample;
    sample.timeNs = clockNowNs();
    sample.msc = readRefreshCounter();
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
