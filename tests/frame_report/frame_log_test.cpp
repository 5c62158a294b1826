// SPDX-License-Identifier: MIT
// The frame log's reader and the figures of a run: small hand-made logs, their statistics and
// report lines, and bad logs refused with the right line and reason.
#include "frame_log.h"
#include "frame_stats.h"
#include "report_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace moiravel::frames {
namespace {

const std::string header = std::string(logHeader) + "\n";

// Five frames 10 ms apart by both clocks, but frame 3, which missed one refresh.
const std::string onTime = header + "1,0,0,100,,,on,0,0,0,0,\n"
                                    "2,10000000,10000000,101,1,0,on,0,1,-1,1,\n"
                                    "3,30000000,30000000,103,2,1,on,0,0,-2,2,space\n"
                                    "4,40000000,40000000,104,1,0,on,0,1,-3,3,\n"
                                    "5,50000000,50000000,105,1,0,on,0,0,-4,4,v escape\n"
                                    "# end=escape frames=5 period_ns=10000000 source=OML "
                                    "output=DUMMY1 missed=1 places=1 longest=1\n";

struct StatsCase {
    const char *name;
    std::string log;
    std::uint64_t frames;
    double durationMs;
    IntervalClock clock;
    double meanMs, sdMs, p1Ms, p50Ms, p99Ms;
    std::vector<std::string> lines; // lines the report must have
};

const std::vector<StatsCase> statsCases = {
    {"present_ns in every row",
     onTime,
     5,
     50,
     IntervalClock::present,
     12.5,
     5,
     10,
     10,
     19.7,
     {"frames: 5", "duration: 50.000 ms", "output: DUMMY1",
      "refresh period: 10.000 ms (100.000 Hz), from OML",
      "frame interval: mean 12.500 ms, SD 5.000 ms, over 4 intervals (from present_ns, when "
      "each frame turned to light)",
      "frame interval percentiles: 1st 10.000 ms, 50th 10.000 ms, 99th 19.700 ms",
      "missed refreshes: 1 in 1 place, longest 1, first at frame 3",
      "frames without the swap interval: 0", "ended by: Escape"}},
    // One row without present_ns: the intervals come from swap_ns (11, 19, 11, 9 ms). Nothing
    // judged: the miss counted before the check gave up is not the run's.
    {"a row without present_ns",
     header + "1,0,0,,,,on,0,0,0,0,\n"
              "2,11000000,10000000,,,,on,1,0,-1,1,m\n"
              "3,30000000,,,,1,on,1,1,-2,2,\n"
              "4,41000000,40000000,,,,off,1,0,-3,3,v\n"
              "5,50000000,50000000,,,,uncontrolled,1,1,-4,4,\n"
              "# end=interrupted frames=5 period_ns=0 source=none output=- missed=0 places=0 "
              "longest=0 not_judged=no refresh period was found\n",
     5,
     50,
     IntervalClock::swap,
     12.5,
     4.4347,
     9.06,
     11,
     18.76,
     {"output: not known", "refresh period: not known (source none)",
      "frame interval: mean 12.500 ms, SD 4.435 ms, over 4 intervals (from swap_ns, after each "
      "buffer swap)",
      "frame interval percentiles: 1st 9.060 ms, 50th 11.000 ms, 99th 18.760 ms",
      "frames without the swap interval: 2 (off 1, uncontrolled 1)",
      "ended by: an interruption (signal or console close)",
      "missed refreshes cannot be judged: no refresh period was found"}},
    {"no rows",
     header + "# end=escape frames=0 period_ns=0 source=none output=- missed=0 places=0 "
              "longest=0\n",
     0,
     0,
     IntervalClock::swap,
     0,
     0,
     0,
     0,
     0,
     {"frames: 0", "duration: 0.000 ms", "frame interval: none (fewer than 2 frames)"}},
};

TEST(FrameStats, FiguresOfHandMadeLogs) {
    for (const StatsCase &c : statsCases) {
        SCOPED_TRACE(c.name);
        const auto parsed = parseFrameLog(c.log);
        ASSERT_TRUE(std::holds_alternative<FrameLog>(parsed))
            << std::get<LogRefusal>(parsed).line << ": " << std::get<LogRefusal>(parsed).reason;
        const FrameLog &log = std::get<FrameLog>(parsed);
        const FrameStats stats = frameStats(log);
        EXPECT_EQ(stats.frames, c.frames);
        EXPECT_DOUBLE_EQ(stats.durationMs, c.durationMs);
        EXPECT_EQ(stats.clock, c.clock);
        EXPECT_NEAR(stats.meanMs, c.meanMs, 1e-4);
        EXPECT_NEAR(stats.sdMs, c.sdMs, 1e-4);
        EXPECT_NEAR(stats.p1Ms, c.p1Ms, 1e-9);
        EXPECT_NEAR(stats.p50Ms, c.p50Ms, 1e-9);
        EXPECT_NEAR(stats.p99Ms, c.p99Ms, 1e-9);
        const std::string text = reportText("run.csv", log, stats);
        for (const std::string &line : c.lines) {
            EXPECT_NE(text.find("\n" + line + "\n"), std::string::npos)
                << "no line '" << line << "' in\n"
                << text;
        }
    }
}

// onTime with its text from the first occurrence of what replaced by with.
std::string edited(const std::string &what, const std::string &with) {
    std::string log = onTime;
    return log.replace(log.find(what), what.size(), with);
}

struct BadLog {
    const char *name;
    std::string log;
    std::size_t line;
    std::string reason; // the start of the reason
};

const std::vector<BadLog> badLogs = {
    {"empty file", "", 1, "an empty file, not a frame log"},
    {"wrong header", edited("offset_y,key", "offset_y"), 1,
     "not a frame log: the first line is not its header"},
    {"a row cut short", edited("3,30000000,30000000,103,2,1,on,0,0,-2,2,space", "3,30000000,300"),
     4, "a row of 3 fields, not 12"},
    {"a field too many", edited("-4,4,v escape", "-4,4,v escape,"), 6, "a row of 13 fields"},
    {"not a number", edited("40000000,40000000", "4e7,40000000"), 5,
     "swap_ns '4e7' is not a whole number of 0 or more"},
    {"frame out of sequence", edited("4,40000000", "5,40000000"), 5,
     "frame 5 out of sequence: the row should be frame 4"},
    {"swap_ns decreasing", edited("4,40000000", "4,20000000"), 5,
     "swap_ns 20000000 is less than the row before's 30000000"},
    {"unknown interval word", edited("0,on,0,1,-3", "0,vsync,0,1,-3"), 5,
     "interval 'vsync' is not on, off or uncontrolled"},
    {"unknown key", edited("v escape", "v q"), 6, "key 'v q' is not keys the viewer handles"},
    {"missing trailer", onTime.substr(0, onTime.find("# end=")), 7,
     "the log ends without its trailer"},
    {"cut in the last row", onTime.substr(0, onTime.find("5,50000000,50000000,105")) + "5,500", 6,
     "the log ends in a line cut short, without its trailer"},
    {"a line after the trailer", onTime + "6,60000000,,,,,on,0,0,-5,5,\n", 8,
     "a line after the trailer"},
    {"frames= not the row count", edited("frames=5", "frames=6"), 7,
     "the trailer says frames=6, but the log has 5 rows"},
    {"missed= not the column's sum", edited("missed=1 places=1", "missed=2 places=1"), 7,
     "the trailer says missed=2 places=1 longest=1, but the missed column gives 1, 1 and 1"},
    {"trailer fields out of order", edited("source=OML output=DUMMY1", "output=DUMMY1 source=OML"),
     7, "the trailer's fields are not end frames"},
    {"unknown source", edited("source=OML", "source=GPS"), 7, "source=GPS is not OML"},
};

TEST(FrameLog, RefusesBadLogsWithLineAndReason) {
    for (const BadLog &c : badLogs) {
        SCOPED_TRACE(c.name);
        const auto parsed = parseFrameLog(c.log);
        ASSERT_TRUE(std::holds_alternative<LogRefusal>(parsed));
        const LogRefusal &refusal = std::get<LogRefusal>(parsed);
        EXPECT_EQ(refusal.line, c.line) << refusal.reason;
        EXPECT_EQ(refusal.reason.substr(0, c.reason.size()), c.reason);
        EXPECT_EQ(refusalText("run.csv", refusal),
                  "run.csv:" + std::to_string(c.line) + ": " + refusal.reason);
    }
}

} // namespace
} // namespace moiravel::frames
