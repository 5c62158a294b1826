// SPDX-License-Identifier: MIT
// The viewer on one chosen output of two under XWayland, as on a Wayland desktop with two
// monitors: weston's x11 backend with two outputs, mutter with two virtual monitors. What
// --list-outputs says of them, where the picture lands with --output (texel for pixel at that
// output's lower left, the rest black), and that keys reach the viewer there.
//
// What it does not test: a single output (the per-server suites do) or Xorg's outputs.
#include "viewer_fixture.h"

#include "outputs.h"
#include "platform.h"

#include <sstream>
#include <thread>

namespace moiravel::e2e {
namespace {

const std::string xwaylandWarning =
    "moiravel-demo: warning: running under XWayland; the display mode is not switched, the "
    "window goes full screen on the chosen output, texels land one to one on display pixels "
    "only at a desktop scale of 100%, and the refresh counter is XWayland's; the native "
    "Wayland backend (--backend wayland) draws one to one at any scale and reports the "
    "compositor's presentation feedback\n";

class ChosenOutputXwayland : public ViewerTest {
  protected:
    void SetUp() override {
        if (serverKind != xtest::XServerKind::WestonXwaylandTwoOutputs &&
            serverKind != xtest::XServerKind::MutterXwaylandTwoMonitors) {
            GTEST_SKIP() << "these cases need XWayland with two outputs: "
                            "--server=weston_xwayland_two_outputs or "
                            "--server=mutter_xwayland_two_monitors";
        }
        if (viewerIsWindowsBuild()) {
            GTEST_SKIP() << "the Windows build names its outputs after Wine's displays";
        }
        ViewerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        outputs_ = listOutputs(server().displayName().c_str());
        ASSERT_EQ(outputs_.size(), 2u) << "the server does not show two outputs";
    }

    // The output's part of the screen, as it is now.
    Screenshot outputShot(const OutputFacts &output) {
        return client().screenshot().region(output.x, output.y, output.width, output.height);
    }

    // Waits until the viewer's window lies on `output` and shows its overlay in the
    // areaWidth x areaHeight at the output's lower left.
    void waitForFirstFrameOn(const OutputFacts &output, int areaWidth, int areaHeight) {
        auto [placed, onOutput] = client().waitUntil(
            [&](const Screenshot &) {
                return client().windowCovers(output.x, output.y, output.width, output.height);
            },
            startTimeout);
        if (!onOutput) {
            saveForDiagnosis(placed, "not-on-" + output.name);
        }
        ASSERT_TRUE(onOutput) << "the viewer's window did not come to lie on " << output.name
                              << " within the time limit\nstandard error:\n"
                              << viewer().err();
        auto [shot, shows] = client().waitUntil(
            [&](const Screenshot &s) {
                const Screenshot part = s.region(output.x, output.y, output.width, output.height);
                for (int row = part.height - areaHeight; row < part.height; ++row) {
                    for (int column = areaWidth * 45 / 100; column < areaWidth; ++column) {
                        if (part.at(column, row) == Rgb{255, 255, 0}) {
                            return true;
                        }
                    }
                }
                return false;
            },
            startTimeout);
        if (!shows) {
            saveForDiagnosis(shot, "no-first-frame");
        }
        ASSERT_TRUE(shows) << "the viewer showed no overlay on " << output.name
                           << " within the time limit\nstandard error:\n"
                           << viewer().err();
    }

    // Waits for a still output showing `texture` (any, for -1) texel for pixel at the lower
    // left of its areaWidth x areaHeight, and returns that area and the texture seen.
    std::pair<Screenshot, int> steadyImageOn(const OutputFacts &output, int areaWidth,
                                             int areaHeight, int texture) {
        const auto area = [&](const Screenshot &s) {
            return s.region(output.x, output.y + output.height - areaHeight, areaWidth, areaHeight);
        };
        auto [shot, ok] = client().waitUntilSteady(
            [&](const Screenshot &s) {
                auto p = locateImage(area(s), imageWidth_, imageHeight_);
                return p && (texture < 0 || p->texture == texture) && p->shiftLeft == 0 &&
                       p->shiftUp == 0;
            },
            settleTimeout);
        if (!ok) {
            saveForDiagnosis(shot, "not-steady-on-" + output.name);
        }
        EXPECT_TRUE(ok) << "the picture on " << output.name
                        << " did not come to rest with the image at its lower left";
        const Screenshot part = area(shot);
        auto p = locateImage(part, imageWidth_, imageHeight_);
        return {part, p ? p->texture : -1};
    }

    // Under weston's x11 backend, what the output itself shows (its window on the Xvfb) is the
    // part of the screen that XWayland holds for it: the compositor neither moved nor scaled
    // the viewer's window.
    void expectTheOutputShowsIt(const OutputFacts &output) {
        if (serverKind != xtest::XServerKind::WestonXwaylandTwoOutputs) {
            return;
        }
        const xtest::XClient host(server().inputDisplayName());
        const Screenshot wanted = outputShot(output);
        std::optional<Screenshot> shown;
        const auto deadline = std::chrono::steady_clock::now() + settleTimeout;
        for (;; std::this_thread::sleep_for(40ms)) {
            shown = host.windowOfSize(output.width, output.height);
            if ((shown && *shown == wanted) || std::chrono::steady_clock::now() >= deadline) {
                break;
            }
        }
        ASSERT_TRUE(shown.has_value()) << "weston shows no output of " << output.width << "x"
                                       << output.height << " on its Xvfb";
        EXPECT_TRUE(*shown == wanted) << "weston's output " << output.name
                                      << " does not show the viewer's window pixel for pixel";
        if (!(*shown == wanted)) {
            saveForDiagnosis(*shown, "weston-output-" + output.name);
            saveForDiagnosis(wanted, "xwayland-" + output.name);
        }
    }

    void escapeAndExpectCleanExit(int width, int height) {
        client().tapChar(27);
        auto status = viewer().waitFor(exitTimeout);
        ASSERT_TRUE(status.has_value()) << "the viewer did not end after Escape";
        EXPECT_TRUE(status->exited && status->code == 0) << status->describe();
        EXPECT_EQ(viewer().out(), expectedStartupOutput(width, height));
    }

    std::vector<OutputFacts> outputs_;
};

std::string sizeText(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

TEST_F(ChosenOutputXwayland, ListOutputsNamesBothWithTheirGeometry) {
    // The server's two sizes, side by side without overlap.
    const std::set<std::string> sizes = {sizeText(outputs_[0].width, outputs_[0].height),
                                         sizeText(outputs_[1].width, outputs_[1].height)};
    EXPECT_EQ(sizes, (std::set<std::string>{
                         sizeText(screenWidth, screenHeight),
                         sizeText(xtest::secondOutputWidth, xtest::secondOutputHeight)}));
    const OutputFacts &left = outputs_[0].x < outputs_[1].x ? outputs_[0] : outputs_[1];
    const OutputFacts &right = outputs_[0].x < outputs_[1].x ? outputs_[1] : outputs_[0];
    EXPECT_EQ(left.x, 0);
    EXPECT_EQ(right.x, left.width);
    EXPECT_EQ(left.y, 0);
    EXPECT_EQ(right.y, 0);

    writeReadme("1024 x 768\n");
    start({}, {"--list-outputs"});
    auto status = viewer().waitFor(exitTimeout);
    ASSERT_TRUE(status.has_value()) << "the viewer did not end after listing the outputs";
    EXPECT_TRUE(status->exited && status->code == 0) << status->describe();
    std::istringstream lines(viewer().out());
    for (std::size_t i = 0; i < outputs_.size(); ++i) {
        const OutputFacts &o = outputs_[i];
        std::string line;
        ASSERT_TRUE(std::getline(lines, line)) << viewer().out();
        SCOPED_TRACE(line);
        // XWayland names its outputs XWAYLAND0, XWAYLAND1... (Debian 12), or after the
        // compositor's own outputs (Debian 13: weston's X1, mutter's Meta-0).
        EXPECT_FALSE(o.name.empty());
        EXPECT_NE(o.name, outputs_[1 - i].name);
        const std::string start = std::to_string(i) + ": " + o.name + " at " + std::to_string(o.x) +
                                  ",0, " + sizeText(o.width, o.height) + ", mode " +
                                  sizeText(o.width, o.height) + " at ";
        EXPECT_EQ(line.rfind(start, 0), 0u) << "want it to start with: " << start;
        EXPECT_NE(line.find("; 1024x768 modes: "), std::string::npos);
    }
    std::string rest;
    EXPECT_FALSE(std::getline(lines, rest)) << "a line more: " << rest;
}

// Each output in turn, the first by name and the second by index: the window lies on it, the
// picture is texel for pixel at its lower left, keys reach the viewer, Escape ends it.
TEST_F(ChosenOutputXwayland, ThePictureLandsTexelForPixelOnTheChosenOutputAndKeysReachIt) {
    for (std::size_t i = 0; i < outputs_.size(); ++i) {
        const OutputFacts output = outputs_[i];
        const std::string chosen = i == 0 ? output.name : std::to_string(i);
        SCOPED_TRACE("--output " + chosen + " (" + output.name + ", " +
                     sizeText(output.width, output.height) + ")");
        writeReadme(std::to_string(output.width) + " x " + std::to_string(output.height) + "\n");
        writeImages(200, 150);
        start({}, {"--output", chosen});
        waitForFirstFrameOn(output, output.width, output.height);
        if (HasFatalFailure()) {
            return;
        }
        press("m f");
        const auto [still, s] = steadyImageOn(output, output.width, output.height, -1);
        ASSERT_TRUE(s == 0 || s == 1) << "texture " << s;
        EXPECT_TRUE(showsImage(still, s, imageWidth_, imageHeight_, 0));
        press("++");
        const auto [shot, t] = steadyImageOn(output, output.width, output.height, 3);
        EXPECT_EQ(t, 3) << "the keys did not reach the viewer on " << output.name;
        EXPECT_TRUE(showsImage(shot, 3, imageWidth_, imageHeight_, 0));
        expectTheOutputShowsIt(output);
        // mutter takes a request for full screen on one monitor; the window must be full
        // screen there, not merely maximized over it.
        if (serverKind == xtest::XServerKind::MutterXwaylandTwoMonitors) {
            EXPECT_TRUE(
                client().windowOnListedFullScreen(output.x, output.y, output.width, output.height))
                << "mutter does not list the viewer's window as full screen";
        }
        escapeAndExpectCleanExit(output.width, output.height);
        const std::string err = viewer().err();
        EXPECT_NE(err.find(xwaylandWarning), std::string::npos) << err;
        EXPECT_EQ(err.find("not the "), std::string::npos) << err;
    }
}

TEST_F(ChosenOutputXwayland, ASmallerReadmeGetsThePictureOneToOneAtTheOutputsLowerLeft) {
    const OutputFacts output =
        outputs_[0].width == xtest::secondOutputWidth ? outputs_[0] : outputs_[1];
    constexpr int areaWidth = 640;
    constexpr int areaHeight = 480;
    writeReadme("640 x 480\n");
    writeImages(200, 150);
    start({}, {"--output", output.name});
    waitForFirstFrameOn(output, areaWidth, areaHeight);
    if (HasFatalFailure()) {
        return;
    }
    press("m f");
    const auto [area, s] = steadyImageOn(output, areaWidth, areaHeight, -1);
    ASSERT_TRUE(s == 0 || s == 1) << "texture " << s;
    EXPECT_TRUE(showsImage(area, s, imageWidth_, imageHeight_, 0));
    const Screenshot whole = outputShot(output);
    int lit = 0;
    for (int row = 0; row < whole.height; ++row) {
        for (int column = 0; column < whole.width; ++column) {
            const bool inArea = column < areaWidth && row >= whole.height - areaHeight;
            if (!inArea && !(whole.at(column, row) == Rgb{0, 0, 0})) {
                ++lit;
            }
        }
    }
    EXPECT_EQ(lit, 0) << "pixels of " << output.name << " outside its lower-left "
                      << sizeText(areaWidth, areaHeight) << " are not black";
    if (lit != 0) {
        saveForDiagnosis(whole, "outside-the-area");
    }
    expectTheOutputShowsIt(output);
    escapeAndExpectCleanExit(areaWidth, areaHeight);
    EXPECT_NE(viewer().err().find("moiravel-demo: warning: the display is " +
                                  sizeText(output.width, output.height) +
                                  ", not the 640x480 of README.txt; the picture is drawn one to "
                                  "one in the lower left 640x480 and the rest is black\n"),
              std::string::npos)
        << viewer().err();
}

} // namespace
} // namespace moiravel::e2e
