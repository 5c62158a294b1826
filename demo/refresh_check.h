// SPDX-License-Identifier: MIT
// Checking the presentation: counts the display refreshes that frames missed,
// from the first frame until Escape, and reports them on standard error.
//
// Each frame gives one sample, taken right after its buffer swap: a monotonic
// clock time and, where GLX_OML_sync_control is offered, the display's refresh
// counter (MSC). With the swap interval on, every frame should stay on screen
// for exactly one refresh; a frame that stays longer means the refreshes in
// between showed the previous subimage again.
//
// It only observes and reports: it changes nothing on screen, on standard
// output or in the exit status, never sets the swap interval, and does not
// tell why a refresh was missed. With the swap interval off, or where it
// cannot be set, frames are not tied to refreshes and only the frame rate is
// counted.
#pragma once

#include <cstdint>
#include <string>

// Where the refresh period came from.
enum class RefreshSource {
    none,         // not known (yet)
    syncCounter,  // the refresh counter of GLX_OML_sync_control
    displayMode,  // the current display mode's refresh rate
    measured,     // the median frame interval of the first frames with the interval on
    presentation, // the compositor's presentation feedback (wp_presentation) on every frame
};

// The flags of a presentation (wp_presentation_feedback's kind), as the protocol numbers them.
enum PresentationFlag : std::uint32_t {
    presentedVsync = 0x1,        // the frame was tied to the display's refresh
    presentedHwClock = 0x2,      // the time came from the display's own clock
    presentedHwCompletion = 0x4, // the display said when it was done
    presentedZeroCopy = 0x8,     // the frame's own buffer was scanned out
};

// The swap interval a frame ran under.
enum class IntervalState {
    off,
    on,
    uncontrolled, // 1 was asked for, but no swap control passed it to a driver
};

// What the check can say about the frames seen so far.
enum class Verdict {
    calibrating,     // collecting the first frames with the interval on
    judging,         // counting misses
    noSwapControl,   // the swap interval cannot be set, so frames follow no refresh
    intervalNeverOn, // no two successive frames ran with the interval on
    noRefreshPeriod, // neither the display mode nor the frame times give a period
    notPaced,        // the swaps do not wait for the refresh
    noPresentation,  // presentation feedback was the source, and none came
    notVsynced,      // presentation feedback came without the vsync flag
};

// A line the frame hook should write now.
enum class ProgressLine { none, firstMiss, update };

struct FrameSample {
    std::uint64_t timeNs = 0; // monotonic clock; differences are taken modulo 2^64
    std::uint64_t msc = 0;    // refresh counter, when the sync counter is used
    IntervalState interval = IntervalState::off;
};

// What the compositor said of one frame's presentation, in the order frames were presented.
struct PresentationEvent {
    std::int64_t frame = 0;      // the frame (from 1, as the check counts them) it tells of
    bool discarded = false;      // the frame was never shown
    std::uint64_t timeNs = 0;    // when it turned to light
    std::uint64_t refreshNs = 0; // the output's refresh period; 0 when not constant
    std::uint64_t sequence = 0;  // the output's refresh counter; 0 where it has none
    std::uint32_t flags = 0;     // PresentationFlag bits
    IntervalState interval = IntervalState::off; // the swap interval the frame ran under
};

// Presentation feedback comes a few frames after the frame it tells of: the viewer keeps the
// swap interval of this many recent frames for it, and feedback older than that is left out.
inline constexpr int presentationFramesKept = 64;

inline constexpr std::uint64_t nsPerSecond = 1'000'000'000;

// Frames with the interval on that decide whether the swaps are paced (and,
// without another source, give the refresh period).
constexpr int calibrationFrames = 120;
// Least time between two progress lines.
constexpr std::uint64_t progressSpacingNs = 5'000'000'000;
// Refresh periods that a measured median may give: 500 Hz down to 20 Hz.
constexpr std::uint64_t shortestPeriodNs = 2'000'000;
constexpr std::uint64_t longestPeriodNs = 50'000'000;

// All state of one check; fixed size, so a frame never allocates.
struct RefreshCheck {
    bool useMsc = false;
    bool counterEmulated = false; // the refresh counter is XWayland's, not the display's
    RefreshSource source = RefreshSource::none;
    std::uint64_t periodNs = 0; // 0: not known
    Verdict verdict = Verdict::calibrating;

    std::int64_t frames = 0; // frames seen; also the number of the latest one
    FrameSample previous;
    std::uint64_t firstTimeNs = 0;
    // Successive frame pairs within one stretch, and their time. A pair that
    // spans a switch of the interval belongs to neither.
    std::int64_t onPairs = 0;
    std::uint64_t onNs = 0;
    std::int64_t offPairs = 0;
    std::uint64_t offNs = 0;
    std::int64_t offFrames = 0; // frames that ran with the interval not on
    // The first calibrationFrames pairs with the interval on: their sum and sum of squares,
    // for the spread of the frame interval; and whether the line telling it was due.
    int spreadPairs = 0;
    double spreadSumNs = 0.0;
    double spreadSumSquaresNs = 0.0;
    bool spreadTold = false;
    bool sawUncontrolled = false;

    // Presentation feedback, where it is the source: the events seen, the flags every
    // presented frame had, and the last presented frame with the interval on.
    std::int64_t presentations = 0;
    std::uint32_t presentationFlags = 0;
    bool havePresented = false;
    PresentationEvent presented;
    std::int64_t discardedSincePresented = 0;

    std::int64_t missed = 0;
    std::int64_t places = 0;
    std::int64_t longest = 0;
    std::int64_t firstMissFrame = 0;
    std::int64_t latestMissFrame = 0;

    // MSC steps or frame intervals (ns) of the first pairs with the interval
    // on, and the frame that ended each.
    std::uint64_t sample[calibrationFrames] = {};
    std::int64_t sampleFrame[calibrationFrames] = {};
    int sampleCount = 0;
    std::uint64_t medianNs = 0; // median frame interval found by the calibration

    std::string outputName; // named in the summary; empty when not known

    // Told of every frame that misses are charged to, as they are (the frame log's rows).
    void (*onMisses)(std::int64_t frame, std::int64_t misses) = nullptr;

    bool lineWritten = false;
    std::uint64_t lastLineNs = 0;
    std::int64_t missedAtLastLine = 0;
};

// Missed refreshes between two successive MSC readings: a step of 2 or more
// misses step - 1. The counter may wrap around; a step backwards (more than
// 2^63) counts nothing.
std::int64_t missesFromMscStep(std::uint64_t previous, std::uint64_t current);

// Missed refreshes in one frame interval: longer than 1.5 periods misses
// round(interval / period) - 1. Nothing without a period.
std::int64_t missesFromInterval(std::uint64_t intervalNs, std::uint64_t periodNs);

// Refresh period of a mode line: pixel clock in Hz, total pixels per line and
// lines per frame. Interlaced modes show a field per refresh, double-scanned
// modes draw each line twice. 0 when the mode line gives no rate.
std::uint64_t modeLinePeriodNs(std::uint64_t dotClockHz, std::uint32_t hTotal, std::uint32_t vTotal,
                               bool interlaced, bool doubleScan);

// Refresh period of a rate given as a fraction of Hz (as glXGetMscRateOML
// gives it); 0 for a rate that is not positive.
std::uint64_t ratePeriodNs(std::int64_t numerator, std::int64_t denominator);

// What the display tells of its refresh at the start.
struct RefreshFacts {
    bool hasCounter = false;           // the display's refresh counter can be read every frame
    std::uint64_t counterPeriodNs = 0; // the period the counter counts, 0 when not known
    std::uint64_t modePeriodNs = 0;    // the display mode's period, 0 when not known or not
                                       // looked at (only looked at without the counter's)
    std::string outputName;            // the output shown on; empty when not known
    bool counterEmulated = false;      // the counter is XWayland's, made up per window
    bool presentation = false;         // frames are judged from presentation feedback (Wayland)
};

// A fresh check: the MSC is used when useMsc; periodNs (0: not known) comes
// from `source`, or is measured when it is 0 and the MSC is not used.
void startRefreshCheck(RefreshCheck &check, bool useMsc, std::uint64_t periodNs,
                       RefreshSource source);

// A fresh check on what the display tells: its counter where it has one, and the counter's
// period, else the display mode's; the source names the counter whenever it is used.
void startRefreshCheck(RefreshCheck &check, const RefreshFacts &facts);

// Takes one frame's sample; a few integer operations and no allocation.
// Tells which line, if any, is due: the first miss once the check judges,
// then at most one update every progressSpacingNs while misses go on.
ProgressLine observeFrame(RefreshCheck &check, const FrameSample &sample);

// Takes what the compositor said of one frame's presentation, where presentation feedback is
// the source: presented frames with the vsync flag are judged by the refresh counter's steps,
// or where it has none by their times against the refresh period; a discarded frame with
// the interval on missed its refresh. Feedback without the vsync flag ties nothing to the
// refresh, and the check then judges no more.
ProgressLine observePresentation(RefreshCheck &check, const PresentationEvent &event);

// Whether the line that tells the refresh period and the spread of the first frame
// intervals with the interval on is due now: once, when those frames are in and the check
// judges.
bool spreadLineDue(RefreshCheck &check);

// Settles the verdict at the end of the run, from whatever was seen.
void finishRefreshCheck(RefreshCheck &check);

// Why the refreshes cannot be judged, for a check whose verdict is not judging.
std::string cannotJudgeReason(const RefreshCheck &check);

// The texts, without a trailing newline.
std::string progressLineText(const RefreshCheck &check, ProgressLine line);
std::string summaryLineText(const RefreshCheck &check);
std::string spreadLineText(const RefreshCheck &check);

// The viewer's hooks (refresh_watch.cpp): start-up names the output the window shows on
// (empty: the primary) and whether the refresh counter is XWayland's, the frame callback calls
// watchRefresh once per frame right after the buffer swap, with the game-mode context current;
// Escape calls reportRefreshSummary before the program ends.
void watchRefreshOn(const std::string &outputName, bool counterEmulated);
// Keeps a row of every frame in the frame log at `path`, written at Escape or when a signal
// ends the run (frame_log_writer.h).
void logFramesTo(const std::string &path);
void watchRefresh();
void reportRefreshSummary();
