// SPDX-License-Identifier: MIT
// The missed-refresh check's hooks in the viewer: the platform's clock, refresh counter and
// swap interval sampled once per frame, fed to the check, and its lines written to standard
// error; and, where asked for, each frame's row of the frame log, completed by what the
// check and the presentation feedback tell later.
#include "refresh_check.h"

#include "ending_signals.h"
#include "frame_log_writer.h"
#include "messages.h"
#include "platform.h"
#include "state.h"
#include "swap_interval.h"

#include <cmath>
#include <cstdio>
#include <mutex>

namespace {

constexpr std::int64_t intervalsKept = presentationFramesKept;

struct RefreshWatch {
    std::string outputName;
    bool counterEmulated = false;
    bool started = false;
    RefreshCheck check;
    IntervalState intervals[intervalsKept] = {};
    // Misses the check charged to the frame being observed while its row is not made yet.
    bool rowPending = false;
    std::int64_t missesOfThisFrame = 0;
    // The last presented frame's feedback, for the refreshes between presented frames.
    bool havePresented = false;
    PresentationEvent presented;
};

RefreshWatch refreshWatch;
// Held by the frame's hook and by the end of the run, which may come from the ending-signal
// thread.
std::mutex watchMutex;

IntervalState currentInterval() {
    if (demoState.swapIntervalOn == 0) {
        return IntervalState::off;
    }
    return swapIntervalReachedDriver() ? IntervalState::on : IntervalState::uncontrolled;
}

void chargeRow(std::int64_t frame, std::int64_t misses) {
    if (refreshWatch.rowPending && frame == refreshWatch.check.frames) {
        refreshWatch.missesOfThisFrame += misses;
    } else if (FrameRow *row = heldFrameRow(frame); row != nullptr) {
        row->missed = std::max<std::int64_t>(row->missed, 0) + misses;
    }
}

std::int64_t roundedRefreshes(std::uint64_t intervalNs, std::uint64_t periodNs) {
    return static_cast<std::int64_t>((intervalNs + periodNs / 2) / periodNs);
}

// The row of the frame just observed; `before` is the frame before's sample.
// counterTimeNs: when the refresh counter last advanced, 0 where not told.
void logThisFrame(const FrameSample &sample, const FrameSample &before,
                  std::uint64_t counterTimeNs) {
    const RefreshWatch &watch = refreshWatch;
    const RefreshCheck &check = watch.check;
    FrameRow row;
    row.frame = check.frames;
    row.swapNs = sample.timeNs - check.firstTimeNs;
    row.interval = sample.interval;
    const bool presentation = check.source == RefreshSource::presentation;
    if (check.useMsc) {
        row.hasCounter = true;
        row.counter = sample.msc;
        row.hasPresent = counterTimeNs != 0;
        row.presentNs = counterTimeNs;
    }
    if (row.frame > 1 && !presentation) {
        if (check.useMsc) {
            row.refreshes = static_cast<std::int64_t>(sample.msc - before.msc);
        } else if (check.periodNs != 0) {
            row.refreshes = roundedRefreshes(sample.timeNs - before.timeNs, check.periodNs);
        }
    }
    const bool judged =
        row.frame > 1 && !presentation && before.interval == IntervalState::on &&
        sample.interval == IntervalState::on &&
        (check.verdict == Verdict::calibrating || check.verdict == Verdict::judging);
    row.missed = judged ? watch.missesOfThisFrame : -1;
    row.mode = demoState.mode;
    row.subimage = demoState.subimage;
    row.offsetX = static_cast<std::int32_t>(std::lround(demoState.offsetX));
    row.offsetY = static_cast<std::int32_t>(std::lround(demoState.offsetY));
    logFrame(row);
}

// Completes the row of a frame the compositor has told of.
void logPresentation(const PresentationEvent &event) {
    RefreshWatch &watch = refreshWatch;
    FrameRow *row = heldFrameRow(event.frame);
    if (row == nullptr) {
        return;
    }
    if (event.interval == IntervalState::on && watch.check.verdict == Verdict::judging) {
        row->missed = std::max<std::int64_t>(row->missed, 0);
    }
    if (event.discarded) {
        return;
    }
    row->hasPresent = true;
    row->presentNs = event.timeNs;
    row->hasCounter = event.sequence != 0;
    row->counter = event.sequence;
    if (watch.havePresented) {
        if (event.sequence != 0 && watch.presented.sequence != 0) {
            row->refreshes = static_cast<std::int64_t>(event.sequence - watch.presented.sequence);
        } else if (event.refreshNs != 0) {
            row->refreshes =
                roundedRefreshes(event.timeNs - watch.presented.timeNs, event.refreshNs);
        }
    }
    watch.presented = event;
    watch.havePresented = true;
}

void printLine(const std::string &text) {
    std::fprintf(stderr, "%s\n", text.c_str());
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
            printLine(progressLineText(watch.check, told));
        }
        if (frameLogRequested()) {
            logPresentation(event);
        }
    }
}

// The frame log on SIGINT, SIGTERM or SIGHUP: the rows so far, marked as interrupted.
void finishLogOnSignal() {
    std::lock_guard<std::mutex> lock(watchMutex);
    RefreshCheck finished = refreshWatch.check;
    finishRefreshCheck(finished);
    printLine(demoMessage("interrupted; " + finishFrameLog(finished, FrameLogEnd::interrupted)));
    std::fflush(stderr);
}

} // namespace

void watchRefreshOn(const std::string &outputName, bool counterEmulated) {
    refreshWatch.outputName = outputName;
    refreshWatch.counterEmulated = counterEmulated;
}

void logFramesTo(const std::string &path) {
    requestFrameLog(path);
    onEndingSignal(finishLogOnSignal);
}

void watchRefresh() {
    std::lock_guard<std::mutex> lock(watchMutex);
    RefreshWatch &watch = refreshWatch;
    if (!watch.started) {
        watch.started = true;
        RefreshFacts facts = lookAtRefresh(watch.outputName);
        facts.counterEmulated = watch.counterEmulated;
        startRefreshCheck(watch.check, facts);
        if (frameLogRequested()) {
            watch.check.onMisses = chargeRow;
        }
    }
    FrameSample sample;
    sample.timeNs = clockNowNs();
    const RefreshReading reading = readRefreshCounter();
    sample.msc = reading.counter;
    sample.interval = currentInterval();
    const FrameSample before = watch.check.previous;
    watch.missesOfThisFrame = 0;
    watch.rowPending = true;
    const ProgressLine line = observeFrame(watch.check, sample);
    if (line != ProgressLine::none) {
        printLine(progressLineText(watch.check, line));
    }
    if (spreadLineDue(watch.check)) {
        printLine(spreadLineText(watch.check));
    }
    if (frameLogRequested()) {
        logThisFrame(sample, before, reading.timeNs);
    }
    watch.rowPending = false;
    watch.intervals[watch.check.frames % intervalsKept] = sample.interval;
    takePresentations(watch);
}

void reportRefreshSummary() {
    std::lock_guard<std::mutex> lock(watchMutex);
    RefreshWatch &watch = refreshWatch;
    if (!watch.started) {
        const std::string log = finishFrameLog(watch.check, FrameLogEnd::escape);
        if (!log.empty()) {
            printLine(demoMessage(log));
        }
        return;
    }
    // Feedback read with the key that ends the viewer, before a frame took it in.
    takePresentations(watch);
    finishRefreshCheck(watch.check);
    const std::string log = finishFrameLog(watch.check, FrameLogEnd::escape);
    printLine(summaryLineText(watch.check) + (log.empty() ? "" : "; " + log));
}
