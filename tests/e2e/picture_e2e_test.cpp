// SPDX-License-Identifier: MIT
// What the viewer draws: the textures texel for pixel, the alternation of the two subimages,
// the modes, the movement, and the keys that must do nothing.
#include "viewer_fixture.h"

#include <cstdlib>
#include <sstream>
#include <thread>

namespace moiravel::e2e {
namespace {

class PictureE2eTest : public ViewerTest {
  protected:
    void startWithImages(int width, int height) {
        writeReadme("800 x 600\n");
        writeImages(width, height);
        start();
        waitForFirstFrame();
    }
};

TEST_F(PictureE2eTest, ShowsTheImageTexelForPixelAtTheLowerLeftCorner) {
    startWithImages(200, 150);
    const int shown = settleFrozenAtOrigin();
    EXPECT_TRUE(shown == 0 || shown == 1) << "mode 0 shows texture " << shown;
    escapeAndExpectCleanExit();
}

TEST_F(PictureE2eTest, AnImageWhoseWidthIsNoMultipleOfFourShowsItsRowsCorrectly) {
    startWithImages(642, 41);
    settleFrozenAtOrigin();
    escapeAndExpectCleanExit();
}

TEST_F(PictureE2eTest, FreezeAndStepAlternateTheTwoTexturesOfTheMode) {
    startWithImages(200, 150);
    const int first = settleFrozenAtOrigin();
    ASSERT_TRUE(first == 0 || first == 1);
    const int other = 1 - first;
    press("s");
    expectSteadyImage(other);
    press("s");
    expectSteadyImage(first);
    press("s");
    expectSteadyImage(other);

    // Running again, the screen shows only mode 0's two textures.
    press("f");
    std::set<int> seen;
    for (int i = 0; i < 30; ++i) {
        if (auto p = locateImage(client().screenshot(), imageWidth_, imageHeight_)) {
            seen.insert(p->texture);
            EXPECT_EQ(p->shiftLeft, 0);
            EXPECT_EQ(p->shiftUp, 0);
        }
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(seen.count(2) == 0 && seen.count(3) == 0) << "mode 0 showed textures 2 or 3";
    escapeAndExpectCleanExit();
}

TEST_F(PictureE2eTest, PlusAndMinusGoThroughTheThreeModesAndBack) {
    startWithImages(200, 150);
    const int s = settleFrozenAtOrigin();
    ASSERT_TRUE(s == 0 || s == 1);
    press("+");
    expectSteadyImage(2 + s); // mode 1: textures 2 and 3
    press("+");
    expectSteadyImage(3); // mode 2: texture 3 only, whichever subimage
    press("s");
    expectSteadyImage(3);
    press("s");
    expectSteadyImage(3);
    press("+");
    expectSteadyImage(s); // past the last mode: back to mode 0
    press("-");
    expectSteadyImage(3); // below mode 0: mode 2
    press("-");
    expectSteadyImage(2 + s);
    press("-");
    expectSteadyImage(s);
    press("+++");
    expectSteadyImage(s);
    escapeAndExpectCleanExit();
}

TEST_F(PictureE2eTest, CapitalLettersAndOtherKeysChangeNothing) {
    startWithImages(200, 150);
    const int s = settleFrozenAtOrigin();
    ASSERT_TRUE(s == 0 || s == 1);
    const Screenshot before = client().screenshot();
    for (const char *key : {"M", "F", "S", "V", "P", "equal", "asterisk", "1", "Tab"}) {
        client().tapKey(key);
    }
    // Keys are handled in order: once "s" shows, the keys before it have been handled.
    // Had "M" moved, "F" unfrozen or "S" stepped, the screen would not rest at this state.
    press("s");
    expectSteadyImage(1 - s);
    press("s");
    Screenshot after = expectSteadyImage(s);
    EXPECT_TRUE(after == before) << "the screen differs from before the keys";
    escapeAndExpectCleanExit();
}

TEST_F(PictureE2eTest, SwapIntervalKeyKeepsTheViewerRunning) {
    startWithImages(200, 150);
    const int s = settleFrozenAtOrigin();
    press("v");
    press("s");
    expectSteadyImage(1 - s);
    press("v");
    press("s");
    expectSteadyImage(s);
    escapeAndExpectCleanExit();
}

// The swap intervals that Wine's OpenGL trace shows reaching the driver, in order: the
// number in parentheses on each line of the trace:wgl channel that names wglSwapIntervalEXT,
// such as "0024:trace:wgl:X11DRV_wglSwapIntervalEXT (1)".
std::vector<int> tracedSwapIntervals(const std::string &trace) {
    std::vector<int> intervals;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        const auto call = line.find("wglSwapIntervalEXT");
        const auto open = line.find('(', call);
        if (line.find(":trace:wgl:") != std::string::npos && call != std::string::npos &&
            open != std::string::npos) {
            intervals.push_back(std::atoi(line.c_str() + open + 1));
        }
    }
    return intervals;
}

TEST_F(PictureE2eTest, SwapIntervalRequestsReachTheWglDriver) {
    if (!viewerIsWindowsBuild()) {
        GTEST_SKIP() << "Windows build only: the requests are seen in Wine's OpenGL trace";
    }
    // Start-up asks for 1, 0, 1; each "v" then flips the interval: 0, then 1.
    startWithImages(200, 150);
    settleFrozenAtOrigin();
    press("v");
    press("s");
    press("v");
    press("s");
    escapeAndExpectCleanExit();
    EXPECT_EQ(tracedSwapIntervals(viewer().err()), (std::vector<int>{1, 0, 1, 0, 1}))
        << "standard error:\n"
        << viewer().err();
}

TEST_F(PictureE2eTest, MovementShiftsTheImageExactlyDiagonally) {
    startWithImages(200, 150);
    const int shown = settleFrozenAtOrigin();
    ASSERT_GE(shown, 0);
    // Frames come back to back, so how far the image gets while the movement is on depends on
    // the machine's speed. Try spans until the image has moved but is still on the screen.
    auto span = 40ms;
    bool measured = false;
    for (int attempt = 0; attempt < 8 && !measured; ++attempt) {
        client().tapChar('m');
        std::this_thread::sleep_for(span);
        client().tapChar('m');
        auto [shot, steady] =
            client().waitUntilSteady([](const Screenshot &) { return true; }, settleTimeout);
        ASSERT_TRUE(steady) << "the screen does not rest after the movement was switched off";
        auto p = locateImage(shot, imageWidth_, imageHeight_);
        if (!p || p->shiftUp > imageHeight_ - 1 || p->shiftLeft > imageWidth_ - 1) {
            span = span / 3; // moved too far: back to the start, shorter span
            press(" ");
            expectSteadyImage(shown, 0);
            continue;
        }
        if (p->shiftLeft == 0 && p->shiftUp == 0) {
            span *= 3;
            continue;
        }
        measured = true;
        EXPECT_EQ(p->texture, shown) << "the frozen subimage changed while moving";
        EXPECT_EQ(p->shiftLeft, p->shiftUp) << "the move is not diagonal";
        EXPECT_GT(p->shiftLeft, 0) << "the image moved right";
        EXPECT_TRUE(showsImage(shot, shown, imageWidth_, imageHeight_, p->shiftLeft));
        // Space puts it back at the corner.
        press(" ");
        expectSteadyImage(shown, 0);
    }
    EXPECT_TRUE(measured) << "could not catch the image moved but still on the screen";
    escapeAndExpectCleanExit();
}

} // namespace
} // namespace moiravel::e2e
