// SPDX-License-Identifier: MIT
// The missed-refresh check without a display: its counting rules on made-up sequences of
// refresh counters and frame times, the lines it writes, and the queue that holds the
// compositor's presentation feedback for it.
#include "frame_log_rows.h"
#include "presentation_queue.h"
#include "refresh_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

namespace {

constexpr std::uint64_t maxU64 = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint64_t hz60 = 16'666'667; // ns
constexpr std::uint64_t hz120 = 8'333'333;

TEST(RefreshRules, MscSteps) {
    struct Case {
        std::uint64_t previous, current;
        std::int64_t misses;
    } cases[] = {
        {0, 1, 0},
        {5, 5, 0},
        {5, 7, 1},
        {5, 10, 4},
        {maxU64, 0, 0},     // wraps around with a step of 1
        {maxU64 - 1, 1, 2}, // a step of 3 across the wrap
        {10, 9, 0},         // backwards: not a miss
        {maxU64 - 9, maxU64, 8},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(missesFromMscStep(c.previous, c.current), c.misses)
            << c.previous << " -> " << c.current;
    }
}

TEST(RefreshRules, FrameIntervals) {
    struct Case {
        std::uint64_t intervalNs, periodNs;
        std::int64_t misses;
    } cases[] = {
        {hz60, hz60, 0},
        {hz60 * 3 / 2, hz60, 0},     // exactly 1.5 periods is on time
        {hz60 * 3 / 2 + 2, hz60, 1}, // just over: round(1.5) - 1
        {2 * hz60, hz60, 1},
        {5 * hz60 / 2 + 1, hz60, 2}, // 2.5 rounds up
        {5 * hz60 / 2 - 1000, hz60, 1},
        {10 * hz60, hz60, 9},
        {1'000'000'000, 0, 0}, // no period: nothing to judge by
        {1, hz60, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(missesFromInterval(c.intervalNs, c.periodNs), c.misses)
            << c.intervalNs << " ns at a period of " << c.periodNs << " ns";
    }
}

TEST(RefreshRules, PeriodsOfModeLinesAndRates) {
    // 1920x1080 at 60 Hz and at 60/1.001 Hz, 1080i, a double-scanned 320x240.
    EXPECT_EQ(modeLinePeriodNs(148'500'000, 2200, 1125, false, false), 16'666'667u);
    EXPECT_EQ(modeLinePeriodNs(148'351'648, 2200, 1125, false, false), 16'683'333u);
    EXPECT_EQ(modeLinePeriodNs(74'250'000, 2200, 1125, true, false), 16'666'667u);
    EXPECT_EQ(modeLinePeriodNs(12'587'500, 400, 262, false, true), 16'651'440u);
    EXPECT_EQ(modeLinePeriodNs(0, 2200, 1125, false, false), 0u); // Xvfb's mode line
    EXPECT_EQ(modeLinePeriodNs(148'500'000, 0, 1125, false, false), 0u);
    EXPECT_EQ(ratePeriodNs(60, 1), 16'666'667u);
    EXPECT_EQ(ratePeriodNs(60000, 1001), 16'683'333u);
    EXPECT_EQ(ratePeriodNs(0, 1), 0u);
    EXPECT_EQ(ratePeriodNs(-60, 1), 0u);
    EXPECT_EQ(ratePeriodNs(60, 0), 0u);
}

TEST(RefreshRules, StartFromWhatTheDisplayTells) {
    constexpr std::uint64_t hz60 = 16'666'667;
    constexpr std::uint64_t hz75 = 13'333'333;
    struct Case {
        RefreshFacts facts;
        bool useMsc;
        std::uint64_t periodNs;
        RefreshSource source;
    } cases[] = {
        {{true, hz60, 0, "DUMMY1", false, false}, true, hz60, RefreshSource::syncCounter},
        // A counter without a rate of its own takes the mode's, and is still the source.
        {{true, 0, hz75, "", false, false}, true, hz75, RefreshSource::syncCounter},
        {{true, 0, 0, "", false, false}, true, 0, RefreshSource::syncCounter},
        {{false, 0, hz75, "", false, false}, false, hz75, RefreshSource::displayMode},
        {{false, 0, 0, "", false, false}, false, 0, RefreshSource::none}, // Xvfb, or no context
        // XWayland's counter is used, and named for what it is.
        {{true, hz60, 0, "XWAYLAND0", true, false}, true, hz60, RefreshSource::syncCounter},
        // Wayland: the compositor's feedback, whatever else is known.
        {{false, 0, hz60, "DP-1", false, true}, false, hz60, RefreshSource::presentation},
    };
    for (const Case &c : cases) {
        RefreshCheck check;
        startRefreshCheck(check, c.facts);
        EXPECT_EQ(check.useMsc, c.useMsc);
        EXPECT_EQ(check.periodNs, c.periodNs);
        EXPECT_EQ(check.source, c.source);
        EXPECT_EQ(check.outputName, c.facts.outputName);
        EXPECT_EQ(check.counterEmulated, c.facts.counterEmulated);
    }
}

// Frames that each land on the next refresh: the counter advances by one and the clock by
// one period per frame. samples[i] is frame i + 1.
std::vector<FrameSample> steadyFrames(int count, std::uint64_t periodNs,
                                      std::uint64_t firstMsc = 1000,
                                      std::uint64_t firstTimeNs = 1'000'000'000) {
    std::vector<FrameSample> samples(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        samples[i].msc = firstMsc + static_cast<std::uint64_t>(i);
        samples[i].timeNs = firstTimeNs + static_cast<std::uint64_t>(i) * periodNs;
        samples[i].interval = IntervalState::on;
    }
    return samples;
}

// Frame `frame` comes `extra` refreshes late, and every later frame with it.
void skip(std::vector<FrameSample> &samples, int frame, std::uint64_t extra,
          std::uint64_t periodNs) {
    for (std::size_t i = static_cast<std::size_t>(frame - 1); i < samples.size(); ++i) {
        samples[i].msc += extra;
        samples[i].timeNs += extra * periodNs;
    }
}

void setInterval(std::vector<FrameSample> &samples, int from, int to, IntervalState state) {
    for (int frame = from; frame <= to; ++frame) {
        samples[static_cast<std::size_t>(frame - 1)].interval = state;
    }
}

struct Expected {
    Verdict verdict;
    std::int64_t missed = 0;
    std::int64_t places = 0;
    std::int64_t longest = 0;
    std::int64_t firstMissFrame = 0;
};

struct SequenceCase {
    const char *name;
    bool useMsc;
    std::uint64_t periodNs; // given at the start; 0: to be measured
    std::function<std::vector<FrameSample>()> frames;
    Expected expected;
};

RefreshCheck runSequence(const SequenceCase &c) {
    RefreshCheck check;
    startRefreshCheck(check, c.useMsc, c.periodNs,
                      c.useMsc
                          ? RefreshSource::syncCounter
                          : (c.periodNs != 0 ? RefreshSource::displayMode : RefreshSource::none));
    for (const FrameSample &sample : c.frames()) {
        observeFrame(check, sample);
    }
    finishRefreshCheck(check);
    return check;
}

TEST(RefreshCheckSequences, CountsWhatTheSequencesMissed) {
    const SequenceCase cases[] = {
        {"counter skips at frames 100 and 200",
         true,
         hz60,
         [] {
             auto s = steadyFrames(300, hz60);
             skip(s, 100, 1, hz60);
             skip(s, 200, 3, hz60);
             return s;
         },
         {Verdict::judging, 4, 2, 3, 100}},
        {"counter wraps around 2^64",
         true,
         hz60,
         [] {
             auto s = steadyFrames(200, hz60, maxU64 - 50);
             skip(s, 51, 2, hz60); // the step that wraps
             skip(s, 60, 1, hz60);
             return s;
         },
         {Verdict::judging, 3, 2, 2, 51}},
        {"counter does not move",
         true,
         0,
         [] {
             auto s = steadyFrames(200, hz60);
             for (auto &f : s) {
                 f.msc = 7;
             }
             return s;
         },
         {Verdict::notPaced}},
        {"interval 1 -> 0 -> 1: pairs across a switch and in the off stretch count nothing",
         true,
         hz60,
         [] {
             auto s = steadyFrames(300, hz60);
             setInterval(s, 151, 200, IntervalState::off);
             skip(s, 151, 4, hz60); // across the switch to 0
             skip(s, 170, 5, hz60); // interval off
             skip(s, 201, 6, hz60); // across the switch back to 1
             skip(s, 250, 1, hz60);
             return s;
         },
         {Verdict::judging, 1, 1, 1, 250}},
        {"clock against the display mode's period",
         false,
         hz60,
         [] {
             auto s = steadyFrames(300, hz60);
             for (std::size_t i = 0; i < s.size(); i += 3) {
                 s[i].timeNs += 2'000'000; // jitter under half a period is on time
             }
             skip(s, 130, 1, hz60);
             skip(s, 140, 2, hz60);
             return s;
         },
         {Verdict::judging, 3, 2, 2, 130}},
        {"clock wraps around 2^64",
         false,
         hz60,
         [] {
             auto s = steadyFrames(200, hz60, 0, maxU64 - 130 * hz60);
             skip(s, 131, 1, hz60);
             return s;
         },
         {Verdict::judging, 1, 1, 1, 131}},
        {"frames faster than the display mode's refresh are not paced",
         false,
         hz60,
         [] {
             auto s = steadyFrames(300, 2'000'000);
             skip(s, 50, 20, 2'000'000); // 42 ms: a miss if the swaps were paced
             return s;
         },
         {Verdict::notPaced}},
        {"period measured from the first 120 frames, misses among them counted",
         false,
         0,
         [] {
             auto s = steadyFrames(300, hz120);
             skip(s, 50, 1, hz120);
             skip(s, 200, 2, hz120);
             return s;
         },
         {Verdict::judging, 3, 2, 2, 50}},
        {"too few frames to measure a period",
         false,
         0,
         [] { return steadyFrames(100, hz60); },
         {Verdict::noRefreshPeriod}},
        {"a measured period faster than any display",
         false,
         0,
         [] { return steadyFrames(300, 1'000'000); },
         {Verdict::noRefreshPeriod}},
        {"no swap control",
         true,
         hz60,
         [] {
             auto s = steadyFrames(300, hz60);
             setInterval(s, 1, 300, IntervalState::uncontrolled);
             skip(s, 100, 1, hz60);
             return s;
         },
         {Verdict::noSwapControl}},
        {"interval off throughout",
         false,
         hz60,
         [] {
             auto s = steadyFrames(300, hz60);
             setInterval(s, 1, 300, IntervalState::off);
             skip(s, 100, 1, hz60);
             return s;
         },
         {Verdict::intervalNeverOn}},
        {"interval switched off before the counter could be judged: what was seen decides",
         true,
         hz60,
         [] {
             auto s = steadyFrames(300, hz60);
             skip(s, 20, 1, hz60);
             setInterval(s, 41, 300, IntervalState::off);
             return s;
         },
         {Verdict::judging, 1, 1, 1, 20}},
    };
    for (const SequenceCase &c : cases) {
        SCOPED_TRACE(c.name);
        const RefreshCheck check = runSequence(c);
        EXPECT_EQ(check.verdict, c.expected.verdict);
        EXPECT_EQ(check.missed, c.expected.missed);
        EXPECT_EQ(check.places, c.expected.places);
        EXPECT_EQ(check.longest, c.expected.longest);
        EXPECT_EQ(check.firstMissFrame, c.expected.firstMissFrame);
    }
}

TEST(RefreshCheckLines, FirstMissThenAtMostOneLineEveryFiveSeconds) {
    // 60 Hz, so a line 5 s after another comes 300 refreshes later; each skipped refresh
    // brings that frame one earlier.
    auto samples = steadyFrames(1200, hz60);
    skip(samples, 50, 1, hz60);  // among the calibration frames: told when they end
    skip(samples, 200, 2, hz60); // told 5 s after the first line
    skip(samples, 500, 1, hz60); // these two: 5 s after that
    skip(samples, 510, 1, hz60);
    RefreshCheck check;
    startRefreshCheck(check, true, hz60, RefreshSource::syncCounter);
    std::vector<std::pair<std::int64_t, std::string>> lines;
    for (const FrameSample &sample : samples) {
        const ProgressLine line = observeFrame(check, sample);
        if (line != ProgressLine::none) {
            lines.emplace_back(check.frames, progressLineText(check, line));
        }
        if (spreadLineDue(check)) {
            lines.emplace_back(check.frames, spreadLineText(check));
        }
    }
    // The spread line once the calibration frames are in: 119 intervals of one refresh and
    // one of two.
    const std::vector<std::pair<std::int64_t, std::string>> expected = {
        {calibrationFrames + 1,
         "moiravel-demo: first missed refresh at frame 50; 1 refresh missed so far"},
        {calibrationFrames + 1, "moiravel-demo: refresh 16.667 ms (60.00 Hz, OML), frame "
                                "interval SD 1.521 ms over 120 frames"},
        {121 + 300 - 2,
         "moiravel-demo: 3 refreshes missed so far in 2 places, latest at frame 200"},
        {419 + 300 - 2,
         "moiravel-demo: 5 refreshes missed so far in 4 places, latest at frame 510"},
    };
    EXPECT_EQ(lines, expected);
}

TEST(RefreshCheckLines, Summaries) {
    // 7200 frames over 120 s at 60 Hz, one frame a refresh late.
    RefreshCheck check;
    startRefreshCheck(check, true, hz60, RefreshSource::syncCounter);
    auto samples = steadyFrames(7200, hz60);
    skip(samples, 812, 1, hz60);
    for (const FrameSample &sample : samples) {
        observeFrame(check, sample);
    }
    finishRefreshCheck(check);
    EXPECT_EQ(summaryLineText(check), "moiravel-demo: 7200 frames in 120.0 s, refresh 60.00 Hz "
                                      "(OML); 1 refresh missed in 1 place, longest 1, first at "
                                      "frame 812");
    // On one output of several, the summary names it.
    check.outputName = "DUMMY1";
    EXPECT_EQ(summaryLineText(check).substr(0, 53),
              "moiravel-demo: 7200 frames in 120.0 s, on DUMMY1, ref");
    // XWayland's counter is not the display's, and the summary says so.
    check.counterEmulated = true;
    EXPECT_NE(summaryLineText(check).find(
                  "refresh 60.00 Hz (OML as emulated by XWayland; not the display's counter); "),
              std::string::npos);

    // The interval off for the last 1000 frames, drawn at 500 frames/s.
    startRefreshCheck(check, false, 0, RefreshSource::none);
    samples = steadyFrames(400, hz120);
    const std::uint64_t end = samples.back().timeNs;
    for (int i = 1; i <= 1000; ++i) {
        samples.push_back({end + static_cast<std::uint64_t>(i) * 2'000'000, 0, IntervalState::off});
    }
    for (const FrameSample &sample : samples) {
        observeFrame(check, sample);
    }
    finishRefreshCheck(check);
    EXPECT_EQ(summaryLineText(check),
              "moiravel-demo: 1400 frames in 5.3 s, refresh 120.00 Hz (measured); no refresh "
              "missed; without the swap interval: 1000 frames, 500.0 frames/s");
}

// The frame log's rows and trailers: empty fields where nothing is known, negative offsets,
// the keys by name (one the viewer ignores left out), and the check's end as the trailer says.
TEST(RefreshCheckLines, FrameLogRowsAndTrailers) {
    char text[frameRowTextMax];
    FrameRow first;
    first.frame = 1;
    first.interval = IntervalState::uncontrolled;
    first.subimage = 1;
    EXPECT_EQ(std::string(text, frameRowText(first, 0, text)), "1,0,,,,,uncontrolled,0,1,0,0,\n");
    FrameRow late;
    late.frame = 100;
    late.swapNs = 1'650'033'000;
    late.hasPresent = true;
    late.presentNs = 5'000'000'123;
    late.hasCounter = true;
    late.counter = 0xffffffffffffff00;
    late.refreshes = 3;
    late.missed = 2;
    late.interval = IntervalState::on;
    late.mode = 2;
    late.offsetX = -50;
    late.offsetY = 50;
    late.keys[0] = '+';
    late.keys[1] = 'x';
    late.keys[2] = ' ';
    late.keyCount = 3;
    EXPECT_EQ(std::string(text, frameRowText(late, 5'000'000'000, text)),
              "100,1650033000,123,18446744073709551360,3,2,on,2,0,-50,50,plus space\n");
    FrameRow widest = late;
    widest.frame = widest.offsetX = widest.offsetY = widest.mode = INT32_MIN;
    widest.swapNs = widest.presentNs = UINT64_MAX;
    widest.refreshes = widest.missed = INT64_MAX;
    std::fill(widest.keys, widest.keys + keysPerRow, 27);
    widest.keyCount = keysPerRow;
    EXPECT_LT(frameRowText(widest, 0, text), frameRowTextMax);

    RefreshCheck check;
    startRefreshCheck(check, true, hz60, RefreshSource::syncCounter);
    auto samples = steadyFrames(300, hz60);
    skip(samples, 200, 2, hz60);
    for (const FrameSample &sample : samples) {
        observeFrame(check, sample);
    }
    finishRefreshCheck(check);
    check.outputName = "DUMMY1";
    EXPECT_EQ(frameLogTrailer(check, FrameLogEnd::escape),
              "# end=escape frames=300 period_ns=16666667 source=OML output=DUMMY1 missed=2 "
              "places=1 longest=2\n");
    startRefreshCheck(check, false, 0, RefreshSource::none);
    for (const FrameSample &sample : steadyFrames(10, hz60)) {
        observeFrame(check, sample);
    }
    finishRefreshCheck(check);
    check.verdict = Verdict::noSwapControl;
    EXPECT_EQ(frameLogTrailer(check, FrameLogEnd::interrupted),
              "# end=interrupted frames=10 period_ns=0 source=none output=- missed=0 places=0 "
              "longest=0 not_judged=the swap interval cannot be set here, so frames are not tied "
              "to the display refresh\n");
}

} // namespace

namespace {

// Feedback of `count` frames, one a refresh, each with the given flags; frame i + 1 is
// presented at sequence firstSequence + i, unless the sequence is 0 (the output has none).
std::vector<PresentationEvent> steadyPresentations(int count, std::uint32_t flags,
                                                   std::uint64_t firstSequence = 5000) {
    std::vector<PresentationEvent> events(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        PresentationEvent &e = events[static_cast<std::size_t>(i)];
        e.frame = i + 1;
        e.timeNs = 2'000'000'000 + static_cast<std::uint64_t>(i) * hz60;
        e.refreshNs = hz60;
        e.sequence = firstSequence == 0 ? 0 : firstSequence + static_cast<std::uint64_t>(i);
        e.flags = flags;
        e.interval = IntervalState::on;
    }
    return events;
}

// Frame `frame` is presented `extra` refreshes late, and every later one with it.
void presentLate(std::vector<PresentationEvent> &events, int frame, std::uint64_t extra) {
    for (std::size_t i = static_cast<std::size_t>(frame - 1); i < events.size(); ++i) {
        events[i].sequence += events[i].sequence != 0 ? extra : 0;
        events[i].timeNs += extra * hz60;
    }
}

constexpr std::uint32_t allFlags =
    presentedVsync | presentedHwClock | presentedHwCompletion | presentedZeroCopy;

} // namespace

TEST(RefreshCheckPresentation, JudgesRecordedFeedback) {
    struct Case {
        const char *name;
        std::function<std::vector<PresentationEvent>()> events;
        Expected expected;
        const char *summaryTail; // how the summary's source and verdict read
    };
    const Case cases[] = {
        {"steady, on every refresh",
         [] { return steadyPresentations(300, allFlags); },
         {Verdict::judging},
         "refresh 60.00 Hz (presentation feedback: vsync, hw_clock, hw_completion, zero_copy); "
         "no refresh missed"},
        {"the sequence jumps at frames 50 and 80",
         [] {
             auto e = steadyPresentations(300, presentedVsync);
             presentLate(e, 50, 2);
             presentLate(e, 80, 1);
             return e;
         },
         {Verdict::judging, 3, 2, 2, 50},
         "(presentation feedback: vsync); 3 refreshes missed in 2 places, longest 2, first at "
         "frame 50"},
        {"two frames discarded",
         [] {
             auto e = steadyPresentations(300, presentedVsync | presentedHwClock);
             e[29].discarded = true;
             e[30].discarded = true;
             presentLate(e, 32, 0);
             return e;
         },
         {Verdict::judging, 2, 2, 1, 30},
         "(presentation feedback: vsync, hw_clock); 2 refreshes missed in 2 places"},
        {"the sequence wraps around 2^64",
         [] {
             auto e = steadyPresentations(200, presentedVsync, maxU64 - 50);
             presentLate(e, 60, 1);
             return e;
         },
         {Verdict::judging, 1, 1, 1, 60},
         "1 refresh missed in 1 place"},
        {"vsync without a counter: the times against the refresh",
         [] {
             auto e = steadyPresentations(200, presentedVsync, 0);
             presentLate(e, 70, 1);
             return e;
         },
         {Verdict::judging, 1, 1, 1, 70},
         "1 refresh missed in 1 place"},
        {"no vsync flag (mutter headless)",
         [] { return steadyPresentations(200, presentedHwCompletion); },
         {Verdict::notVsynced},
         "(presentation feedback: hw_completion); missed refreshes cannot be judged: the "
         "compositor's presentation feedback does not tie frames to the display refresh (no "
         "vsync flag)"},
        {"no flags, no counter (weston)",
         [] { return steadyPresentations(200, 0, 0); },
         {Verdict::notVsynced},
         "(presentation feedback: no flags); missed refreshes cannot be judged"},
        {"no feedback at all",
         [] { return std::vector<PresentationEvent>{}; },
         {Verdict::noPresentation},
         "refresh 60.00 Hz (presentation feedback); missed refreshes cannot be judged: the "
         "compositor sent no presentation feedback"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RefreshFacts facts;
        facts.modePeriodNs = hz60;
        facts.presentation = true;
        RefreshCheck check;
        startRefreshCheck(check, facts);
        // Each frame's feedback comes two frames after its swap.
        const std::vector<PresentationEvent> events = c.events();
        const std::vector<FrameSample> swaps = steadyFrames(300, hz60);
        for (std::size_t i = 0; i < swaps.size(); ++i) {
            observeFrame(check, swaps[i]);
            if (i >= 2 && i - 2 < events.size()) {
                observePresentation(check, events[i - 2]);
            }
        }
        finishRefreshCheck(check);
        EXPECT_EQ(check.verdict, c.expected.verdict);
        EXPECT_EQ(check.missed, c.expected.missed);
        EXPECT_EQ(check.places, c.expected.places);
        EXPECT_EQ(check.longest, c.expected.longest);
        EXPECT_EQ(check.firstMissFrame, c.expected.firstMissFrame);
        EXPECT_NE(summaryLineText(check).find(c.summaryTail), std::string::npos)
            << summaryLineText(check);
    }
}

// The compositor's feedback waits in a fixed ring until the watch takes it: in order, the
// oldest giving way when the watch falls that far behind, and the numbers it sends in 32-bit
// halves put together.
TEST(RefreshCheckPresentation, QueueKeepsTheLatestFeedbackInOrder) {
    PresentationQueue queue;
    PresentationEvent taken;
    EXPECT_FALSE(popPresentation(queue, taken));
    const int pushed = presentationsQueued + 10;
    for (int frame = 1; frame <= pushed; ++frame) {
        PresentationEvent event;
        event.frame = frame;
        event.discarded = frame % 3 == 0;
        pushPresentation(queue, event);
        if (frame == 2) {
            ASSERT_TRUE(popPresentation(queue, taken));
            EXPECT_EQ(taken.frame, 1);
        }
    }
    for (int frame = pushed - presentationsQueued + 1; frame <= pushed; ++frame) {
        ASSERT_TRUE(popPresentation(queue, taken)) << "frame " << frame;
        EXPECT_EQ(taken.frame, frame);
        EXPECT_EQ(taken.discarded, frame % 3 == 0) << "frame " << frame;
    }
    EXPECT_FALSE(popPresentation(queue, taken));

    EXPECT_EQ(joinHalves(0, 7), 7u);
    EXPECT_EQ(joinHalves(0x12345678, 0x9abcdef0), 0x123456789abcdef0u);
    EXPECT_EQ(joinHalves(0xffffffff, 0xffffffff), maxU64);
    EXPECT_EQ(splitTimeNs(0, 0, 999'999'999), 999'999'999u);
    EXPECT_EQ(splitTimeNs(0, 4'000'000'000u, 5), 4'000'000'000u * nsPerSecond + 5);
    EXPECT_EQ(splitTimeNs(1, 2, 3), ((std::uint64_t{1} << 32) + 2) * nsPerSecond + 3);
}
