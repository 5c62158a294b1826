// SPDX-License-Identifier: MIT
// End to end: the tool's files, shown by the real viewer on Xvfb, texel for display pixel in
// each of the three modes.
#include "make_images.h"

#include "child_process.h"
#include "temp_dir.h"
#include "viewer_run.h"
#include "x_client.h"
#include "x_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace moiravel::images {
namespace {

using namespace std::chrono_literals;
using xtest::Screenshot;

constexpr int screenWidth = 800;
constexpr int screenHeight = 600;

// The lower half of the screen (the overlay's text stays in the upper half) shows the image
// texel for pixel: the image is as large as the screen and sits at its lower-left corner.
bool showsLowerHalfOf(const Screenshot &shot, const Image8 &image) {
    if (shot.width != image.width || shot.height != image.height) {
        return false;
    }
    const std::size_t from = static_cast<std::size_t>(shot.height / 2) * shot.width * 3;
    return std::equal(shot.rgb.begin() + static_cast<std::ptrdiff_t>(from), shot.rgb.end(),
                      image.samples.begin() + static_cast<std::ptrdiff_t>(from));
}

TEST(MakeImagesOnTheViewer, TheViewerShowsTheToolsFilesInAllThreeModes) {
    const std::string why = xtest::XServer::unavailableReason(xtest::XServerKind::Xvfb);
    if (!why.empty()) {
        GTEST_SKIP() << why;
    }
    xtest::TempDir work("moiravel-images-e2e");
    {
        xtest::SpawnOptions options;
        options.argv = {MOIRAVEL_MAKE_IMAGES_BINARY, "--screen",
                        std::to_string(screenWidth) + "x" + std::to_string(screenHeight), "--out",
                        work.path().string()};
        options.stdoutFile = work / "tool.out";
        options.stderrFile = work / "tool.err";
        xtest::ChildProcess tool(options);
        const auto status = tool.waitFor(180s);
        ASSERT_TRUE(status.has_value()) << "moiravel-make-images did not finish";
        ASSERT_TRUE(status->exited && status->code == 0) << status->describe() << "\n"
                                                         << xtest::readTextFile(work / "tool.err");
    }
    Image8 images[imageCount];
    for (int i = 0; i < imageCount; ++i) {
        images[i] = toImage8(readPicture((work / imageFileName(i)).string()));
    }

    xtest::XServer server(xtest::XServerKind::Xvfb, screenWidth, screenHeight);
    xtest::XClient client(server.displayName());
    client.movePointer(screenWidth / 4, screenHeight * 3 / 4);
    xtest::ViewerRun viewer(MOIRAVEL_DEMO_BINARY, work.path(), server.displayName());

    const auto showing = [&](std::initializer_list<int> choices) {
        return [&images, choices](const Screenshot &shot) {
            for (int i : choices) {
                if (showsLowerHalfOf(shot, images[i])) {
                    return true;
                }
            }
            return false;
        };
    };
    const auto whichOf = [&](const Screenshot &shot, std::initializer_list<int> choices) {
        for (int i : choices) {
            if (showsLowerHalfOf(shot, images[i])) {
                return i;
            }
        }
        return -1;
    };
    const auto press = [&](const std::string &keys) {
        for (char c : keys) {
            client.tapChar(c);
            std::this_thread::sleep_for(20ms);
        }
    };

    // The first frames: anything but a black screen.
    auto [first, started] = client.waitUntil(
        [](const Screenshot &shot) {
            return std::any_of(shot.rgb.begin(), shot.rgb.end(), [](auto s) { return s != 0; });
        },
        60s);
    ASSERT_TRUE(started) << "the viewer drew nothing; standard error:\n" << viewer.err();
    std::this_thread::sleep_for(500ms);

    // Movement off, back to the start, alternation frozen.
    press("m f");
    auto [mode0, settled0] = client.waitUntilSteady(showing({0, 1}), 20s);
    ASSERT_TRUE(settled0) << "mode 0 did not come to rest on file 0 or 1";
    const int subimage = whichOf(mode0, {0, 1});

    press("+");
    auto [mode1, settled1] = client.waitUntilSteady(showing({2 + subimage}), 20s);
    EXPECT_TRUE(settled1) << "mode 1 did not show file " << 2 + subimage;

    press("+");
    auto [mode2, settled2] = client.waitUntilSteady(showing({3}), 20s);
    EXPECT_TRUE(settled2) << "mode 2 did not show file 3";

    client.tapChar(27);
    const auto status = viewer.waitFor(30s);
    ASSERT_TRUE(status.has_value()) << "the viewer did not end after Escape";
    EXPECT_TRUE(status->exited && status->code == 0) << status->describe();
    EXPECT_NE(viewer.out().find("resolution of: 800 x 600"), std::string::npos) << viewer.out();
}

} // namespace
} // namespace moiravel::images
