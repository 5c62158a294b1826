// SPDX-License-Identifier: MIT
#include "viewer_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace moiravel::e2e {

xtest::XServerKind serverKind = xtest::XServerKind::Xvfb;

namespace {

std::unique_ptr<xtest::XServer> sharedServer;
std::unique_ptr<xtest::XClient> sharedClient;
std::string serverError;
std::string serverSkipReason;

std::string viewerBinary() {
    if (const char *override = std::getenv("MOIRAVEL_DEMO_BINARY")) {
        return override;
    }
    return MOIRAVEL_DEMO_BINARY;
}

bool isImagePixel(Rgb c) {
    for (std::uint8_t blue : textureBlue) {
        if (c.b == blue) {
            return true;
        }
    }
    return false;
}

// The overlay's text; the images are never this colour.
constexpr Rgb overlayInk{255, 255, 0};

bool anyOverlayInk(const Screenshot &s) {
    for (int row = 0; row < s.height; ++row) {
        for (int column = 0; column < s.width; ++column) {
            if (s.at(column, row) == overlayInk) {
                return true;
            }
        }
    }
    return false;
}

int textureOf(Rgb c) {
    for (int k = 0; k < 4; ++k) {
        if (c.b == textureBlue[k]) {
            return k;
        }
    }
    return -1;
}

} // namespace

const char *serverOption(xtest::XServerKind kind) {
    switch (kind) {
    case xtest::XServerKind::Xvfb:
        return "xvfb";
    case xtest::XServerKind::XorgDummy:
        return "xorg_dummy";
    case xtest::XServerKind::WestonXwayland:
        return "weston_xwayland";
    case xtest::XServerKind::MutterXwayland:
        return "mutter_xwayland";
    case xtest::XServerKind::XorgDummyTwoOutputs:
        return "xorg_dummy_two_outputs";
    case xtest::XServerKind::WestonXwaylandTwoOutputs:
        return "weston_xwayland_two_outputs";
    case xtest::XServerKind::MutterXwaylandTwoMonitors:
        return "mutter_xwayland_two_monitors";
    case xtest::XServerKind::WestonNative:
        return "weston_native";
    case xtest::XServerKind::WestonNativeScaleTwo:
        return "weston_native_scale2";
    }
    return "unknown";
}

void releaseSharedServer() {
    sharedClient.reset();
    sharedServer.reset();
}

bool viewerIsWindowsBuild() {
    return std::getenv("MOIRAVEL_DEMO_WINDOWS_EXE") != nullptr;
}

std::string expectedStartupOutput(int width, int height) {
    return "The first line of README.TXT defines the resolution: width x height\n"
           "The application will currently use a resolution of: " +
           std::to_string(width) + " x " + std::to_string(height) +
           "\n\n\n"
           "Loading images, please wait ...\n";
}

Rgb texel(int texture, int x, int y) {
    return {static_cast<std::uint8_t>(x & 255), static_cast<std::uint8_t>(y & 255),
            textureBlue[texture]};
}

xtest::Picture testImage(int texture, int width, int height) {
    return xtest::Picture::generate(width, height,
                                    [&](int x, int y) { return texel(texture, x, y); });
}

std::optional<Placement> locateImage(const Screenshot &shot, int imageWidth, int imageHeight) {
    (void)imageWidth;
    for (int row = shot.height - 1; row >= shot.height / 2; --row) {
        for (int column = 0; column < shot.width; ++column) {
            Rgb c = shot.at(column, row);
            if (isImagePixel(c)) {
                Placement p;
                p.texture = textureOf(c);
                p.shiftLeft = c.r - column;
                p.shiftUp = shot.height - imageHeight + c.g - row;
                return p;
            }
        }
    }
    return std::nullopt;
}

::testing::AssertionResult showsImage(const Screenshot &shot, int texture, int imageWidth,
                                      int imageHeight, int shift) {
    // The bottom half of the screen holds no text (the overlay's lowest line is above the
    // middle), so every pixel there belongs to the image or to the black background.
    const int top = shot.height - imageHeight - shift; // screen row of image row 0
    int mismatches = 0;
    std::string detail;
    for (int row = shot.height / 2; row < shot.height; ++row) {
        for (int column = 0; column < shot.width; ++column) {
            const int x = column + shift;
            const int y = row - top;
            const bool inside = x >= 0 && x < imageWidth && y >= 0 && y < imageHeight;
            const Rgb want = inside ? texel(texture, x, y) : Rgb{0, 0, 0};
            const Rgb got = shot.at(column, row);
            if (!(got == want)) {
                if (++mismatches <= 5) {
                    detail +=
                        "\n  screen column " + std::to_string(column) + ", row " +
                        std::to_string(row) + " (from the top): " + xtest::toString(got) +
                        ", want " + xtest::toString(want) +
                        (inside ? " = texel (" + std::to_string(x) + ", " + std::to_string(y) +
                                      ") of texture " + std::to_string(texture)
                                : std::string(" (background)"));
                }
            }
        }
    }
    if (mismatches == 0) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << mismatches << " pixels differ from texture " << texture << " drawn texel for pixel "
           << "at the lower-left corner moved " << shift << " left and up:" << detail;
}

void ViewerTest::SetUp() {
    std::string why = xtest::XServer::unavailableReason(serverKind);
    if (!why.empty()) {
        GTEST_SKIP() << why;
    }
    if (!serverSkipReason.empty()) {
        GTEST_SKIP() << serverSkipReason;
    }
    if (!serverError.empty()) {
        FAIL() << serverError;
    }
    if (!sharedServer) {
        try {
            sharedServer = std::make_unique<xtest::XServer>(serverKind, screenWidth, screenHeight);
            sharedClient = std::make_unique<xtest::XClient>(sharedServer->displayName(),
                                                            sharedServer->rootless(),
                                                            sharedServer->inputDisplayName());
        } catch (const std::exception &e) {
            sharedServer.reset();
            if (xtest::XServer::startFailureSkips(serverKind)) {
                serverSkipReason = std::string("cannot start ") + xtest::toString(serverKind) +
                                   " here, so the suite is skipped: " + e.what();
                std::cerr << serverSkipReason << "\n";
                GTEST_SKIP() << serverSkipReason;
            }
            serverError = e.what();
            FAIL() << serverError;
        }
    }
    // With two outputs the screen holds both; the first is screenWidth x screenHeight.
    if (!xtest::XServer::hasTwoOutputs(serverKind)) {
        ASSERT_EQ(client().width(), screenWidth);
        ASSERT_EQ(client().height(), screenHeight);
    }
    // Keyboard focus follows the pointer when no window manager runs.
    client().focusFollowsPointer();
    client().movePointer(screenWidth / 4, screenHeight * 3 / 4);
}

void ViewerTest::TearDown() {
    if (!viewer_) {
        return;
    }
    if (HasFailure()) {
        if (sharedClient) {
            saveForDiagnosis(client().screenshot(), "at-end");
        }
        std::cerr << "viewer standard error:\n" << viewer_->err() << "\n";
    }
    viewer_.reset(); // kills the viewer if it still runs
}

xtest::XServer &ViewerTest::server() {
    return *sharedServer;
}
xtest::XClient &ViewerTest::client() {
    return *sharedClient;
}

void ViewerTest::writeReadme(const std::string &text) {
    xtest::writeTextFile(work_ / "README.txt", text);
}

void ViewerTest::writeImages(int width, int height, const std::set<int> &skip) {
    imageWidth_ = width;
    imageHeight_ = height;
    for (int k = 0; k < 4; ++k) {
        if (skip.count(k) == 0) {
            xtest::writePlainPpm(work_ / (std::to_string(k) + "Image.ppm"),
                                 testImage(k, width, height));
        }
    }
}

void ViewerTest::start(const std::map<std::string, std::string> &env,
                       const std::vector<std::string> &args) {
    std::map<std::string, std::string> viewerEnv = env;
    if (!server().waylandDisplay().empty()) {
        // The viewer as weston's own client: weston's output window always covers the Xvfb.
        // The previous viewer's last picture stays on it a little after its process ended
        // (weston fades a closed window out); the first frame looked for below would be
        // found in it, and keys typed then reach no client, as weston gives the keyboard to
        // the new viewer only when its surface maps. So the new viewer starts once the
        // screen shows none of the overlay's ink.
        auto [leftover, clear] =
            client().waitUntil([](const Screenshot &s) { return !anyOverlayInk(s); }, startTimeout);
        if (!clear) {
            saveForDiagnosis(leftover, "picture-left-over");
        }
        EXPECT_TRUE(clear) << "the picture of an earlier viewer is still on the screen";
        viewerEnv["WAYLAND_DISPLAY"] = server().waylandDisplay();
        viewerEnv["XDG_RUNTIME_DIR"] = server().runtimeDir();
    } else {
        // The screen clear of the previous test's viewer (its window and the frame that held
        // it), so that nothing of its picture is taken for the new one's. The compositor's own
        // windows stay.
        auto [leftover, clear] = client().waitUntil(
            [this](const Screenshot &) { return !client().anyWindowShown(); }, startTimeout);
        if (!clear) {
            saveForDiagnosis(leftover, "window-left-over");
        }
        EXPECT_TRUE(clear) << "a window of an earlier program is still on the screen";
    }
    if (!server().authorityFile().empty()) {
        viewerEnv["XAUTHORITY"] = server().authorityFile();
    }
    viewer_ = std::make_unique<xtest::ViewerRun>(viewerBinary(), work_.path(),
                                                 server().displayName(), viewerEnv, args);
}

void ViewerTest::waitForFirstFrame(int areaWidth, int areaHeight) {
    // First the window full screen: a window manager (XWayland's) shows it framed and at
    // another place until it has carried out the full-screen request. Then the overlay: yellow
    // ink in the part of the README.txt-sized area that the screen shows, from 45 % of the
    // area's width on (the overlay's lines start there; the images are never yellow).
    auto [framed, fullScreen] = client().waitUntil(
        [this](const Screenshot &) { return client().windowCoversScreen(); }, startTimeout);
    auto overlayShows = [areaWidth, areaHeight](const Screenshot &s) {
        const int right = std::min(areaWidth, s.width);
        for (int row = std::max(0, s.height - areaHeight); row < s.height; ++row) {
            for (int column = areaWidth * 45 / 100; column < right; ++column) {
                if (s.at(column, row) == overlayInk) {
                    return true;
                }
            }
        }
        return false;
    };
    auto [shot, ok] = fullScreen ? client().waitUntil(overlayShows, startTimeout)
                                 : std::pair{std::move(framed), false};
    if (!ok) {
        saveForDiagnosis(shot, "no-first-frame");
    }
    ASSERT_TRUE(fullScreen) << "the viewer's window did not cover the screen within the time limit";
    ASSERT_TRUE(ok) << "the viewer showed no overlay within the time limit; "
                    << (viewer_->running() ? "it still runs" : "it has ended")
                    << "\nstandard output:\n"
                    << viewer_->out() << "\nstandard error:\n"
                    << viewer_->err();
}

void ViewerTest::press(const std::string &keys) {
    for (char c : keys) {
        client().tapChar(c);
        std::this_thread::sleep_for(20ms);
    }
}

int ViewerTest::settleFrozenAtOrigin() {
    press("m f");
    auto [shot, ok] = client().waitUntilSteady(
        [this](const Screenshot &s) {
            auto p = locateImage(s, imageWidth_, imageHeight_);
            return p && p->shiftLeft == 0 && p->shiftUp == 0;
        },
        settleTimeout);
    if (!ok) {
        saveForDiagnosis(shot, "not-settled");
    }
    EXPECT_TRUE(ok) << "after \"m\", Space and \"f\" the screen did not come to rest with the "
                       "image at the lower-left corner";
    auto p = locateImage(shot, imageWidth_, imageHeight_);
    if (!p) {
        ADD_FAILURE() << "no image pixel on the screen";
        return -1;
    }
    EXPECT_TRUE(showsImage(shot, p->texture, imageWidth_, imageHeight_, 0));
    return p->texture;
}

Screenshot ViewerTest::expectSteadyImage(int texture, int shift) {
    auto [shot, ok] = client().waitUntilSteady(
        [&](const Screenshot &s) {
            auto p = locateImage(s, imageWidth_, imageHeight_);
            return p && p->texture == texture && p->shiftLeft == shift && p->shiftUp == shift;
        },
        settleTimeout);
    if (!ok) {
        saveForDiagnosis(shot, "want-texture-" + std::to_string(texture));
    }
    auto p = locateImage(shot, imageWidth_, imageHeight_);
    EXPECT_TRUE(ok) << "the screen did not come to rest showing texture " << texture << " at shift "
                    << shift << "; last seen: "
                    << (p ? "texture " + std::to_string(p->texture) + " shifted " +
                                std::to_string(p->shiftLeft) + " left, " +
                                std::to_string(p->shiftUp) + " up"
                          : std::string("no image"));
    if (ok) {
        EXPECT_TRUE(showsImage(shot, texture, imageWidth_, imageHeight_, shift));
    }
    return shot;
}

void ViewerTest::escapeAndExpectCleanExit() {
    client().tapChar(27);
    auto status = viewer_->waitFor(exitTimeout);
    ASSERT_TRUE(status.has_value()) << "the viewer did not end after Escape";
    EXPECT_TRUE(status->exited && status->code == 0) << status->describe();
    EXPECT_EQ(viewer_->out(), expectedStartupOutput(screenWidth, screenHeight));
}

void ViewerTest::saveForDiagnosis(const Screenshot &shot, const std::string &what) {
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("e2e-") + serverOption(serverKind) + "-" +
                       (info ? std::string(info->test_suite_name()) + "." + info->name() : "") +
                       "-" + what + ".ppm";
    shot.save(std::filesystem::current_path() / name);
    std::cerr << "screenshot saved: " << (std::filesystem::current_path() / name) << "\n";
}

} // namespace moiravel::e2e
