// SPDX-License-Identifier: MIT
#pragma once

#include "ppm_writer.h"
#include "temp_dir.h"
#include "viewer_run.h"
#include "x_client.h"
#include "x_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace moiravel::e2e {

using namespace std::chrono_literals;
using xtest::Rgb;
using xtest::Screenshot;

// Set by main from --server=xvfb|xorg_dummy|weston_xwayland|mutter_xwayland|
// xorg_dummy_two_outputs|weston_xwayland_two_outputs|mutter_xwayland_two_monitors|
// weston_native|weston_native_scale2.
extern xtest::XServerKind serverKind;
// The name of a kind in --server= and in the names of saved screenshots.
const char *serverOption(xtest::XServerKind kind);

// The screen that every test of a run shares.
constexpr int screenWidth = 800;
constexpr int screenHeight = 600;

// Generous bounds: a poll ends as soon as its condition holds.
constexpr auto startTimeout = 60s;
constexpr auto settleTimeout = 10s;
constexpr auto exitTimeout = 30s;

std::string expectedStartupOutput(int width, int height);

// True when the viewer under test is the Windows build run under Wine (through
// tests/windows/wine_viewer.sh), for the few cases where Windows differs by design.
bool viewerIsWindowsBuild();

// Test images. Texture k (file "<k>Image.ppm") has blue channel textureBlue[k]; red and green
// carry the image column and row (modulo 256), so any pixel on the screen tells which
// texture it comes from and which of its texels it is. Black (background) and yellow (the
// overlay) have blue 0, so they can never be mistaken for an image pixel.
constexpr std::uint8_t textureBlue[4] = {40, 90, 140, 190};
Rgb texel(int texture, int x, int y);
xtest::Picture testImage(int texture, int width, int height);

// Where an image shows on the screen, read off one of its pixels.
struct Placement {
    int texture = -1;
    int shiftLeft = 0; // image moved left by this many pixels (offsetX = -shiftLeft)
    int shiftUp = 0;   // image moved up by this many pixels (offsetY = shiftUp)
};
// Scans the lower-left region where the test images live (left of the overlay).
std::optional<Placement> locateImage(const Screenshot &shot, int imageWidth, int imageHeight);
// Every pixel of the lower-left region, left of the overlay, is exactly what the texture
// drawn texel for pixel at the given shift gives, and black around it.
::testing::AssertionResult showsImage(const Screenshot &shot, int texture, int imageWidth,
                                      int imageHeight, int shift);

// One test: a working directory of its own, and the viewer started in it.
class ViewerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    xtest::XServer &server();
    xtest::XClient &client();
    const std::filesystem::path &workDir() const { return work_.path(); }

    void writeReadme(const std::string &text);
    void writeImages(int width, int height, const std::set<int> &skip = {});
    // Starts the viewer with `args`; `env` adds to its environment.
    void start(const std::map<std::string, std::string> &env = {},
               const std::vector<std::string> &args = {});
    xtest::ViewerRun &viewer() { return *viewer_; }

    // Waits until the viewer shows its overlay (its first frames are on the screen), drawn in
    // the README.txt-sized area at the lower left of the screen.
    void waitForFirstFrame(int areaWidth = screenWidth, int areaHeight = screenHeight);
    void press(const std::string &keys); // characters, each tapped in turn
    // Movement off, image back at the start, alternation frozen; waits until the screen
    // stands still with the image at the lower-left corner and returns the texture shown.
    int settleFrozenAtOrigin();
    // Waits for a still screen showing `texture` at the lower-left corner, texel for pixel.
    Screenshot expectSteadyImage(int texture, int shift = 0);
    // Escape: the viewer ends with status 0 and standard output holds the three lines.
    void escapeAndExpectCleanExit();
    void saveForDiagnosis(const Screenshot &shot, const std::string &what);

    int imageWidth_ = 200;
    int imageHeight_ = 150;

  private:
    xtest::TempDir work_{"moiravel-e2e"};
    std::unique_ptr<xtest::ViewerRun> viewer_;
};

} // namespace moiravel::e2e
