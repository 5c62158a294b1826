// Checking the presentation: the viewer's missed-refresh summary on standard error, against
// a preloaded fake display whose refresh counter skips where the test says.
#include "viewer_fixture.h"

#include <cstdlib>
#include <sstream>
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
        writeReadme("800 x 600\n");
        writeImages(16, 16);
        const auto mark = workDir() / "frames-passed";
        // In front of what is preloaded already (the sanitizer runs preload Mesa's driver).
        const char *preloaded = std::getenv("LD_PRELOAD");
        env["LD_PRELOAD"] = std::string(MOIRAVEL_FAKE_REFRESH) +
                            (preloaded != nullptr ? std::string(" ") + preloaded : "");
        env["MOIRAVEL_FAKE_MARK_FILE"] = mark.string();
        env["MOIRAVEL_FAKE_MARK_AT"] = std::to_string(markAt);
        start(env);
        const auto deadline = std::chrono::steady_clock::now() + startTimeout;
        while (!std::filesystem::exists(mark) && viewer().running() &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
        }
        ASSERT_TRUE(std::filesystem::exists(mark))
            << "the viewer did not reach frame " << markAt << "; standard error:\n"
            << viewer().err();
        escapeAndExpectCleanExit();
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

} // namespace
} // namespace moiravel::e2e
