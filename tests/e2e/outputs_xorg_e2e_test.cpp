// SPDX-License-Identifier: MIT
// The viewer on one output of two: Xorg with the dummy driver, DUMMY0 at 1920x1080 and DUMMY1
// right of it at 1280x1024. The chosen output alone switches to README.txt's size, the
// picture lands one to one at its lower left, and its mode comes back however the run ends;
// a run killed outright leaves a record that --restore-display mends.
//
// The modes are read back through RandR: what the viewer says of them proves nothing. Runs
// with --server=xorg_dummy_two_outputs only; its own server, apart from the other suites'.
#include "viewer_fixture.h"

#include <csignal>
#include <iostream>
#include <thread>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace moiravel::e2e {
namespace {

constexpr int readmeWidth = 1024;
constexpr int readmeHeight = 768;
const std::string restoreRecordName = "moiravel-display-restore";

// What RandR says an output shows.
struct Shown {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    RRMode mode = 0;
    double hz = 0;
    friend bool operator==(const Shown &, const Shown &) = default;
};
std::ostream &operator<<(std::ostream &out, const Shown &s) {
    return out << s.width << "x" << s.height << "+" << s.x << "+" << s.y << " mode " << s.mode
               << " at " << s.hz << " Hz";
}

// Every output that shows a mode, by name.
std::map<std::string, Shown> shownOutputs(Display *display) {
    std::map<std::string, Shown> shown;
    XRRScreenResources *resources =
        XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (resources == nullptr) {
        return shown;
    }
    for (int i = 0; i < resources->noutput; ++i) {
        XRROutputInfo *output = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        XRRCrtcInfo *crtc = output != nullptr && output->crtc != 0
                                ? XRRGetCrtcInfo(display, resources, output->crtc)
                                : nullptr;
        if (crtc != nullptr && crtc->mode != 0) {
            Shown s{crtc->x, crtc->y, static_cast<int>(crtc->width), static_cast<int>(crtc->height),
                    crtc->mode};
            for (int m = 0; m < resources->nmode; ++m) {
                const XRRModeInfo &mode = resources->modes[m];
                if (mode.id == crtc->mode && mode.hTotal != 0 && mode.vTotal != 0) {
                    s.hz = static_cast<double>(mode.dotClock) / mode.hTotal / mode.vTotal;
                }
            }
            shown[std::string(output->name, static_cast<std::size_t>(output->nameLen))] = s;
        }
        if (crtc != nullptr) {
            XRRFreeCrtcInfo(crtc);
        }
        if (output != nullptr) {
            XRRFreeOutputInfo(output);
        }
    }
    XRRFreeScreenResources(resources);
    return shown;
}

std::unique_ptr<xtest::XServer> twoOutputServer;
std::unique_ptr<xtest::XClient> twoOutputClient;
std::string twoOutputError;

class ChosenOutputXorg : public ::testing::Test {
  protected:
    static void TearDownTestSuite() {
        twoOutputClient.reset();
        twoOutputServer.reset();
    }

    void SetUp() override {
        if (serverKind != xtest::XServerKind::XorgDummyTwoOutputs) {
            GTEST_SKIP() << "runs with --server=xorg_dummy_two_outputs only";
        }
        const std::string why = xtest::XServer::unavailableReason(serverKind);
        if (!why.empty()) {
            std::cerr << "cannot start Xorg+dummy with two outputs here: " << why << "\n";
            GTEST_SKIP() << why;
        }
        if (!twoOutputError.empty()) {
            FAIL() << twoOutputError;
        }
        if (!twoOutputServer) {
            try {
                twoOutputServer = std::make_unique<xtest::XServer>(serverKind, 0, 0);
                twoOutputClient = std::make_unique<xtest::XClient>(twoOutputServer->displayName());
            } catch (const std::exception &e) {
                twoOutputServer.reset();
                twoOutputError = e.what();
                FAIL() << twoOutputError;
            }
        }
        before_ = shownOutputs(display());
        ASSERT_EQ(before_.size(), 2u);
        ASSERT_EQ(before_["DUMMY0"],
                  (Shown{0, 0, 1920, 1080, before_["DUMMY0"].mode, before_["DUMMY0"].hz}));
        ASSERT_EQ(before_["DUMMY1"],
                  (Shown{1920, 0, 1280, 1024, before_["DUMMY1"].mode, before_["DUMMY1"].hz}));
        xtest::writeTextFile(work_ / "README.txt", "1024 x 768\n");
    }

    void TearDown() override {
        if (!twoOutputServer) {
            return;
        }
        if (viewer_ && HasFailure()) {
            std::cerr << "viewer standard error:\n" << viewer_->err() << "\n";
        }
        viewer_.reset(); // kills a viewer that still runs
        // A failed test leaves the next one the server as it found it.
        if (shownOutputs(display()) != before_) {
            runToEnd({"--restore-display"});
        }
        EXPECT_EQ(shownOutputs(display()), before_) << "the modes were not put back";
    }

    Display *display() const { return twoOutputClient->display(); }
    xtest::XClient &client() const { return *twoOutputClient; }
    std::filesystem::path recordFile() const { return runtime_ / restoreRecordName; }

    void writeImages(const std::set<int> &skip = {}) {
        for (int k = 0; k < 4; ++k) {
            if (skip.count(k) == 0) {
                xtest::writePlainPpm(work_ / (std::to_string(k) + "Image.ppm"),
                                     testImage(k, imageWidth, imageHeight));
            }
        }
    }

    // Starts the viewer with `args`; its runtime directory (where the record goes) is the
    // test's own.
    void start(const std::vector<std::string> &args) {
        viewer_ = std::make_unique<xtest::ViewerRun>(
            viewerBinary(), work_.path(), twoOutputServer->displayName(),
            std::map<std::string, std::string>{{"XDG_RUNTIME_DIR", runtime_.path().string()}},
            args);
    }

    xtest::ExitStatus runToEnd(const std::vector<std::string> &args) {
        start(args);
        auto status = viewer_->waitFor(exitTimeout);
        if (!status) {
            ADD_FAILURE() << "the viewer did not end by itself";
            return {};
        }
        return *status;
    }

    // Waits until DUMMY1 shows README.txt's size, and DUMMY0 still its own mode.
    void waitForTheSwitch() {
        const auto deadline = std::chrono::steady_clock::now() + startTimeout;
        std::map<std::string, Shown> shown;
        while (std::chrono::steady_clock::now() < deadline && viewer_->running()) {
            shown = shownOutputs(display());
            if (shown["DUMMY1"].width == readmeWidth) {
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
        ASSERT_EQ(shown["DUMMY1"].width, readmeWidth) << viewer_->err();
        EXPECT_EQ(shown["DUMMY1"].height, readmeHeight);
        EXPECT_EQ(shown["DUMMY1"].x, 1920);
        EXPECT_EQ(shown["DUMMY1"].y, 0);
        EXPECT_NEAR(shown["DUMMY1"].hz, 60.0, 0.1);
        EXPECT_EQ(shown["DUMMY0"], before_["DUMMY0"]);
    }

    // DUMMY1's rectangle once it shows README.txt's size.
    Screenshot switchedOutput() const {
        return client().screenshotOf(1920, 0, readmeWidth, readmeHeight);
    }

    // Waits for the overlay's yellow on DUMMY1: its first frames are on the screen.
    void waitForFirstFrame() {
        bool shown = false;
        const auto deadline = std::chrono::steady_clock::now() + startTimeout;
        while (!shown && std::chrono::steady_clock::now() < deadline && viewer_->running()) {
            const Screenshot shot = switchedOutput();
            for (std::size_t i = 0; i + 2 < shot.rgb.size() && !shown; i += 3) {
                shown = shot.rgb[i] == 255 && shot.rgb[i + 1] == 255 && shot.rgb[i + 2] == 0;
            }
            std::this_thread::sleep_for(40ms);
        }
        ASSERT_TRUE(shown) << "the viewer showed no overlay on DUMMY1; " << viewer_->err();
    }

    // The top-level window at DUMMY1's corner: the viewer's.
    Window windowOnSwitchedOutput() const {
        Window root = 0;
        Window parent = 0;
        Window *children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (XQueryTree(display(), DefaultRootWindow(display()), &root, &parent, &children,
                       &count) != 0) {
            for (unsigned i = 0; i < count; ++i) {
                XWindowAttributes attributes;
                if (XGetWindowAttributes(display(), children[i], &attributes) != 0 &&
                    attributes.map_state == IsViewable && attributes.x == 1920 &&
                    attributes.y == 0) {
                    found = children[i];
                }
            }
            XFree(children);
        }
        return found;
    }

    void expectModesBackAndNoRecord() {
        EXPECT_EQ(shownOutputs(display()), before_);
        EXPECT_FALSE(std::filesystem::exists(recordFile()));
    }

    static std::string viewerBinary() {
        const char *override = std::getenv("MOIRAVEL_DEMO_BINARY");
        return override != nullptr ? override : MOIRAVEL_DEMO_BINARY;
    }

    static constexpr int imageWidth = 200;
    static constexpr int imageHeight = 150;
    std::map<std::string, Shown> before_;
    xtest::TempDir work_{"moiravel-e2e"};
    xtest::TempDir runtime_{"moiravel-runtime"};
    std::unique_ptr<xtest::ViewerRun> viewer_;
};

TEST_F(ChosenOutputXorg, ListsBothOutputsAndAnUnknownNameChangesNothing) {
    auto status = runToEnd({"--list-outputs"});
    EXPECT_TRUE(status.exited && status.code == 0) << status.describe();
    const std::string listed = "0: DUMMY0 at 0,0, 1920x1080, mode 1920x1080 at 60.00 Hz; 1024x768 "
                               "modes: ";
    EXPECT_EQ(viewer_->out().find(listed), 0u) << viewer_->out();
    EXPECT_NE(viewer_->out().find("\n1: DUMMY1 at 1920,0, 1280x1024, mode 1280x1024 at 60.00 Hz"),
              std::string::npos)
        << viewer_->out();

    status = runToEnd({"--output", "HDMI-9"});
    EXPECT_TRUE(status.exited && status.code == 2) << status.describe();
    EXPECT_EQ(viewer_->out(), "");
    EXPECT_NE(viewer_->err().find("no output \"HDMI-9\""), std::string::npos) << viewer_->err();
    EXPECT_NE(viewer_->err().find("\n0: DUMMY0 at 0,0, 1920x1080"), std::string::npos);
    EXPECT_NE(viewer_->err().find("\n1: DUMMY1 at 1920,0, 1280x1024"), std::string::npos);
    expectModesBackAndNoRecord();
}

TEST_F(ChosenOutputXorg, SwitchesTheChosenOutputAloneDrawsOneToOneAndEscapePutsItBack) {
    writeImages();
    start({"--output", "DUMMY1"});
    waitForTheSwitch();
    ASSERT_TRUE(std::filesystem::exists(recordFile()));
    waitForFirstFrame();
    // Movement off, alternation frozen, the image back at the corner; mode 2 shows texture 3.
    for (char c : std::string("m f++")) {
        client().tapChar(c);
        std::this_thread::sleep_for(20ms);
    }
    auto [shot, steady] = client().waitUntilSteady(
        [this](const Screenshot &) {
            auto p = locateImage(switchedOutput(), imageWidth, imageHeight);
            return p && p->texture == 3 && p->shiftLeft == 0 && p->shiftUp == 0;
        },
        settleTimeout);
    EXPECT_TRUE(steady) << "DUMMY1 did not come to rest showing texture 3 at its lower left";
    EXPECT_TRUE(showsImage(switchedOutput(), 3, imageWidth, imageHeight, 0));
    client().tapChar(27);
    auto status = viewer_->waitFor(exitTimeout);
    ASSERT_TRUE(status.has_value()) << "the viewer did not end after Escape";
    EXPECT_TRUE(status->exited && status->code == 0) << status->describe();
    expectModesBackAndNoRecord();
}

TEST_F(ChosenOutputXorg, AFailedImageLoadSigtermAndALostConnectionPutTheModeBack) {
    writeImages({2});
    auto status = runToEnd({"--output", "DUMMY1"});
    EXPECT_TRUE(status.exited && status.code == 255) << status.describe();
    EXPECT_NE(viewer_->err().find("2Image.ppm"), std::string::npos) << viewer_->err();
    EXPECT_EQ(viewer_->err().find("cannot switch"), std::string::npos) << viewer_->err();
    expectModesBackAndNoRecord();

    writeImages();
    start({"--output", "DUMMY1"});
    waitForTheSwitch();
    waitForFirstFrame();
    viewer_->process().signal(SIGTERM);
    auto ended = viewer_->waitFor(exitTimeout);
    ASSERT_TRUE(ended.has_value()) << "the viewer did not end on SIGTERM";
    EXPECT_TRUE(!ended->exited && ended->signal == SIGTERM) << ended->describe();
    expectModesBackAndNoRecord();

    // The server ends the viewer's connection, as when its window is killed; the mode comes
    // back over a connection of the viewer's own.
    start({"--output", "DUMMY1"});
    waitForTheSwitch();
    waitForFirstFrame();
    const Window window = windowOnSwitchedOutput();
    ASSERT_NE(window, 0u) << "no window over DUMMY1";
    XKillClient(display(), window);
    XSync(display(), False);
    ended = viewer_->waitFor(exitTimeout);
    ASSERT_TRUE(ended.has_value()) << "the viewer did not end when its connection was lost";
    EXPECT_TRUE(ended->exited && ended->code == 1) << ended->describe();
    EXPECT_EQ(viewer_->err(), "moiravel-demo: lost the connection to the display; ending\n");
    expectModesBackAndNoRecord();
}

TEST_F(ChosenOutputXorg, AKilledRunLeavesItsRecordAndRestoreDisplayPutsTheModeBack) {
    writeImages();
    start({"--output", "DUMMY1"});
    waitForTheSwitch();
    viewer_->process().signal(SIGKILL);
    ASSERT_TRUE(viewer_->waitFor(exitTimeout).has_value());
    EXPECT_EQ(shownOutputs(display())["DUMMY1"].width, readmeWidth);
    ASSERT_TRUE(std::filesystem::exists(recordFile()));

    const auto status = runToEnd({"--restore-display"});
    EXPECT_TRUE(status.exited && status.code == 0) << status.describe();
    EXPECT_EQ(viewer_->err(), "moiravel-demo: restored DUMMY1 to 1280x1024 at 60.00 Hz, as an "
                              "earlier run left it\n");
    expectModesBackAndNoRecord();
}

} // namespace
} // namespace moiravel::e2e
