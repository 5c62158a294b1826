// SPDX-License-Identifier: MIT
// The missed-refresh check's counting: plain arithmetic on the samples it is fed, with no
// clock, display or output of its own (refresh_watch.cpp feeds it, refresh_text.cpp words it).
#include "refresh_check.h"

#include <algorithm>

namespace {

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
    if (check.onMisses != nullptr) {
        check.onMisses(frame, misses);
    }
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

void startRefreshCheck(RefreshCheck &check, const RefreshFacts &facts) {
    const std::uint64_t periodNs =
        facts.counterPeriodNs != 0 ? facts.counterPeriodNs : facts.modePeriodNs;
    RefreshSource source = RefreshSource::none;
    if (facts.hasCounter) {
        source = RefreshSource::syncCounter;
    } else if (periodNs != 0) {
        source = RefreshSource::displayMode;
    }
    if (facts.presentation) {
        startRefreshCheck(check, false, facts.modePeriodNs, RefreshSource::presentation);
    } else {
        startRefreshCheck(check, facts.hasCounter, periodNs, source);
        check.counterEmulated = facts.hasCounter && facts.counterEmulated;
    }
    check.outputName = facts.outputName;
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
    if (check.spreadPairs < calibrationFrames) {
        const double interval = static_cast<double>(intervalNs);
        ++check.spreadPairs;
        check.spreadSumNs += interval;
        check.spreadSumSquaresNs += interval * interval;
    }
    // Presentation feedback judges the frames itself (observePresentation).
    if (check.source == RefreshSource::presentation ||
        (check.verdict != Verdict::calibrating && check.verdict != Verdict::judging)) {
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

ProgressLine observePresentation(RefreshCheck &check, const PresentationEvent &event) {
    if (check.source != RefreshSource::presentation) {
        return ProgressLine::none;
    }
    ++check.presentations;
    if (event.interval != IntervalState::on) {
        check.havePresented = false;
        check.discardedSincePresented = 0;
        return ProgressLine::none;
    }
    if (!event.discarded) {
        check.presentationFlags =
            check.presentations == 1 ? event.flags : check.presentationFlags & event.flags;
    }
    if (check.verdict == Verdict::notVsynced) {
        return ProgressLine::none;
    }
    if (!event.discarded && (event.flags & presentedVsync) == 0) {
        check.verdict = Verdict::notVsynced;
        forgetMisses(check);
        return ProgressLine::none;
    }
    check.verdict = Verdict::judging;
    if (event.discarded) {
        // Never shown: its refresh showed the frame before it again.
        recordMisses(check, 1, event.frame);
        ++check.discardedSincePresented;
        return lineDue(check, check.presented.timeNs);
    }
    if (event.refreshNs != 0) {
        check.periodNs = event.refreshNs;
    }
    if (check.havePresented) {
        const PresentationEvent &before = check.presented;
        const std::int64_t misses =
            before.sequence != 0 && event.sequence != 0
                ? missesFromMscStep(before.sequence, event.sequence)
                : missesFromInterval(event.timeNs - before.timeNs, check.periodNs);
        // The refreshes that the discarded frames in between should have had are counted
        // already.
        recordMisses(check, misses - check.discardedSincePresented, event.frame);
    }
    check.discardedSincePresented = 0;
    check.presented = event;
    check.havePresented = true;
    return lineDue(check, event.timeNs);
}

bool spreadLineDue(RefreshCheck &check) {
    if (check.spreadTold || check.spreadPairs < calibrationFrames ||
        check.verdict != Verdict::judging || check.periodNs == 0) {
        return false;
    }
    check.spreadTold = true;
    return true;
}

void finishRefreshCheck(RefreshCheck &check) {
    if (check.source == RefreshSource::presentation && check.verdict == Verdict::calibrating) {
        if (check.presentations == 0 && check.onPairs > 0) {
            check.verdict = Verdict::noPresentation;
            return;
        }
    }
    if (check.verdict != Verdict::calibrating) {
        return;
    }
    if (check.sampleCount > 0) {
        calibrate(check);
    } else {
        check.verdict = check.sawUncontrolled ? Verdict::noSwapControl : Verdict::intervalNeverOn;
    }
}
