// SPDX-License-Identifier: MIT
// Checking the presentation: the viewer's missed-refresh summary on standard error, against
// a preloaded fake display whose refresh counter skips where the test says.
#include "viewer_fixture.h"

#include "frame_log.h"
#include "frame_stats.h"
#include "report_text.h"

#include <sys/resource.h>

#include <csignal>

#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>
#include <variant>
#include <thread>

namespace moiravel::e2e {
namespace {

class RefreshE2eTest : public ViewerTest {
  protected:
    void SetUp() override {
        if (viewerIsWindowsBuild()) {
            GTEST_SKIP() << "the fake display hooks GLX; the Windows build draws through Wine's "
                            "WGL";
        }
        if (xtest::XServer::nativeWayland(serverKind)) {
            GTEST_SKIP() << "the fake display hooks GLX; the Wayland backend draws through EGL";
        }
        ViewerTest::SetUp();
    }

    // Runs the viewer with the fake display until swap `markAt` begins, then ends it with
    // Escape, expecting a clean exit and an unchanged standard output.
    void runUntilSwap(std::map<std::string, std::string> env, int markAt) {
        startAndWaitForSwap(std::move(env), markAt);
        if (!HasFatalFailure()) {
            escapeAndExpectCleanExit();
        }
    }

    void startAndWaitForSwap(std::map<std::string, std::string> env, int markAt,
                             const std::vector<std::string> &args = {}) {
        writeReadme("800 x 600\n");
        writeImages(16, 16);
        const auto mark = workDir() / "frames-passed";
        // In front of what is preloaded already (the sanitizer runs preload Mesa's driver).
        const char *preloaded = std::getenv("LD_PRELOAD");
        env["LD_PRELOAD"] = std::string(MOIRAVEL_FAKE_REFRESH) +
                            (preloaded != nullptr ? std::string(" ") + preloaded : "");
        env["MOIRAVEL_FAKE_MARK_FILE"] = mark.string();
        env["MOIRAVEL_FAKE_MARK_AT"] = std::to_string(markAt);
        start(env, args);
        const auto deadline = std::chrono::steady_clock::now() + startTimeout;
        while (!std::filesystem::exists(mark) && viewer().running() &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
        }
        ASSERT_TRUE(std::filesystem::exists(mark))
            << "the viewer did not reach frame " << markAt << "; standard error:\n"
            << viewer().err();
    }

    std::vector<std::string> errLines(const std::string &containing) {
        std::vector<std::string> found;
        std::istringstream in(viewer().err());
        for (std::string line; std::getline(in, line);) {
            if (line.find(containing) != std::string::npos) {
                found.push_back(line);
            }
        }
        return found;
    }
};

TEST_F(RefreshE2eTest, CountsExactlyTheRefreshesTheCounterSkipped) {
    // Frame 100 lies among the frames that decide whether swaps are paced; 200 and 201 are
    // neighbours; the counter starts 256 below 2^64, so it wraps around at frame 256.
    runUntilSwap({{"MOIRAVEL_FAKE_SYNC", "oml"},
                  {"MOIRAVEL_FAKE_MSC_START", "0xffffffffffffff00"},
                  {"MOIRAVEL_FAKE_MSC_SKIPS", "100,150,200:2,201,300:3"}},
                 320);
    const auto summary = errLines("frames in");
    ASSERT_EQ(summary.size(), 1u) << viewer().err();
    // Under XWayland the counter is XWayland's own, and the summary says so.
    const std::string source =
        server().rootless() ? "OML as emulated by XWayland; not the display's counter" : "OML";
    EXPECT_NE(summary[0].find("refresh 60.00 Hz (" + source +
                              "); 8 refreshes missed in 5 places, longest 3, first at frame 100"),
              std::string::npos)
        << summary[0];
    EXPECT_EQ(summary[0].find("without the swap interval"), std::string::npos) << summary[0];
    const auto first = errLines("first missed refresh");
    ASSERT_EQ(first.size(), 1u) << viewer().err();
    EXPECT_EQ(first[0], "moiravel-demo: first missed refresh at frame 100; 1 refresh missed "
                        "so far");
}

TEST_F(RefreshE2eTest, NoSwapControlAndNoCounterCannotBeJudged) {
    runUntilSwap({{"MOIRAVEL_FAKE_SYNC", "none"}}, 200);
    const auto summary = errLines("frames in");
    ASSERT_EQ(summary.size(), 1u) << viewer().err();
    // The refresh rate still comes from the display mode where the server has a mode line:
    // the dummy driver's is made for 60 Hz, XWayland's follows weston's output (59.86 Hz
    // headless), Xvfb's has no pixel clock.
    const char *rate = serverKind == xtest::XServerKind::XorgDummy
                           ? "refresh 60.00 Hz (display mode); "
                       : serverKind == xtest::XServerKind::Xvfb ? "refresh rate unknown; "
                                                                : " Hz (display mode); ";
    EXPECT_NE(summary[0].find(std::string(rate) +
                              "missed refreshes cannot be judged: the swap interval cannot be "
                              "set here"),
              std::string::npos)
        << summary[0];
    EXPECT_TRUE(errLines("missed so far").empty()) << viewer().err();
}

// The frame log of a run whose counter skipped where the test said, read back as the report
// tool reads it: a row for every frame, the misses in the skipped frames' rows, the keys in
// the rows after them, and the same count as the summary's.
TEST_F(RefreshE2eTest, TheFrameLogHoldsEveryFrameItsMissesAndItsKeys) {
    if (serverKind != xtest::XServerKind::Xvfb) {
        GTEST_SKIP() << "the frame log is checked on Xvfb alone";
    }
    startAndWaitForSwap(
        {{"MOIRAVEL_FAKE_SYNC", "oml"}, {"MOIRAVEL_FAKE_MSC_SKIPS", "100,150,200:2,201,300:3"}},
        320, {"--frame-log", "frames.csv"});
    ASSERT_FALSE(HasFatalFailure());
    press("+f");
    escapeAndExpectCleanExit();
    const auto summary = errLines("frames in");
    ASSERT_EQ(summary.size(), 1u) << viewer().err();
    EXPECT_NE(summary[0].find("8 refreshes missed in 5 places, longest 3, first at frame 100; "
                              "frame log frames.csv"),
              std::string::npos)
        << summary[0];
    EXPECT_EQ(errLines("frame interval SD").size(), 1u) << viewer().err();
    EXPECT_FALSE(std::filesystem::exists(workDir() / "frames.csv.incomplete"));

    const auto parsed = frames::parseFrameLog(xtest::readTextFile(workDir() / "frames.csv"));
    ASSERT_TRUE(std::holds_alternative<frames::FrameLog>(parsed))
        << std::get<frames::LogRefusal>(parsed).line << ": "
        << std::get<frames::LogRefusal>(parsed).reason;
    const frames::FrameLog &log = std::get<frames::FrameLog>(parsed);
    ASSERT_GT(log.rows.size(), 320u);
    EXPECT_NE(summary[0].find(std::to_string(log.rows.size()) + " frames in"), std::string::npos);
    EXPECT_EQ(log.trailer.missed, 8u);
    const std::map<std::uint64_t, std::uint64_t> skipped = {
        {100, 1}, {150, 1}, {200, 2}, {201, 1}, {300, 3}};
    std::optional<std::size_t> plusAt;
    std::optional<std::size_t> frozenAt;
    for (std::size_t i = 0; i < log.rows.size(); ++i) {
        const frames::FrameRow &row = log.rows[i];
        const auto miss = skipped.find(row.frame);
        if (row.frame > 1) {
            EXPECT_EQ(row.missed.value_or(99), miss != skipped.end() ? miss->second : 0)
                << "frame " << row.frame;
            EXPECT_EQ(row.refreshes.value_or(0), miss != skipped.end() ? miss->second + 1 : 1)
                << "frame " << row.frame;
        }
        if (row.key.find("plus") != std::string::npos) {
            plusAt = i;
        }
        if (row.key.find('f') != std::string::npos) {
            frozenAt = i;
        }
        EXPECT_EQ(row.mode, plusAt ? 1 : 0) << "frame " << row.frame;
        if (frozenAt && i > *frozenAt) {
            EXPECT_EQ(row.subimage, log.rows[*frozenAt].subimage) << "frame " << row.frame;
        }
    }
    EXPECT_TRUE(plusAt && frozenAt) << "no row names the keys pressed";
    const std::string report = frames::reportText("frames.csv", log, frames::frameStats(log));
    EXPECT_NE(report.find("missed refreshes: 8 in 5 places, longest 3, first at frame 100"),
              std::string::npos)
        << report;
}

// A file size limit stops the log at its first write, in one line, and the run goes on; a
// run ended by SIGTERM keeps the rows so far, marked as interrupted.
TEST_F(RefreshE2eTest, AWriteErrorStopsTheLogAndSigtermKeepsTheRowsSoFar) {
    if (serverKind != xtest::XServerKind::Xvfb) {
        GTEST_SKIP() << "the frame log is checked on Xvfb alone";
    }
    rlimit was{};
    getrlimit(RLIMIT_FSIZE, &was);
    rlimit small = was;
    small.rlim_cur = 64 * 1024; // less than one block of rows
    setrlimit(RLIMIT_FSIZE, &small);
    startAndWaitForSwap({{"MOIRAVEL_FAKE_SYNC", "oml"}}, 1, {"--frame-log", "frames.csv"});
    setrlimit(RLIMIT_FSIZE, &was);
    ASSERT_FALSE(HasFatalFailure());
    // The first rows go to the file once two blocks of them are full.
    const std::string stopped =
        "cannot write the frame log frames.csv: File too large; the log stops, the run goes on";
    const auto deadline = std::chrono::steady_clock::now() + 2 * startTimeout;
    while (errLines(stopped).empty() && viewer().running() &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(errLines(stopped).size(), 1u) << viewer().err();
    EXPECT_TRUE(viewer().running()) << "the write error ended the run";
    escapeAndExpectCleanExit();
    EXPECT_NE(viewer().err().find("; frame log not written: File too large\n"), std::string::npos)
        << viewer().err();
    EXPECT_FALSE(std::filesystem::exists(workDir() / "frames.csv"));
    EXPECT_FALSE(std::filesystem::exists(workDir() / "frames.csv.incomplete"));

    std::filesystem::remove(workDir() / "frames-passed");
    startAndWaitForSwap({{"MOIRAVEL_FAKE_SYNC", "oml"}}, 300, {"--frame-log", "frames.csv"});
    ASSERT_FALSE(HasFatalFailure());
    viewer().process().signal(SIGTERM);
    const auto ended = viewer().waitFor(exitTimeout);
    ASSERT_TRUE(ended.has_value()) << "the viewer did not end on SIGTERM";
    EXPECT_TRUE(!ended->exited && ended->signal == SIGTERM) << ended->describe();
    EXPECT_EQ(errLines("moiravel-demo: interrupted; frame log frames.csv").size(), 1u)
        << viewer().err();
    EXPECT_FALSE(std::filesystem::exists(workDir() / "frames.csv.incomplete"));
    const auto parsed = frames::parseFrameLog(xtest::readTextFile(workDir() / "frames.csv"));
    ASSERT_TRUE(std::holds_alternative<frames::FrameLog>(parsed))
        << std::get<frames::LogRefusal>(parsed).line << ": "
        << std::get<frames::LogRefusal>(parsed).reason;
    const frames::FrameLog &log = std::get<frames::FrameLog>(parsed);
    EXPECT_EQ(log.trailer.end, "interrupted");
    EXPECT_GE(log.rows.size(), 299u);
}

} // namespace
} // namespace moiravel::e2e
