// SPDX-License-Identifier: MIT
// Start-up and the ways the viewer ends: console output, exit statuses, which files it opens.
#include "backend_choice.h"
#include "display_probe.h"
#include "outputs.h"
#include "platform.h"
#include "viewer_fixture.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <stdexcept>

namespace moiravel::e2e {
namespace {

// What the tests ask of the display themselves (its probe, its outputs) goes through the
// backend the viewer uses there: under weston_native the viewer's Wayland backend.
class StartupE2eTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        if (IsSkipped() || HasFatalFailure() || server().waylandDisplay().empty()) {
            return;
        }
        setenv("WAYLAND_DISPLAY", server().waylandDisplay().c_str(), 1);
        setenv("XDG_RUNTIME_DIR", server().runtimeDir().c_str(), 1);
        const BackendChoice wayland = chooseBackend(platformBackends(), "wayland", nullptr);
        ASSERT_NE(wayland.backend, nullptr) << wayland.error;
        usePlatformBackend(*wayland.backend);
    }
};

// Names of the files in `dir` opened since the watch began.
class OpenWatch {
  public:
    explicit OpenWatch(const std::filesystem::path &dir) {
        fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ >= 0) {
            watch_ = inotify_add_watch(fd_, dir.c_str(), IN_OPEN);
        }
    }
    ~OpenWatch() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    bool ok() const { return fd_ >= 0 && watch_ >= 0; }
    std::set<std::string> opened() {
        std::array<char, 64 * 1024> buffer{};
        for (;;) {
            ssize_t got = read(fd_, buffer.data(), buffer.size());
            if (got <= 0) {
                break;
            }
            for (ssize_t i = 0; i < got;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer.data() + i);
                if (event->len > 0) {
                    names_.insert(event->name);
                }
                i += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return names_;
    }

  private:
    int fd_ = -1;
    int watch_ = -1;
    std::set<std::string> names_;
};

TEST_F(StartupE2eTest, WithoutImagesPrintsTheThreeLinesAndEndsWith255) {
    // The separator is any non-blank character, and text after the height is not read.
    for (const char *readme : {"800 x 600\n", "800*600 pixels, said the monitor\n"}) {
        SCOPED_TRACE(std::string("README.txt: ") + readme);
        writeReadme(readme);
        start();
        auto status = viewer().waitFor(exitTimeout);
        ASSERT_TRUE(status.has_value()) << "the viewer kept running without images";
        EXPECT_TRUE(status->exited && status->code == 255) << status->describe();
        EXPECT_EQ(viewer().out(), expectedStartupOutput(800, 600));
    }
}

TEST_F(StartupE2eTest, WithoutReadmePrintsOneLineAndEndsWith255) {
    // Only the exact name counts: these spellings are not "README.txt".
    for (const char *other : {"", "README.TXT", "readme.txt"}) {
        SCOPED_TRACE(std::string("other file: ") + other);
        writeImages(8, 8);
        std::string output = "no README.txt found\n";
        if (*other != '\0') {
            xtest::writeTextFile(workDir() / other, "800 x 600\n");
            if (viewerIsWindowsBuild()) {
                // Differs on Windows by design: file names ignore case there, so this
                // spelling is README.txt itself. Without 0Image.ppm the run then ends at the
                // first image.
                output = expectedStartupOutput(800, 600);
                std::filesystem::remove(workDir() / "0Image.ppm");
            }
        }
        start();
        auto status = viewer().waitFor(exitTimeout);
        ASSERT_TRUE(status.has_value()) << "the viewer kept running without README.txt";
        EXPECT_TRUE(status->exited && status->code == 255) << status->describe();
        EXPECT_EQ(viewer().out(), output);
        if (*other != '\0') {
            std::filesystem::remove(workDir() / other);
        }
    }
}

TEST_F(StartupE2eTest, EscapeEndsWithStatusZero) {
    writeReadme("800 x 600\n");
    writeImages(16, 16);
    start();
    waitForFirstFrame();
    if (serverKind == xtest::XServerKind::WestonNative) {
        // weston sends its feedback on a frame before it shows the next one: once the
        // picture has changed, the feedback on one frame at least reaches the viewer ahead of
        // the Escape.
        const Screenshot first = client().screenshot();
        auto [later, changed] = client().waitUntil(
            [&first](const Screenshot &s) { return !(s == first); }, settleTimeout);
        EXPECT_TRUE(changed) << "the viewer's picture did not change after its first frame";
    }
    escapeAndExpectCleanExit();
    if (serverKind == xtest::XServerKind::XorgDummy) {
        // Xorg with the dummy driver has the requested mode, so GLUT's game mode works there
        // and the ordinary-window fallback is not taken.
        EXPECT_EQ(viewer().err().find("failed to change screen settings"), std::string::npos)
            << viewer().err();
    }
    if (xtest::XServer::nativeWayland(serverKind)) {
        // The Wayland backend judges frames from weston's presentation feedback, which its
        // x11 backend sends without the vsync flag.
        EXPECT_NE(viewer().err().find("(presentation feedback"), std::string::npos)
            << viewer().err();
        EXPECT_NE(viewer().err().find("missed refreshes cannot be judged: the compositor's "
                                      "presentation feedback does not tie frames to the "
                                      "display refresh (no vsync flag)"),
                  std::string::npos)
            << viewer().err();
    }
}

// What each kind of server gets before the first frame: game mode is requested as always on
// an X server (Xvfb refuses it, so the viewer says it falls back), while under XWayland the
// viewer opens its full-screen window at once and says why. Standard output is the same.
struct DisplayExpectation {
    xtest::XServerKind kind;
    bool xwaylandWarning;
    bool gameModeRefused;
    ModeListing modeListing; // what the viewer's probe finds
};
constexpr DisplayExpectation displayExpectations[] = {
    {xtest::XServerKind::Xvfb, false, true, ModeListing::Missing},
    {xtest::XServerKind::XorgDummy, false, false, ModeListing::Works},
    // Never asked: some XWayland releases go down when asked for their video modes.
    {xtest::XServerKind::WestonXwayland, true, false, ModeListing::NotProbed},
    {xtest::XServerKind::MutterXwayland, true, false, ModeListing::NotProbed},
    // The viewer's Wayland backend: no game mode asked for, nothing to warn of.
    {xtest::XServerKind::WestonNative, false, false, ModeListing::NotProbed},
    {xtest::XServerKind::WestonNativeScaleTwo, false, false, ModeListing::NotProbed},
};
const std::string xwaylandWarning =
    "moiravel-demo: warning: running under XWayland; the display mode is not switched, the "
    "window goes full screen on the chosen output, texels land one to one on display pixels "
    "only at a desktop scale of 100%, and the refresh counter is XWayland's; the native "
    "Wayland backend (--backend wayland) draws one to one at any scale and reports the "
    "compositor's presentation feedback\n";
const std::string gameModeRefused = "moiravel-demo: warning: cannot enter game mode";

const DisplayExpectation &expectationForThisServer() {
    for (const DisplayExpectation &e : displayExpectations) {
        if (e.kind == serverKind) {
            return e;
        }
    }
    throw std::logic_error("no expectation for this kind of server");
}

TEST_F(StartupE2eTest, TheViewersProbeTellsTheServersApart) {
    const DisplayExpectation &expected = expectationForThisServer();
    const DisplayServerFacts facts = probeDisplayServer(server().displayName().c_str());
    EXPECT_EQ(runsUnderXwayland(facts), expected.xwaylandWarning);
    EXPECT_EQ(facts.modeListing, expected.modeListing);
    EXPECT_EQ(facts.waylandCompositor, xtest::XServer::nativeWayland(serverKind));
    EXPECT_FALSE(facts.outputNames.empty()) << "every server here has RandR outputs";
    std::string names;
    for (const std::string &name : facts.outputNames) {
        names += name + " ";
    }
    RecordProperty("outputs", names);
    EXPECT_TRUE(server().running()) << "the probe brought the server down";
}

TEST_F(StartupE2eTest, GameModeIsRequestedExceptUnderXwaylandAndModeTwoShowsTexelForPixel) {
    const DisplayExpectation &expected = expectationForThisServer();
    writeReadme("800 x 600\n");
    writeImages(200, 150);
    start();
    waitForFirstFrame();
    const int s = settleFrozenAtOrigin();
    ASSERT_TRUE(s == 0 || s == 1);
    press("++");
    expectSteadyImage(3); // mode 2: 3Image.ppm
    escapeAndExpectCleanExit();
    const std::string err = viewer().err();
    EXPECT_EQ(err.find(xwaylandWarning) != std::string::npos, expected.xwaylandWarning) << err;
    // Wine grants the Windows build's mode change on any X server (it only pretends to switch
    // where the server cannot), so the Windows build never falls back.
    const bool refused = expected.gameModeRefused && !viewerIsWindowsBuild();
    EXPECT_EQ(err.find(gameModeRefused) != std::string::npos, refused) << err;
    EXPECT_EQ(err.find("not the 800x600 of README.txt"), std::string::npos) << err;
    EXPECT_EQ(err.find("the compositor scales the picture"), std::string::npos) << err;
}

TEST_F(StartupE2eTest, ASizeOtherThanTheScreensStillShowsAFrameAndWarnsAfterTheServerWarning) {
    const DisplayExpectation &expected = expectationForThisServer();
    writeReadme("1024 x 768\n");
    writeImages(16, 16);
    start();
    waitForFirstFrame(1024, 768);
    client().tapChar(27);
    auto status = viewer().waitFor(exitTimeout);
    ASSERT_TRUE(status.has_value()) << "the viewer did not end after Escape";
    EXPECT_TRUE(status->exited && status->code == 0) << status->describe();
    EXPECT_EQ(viewer().out(), expectedStartupOutput(1024, 768));
    const std::string err = viewer().err();
    const auto sizeWarning = err.find("moiravel-demo: warning: the display is 800x600, not the "
                                      "1024x768 of README.txt; the picture is drawn one to one "
                                      "from the lower left and what lies beyond the display is "
                                      "cut off\n");
    EXPECT_NE(sizeWarning, std::string::npos) << err;
    if (expected.xwaylandWarning) {
        EXPECT_LT(err.find(xwaylandWarning), sizeWarning) << err;
    }
}

TEST_F(StartupE2eTest, AReadmeSmallerThanTheDisplayGetsThePictureOneToOneAtTheLowerLeft) {
    if (viewerIsWindowsBuild() && server().kind() == xtest::XServerKind::XorgDummy) {
        GTEST_SKIP() << "Wine switches Xorg's screen itself to README.txt's 640x480, so the "
                        "display is no larger than the picture's area";
    }
    constexpr int areaWidth = 640;
    constexpr int areaHeight = 480;
    writeReadme("640 x 480\n");
    writeImages(200, 150);
    start();
    waitForFirstFrame(areaWidth, areaHeight);
    const int s = settleFrozenAtOrigin();
    ASSERT_TRUE(s == 0 || s == 1);
    // The image texel for pixel at the lower-left corner, and nothing outside the area.
    const Screenshot shot = expectSteadyImage(s);
    int lit = 0;
    for (int row = 0; row < shot.height; ++row) {
        for (int column = 0; column < shot.width; ++column) {
            const bool inArea = column < areaWidth && row >= shot.height - areaHeight;
            if (!inArea && !(shot.at(column, row) == Rgb{0, 0, 0})) {
                ++lit;
            }
        }
    }
    EXPECT_EQ(lit, 0) << "pixels outside the lower-left " << areaWidth << "x" << areaHeight
                      << " are not black";
    if (lit != 0) {
        saveForDiagnosis(shot, "outside-the-area");
    }
    client().tapChar(27);
    auto status = viewer().waitFor(exitTimeout);
    ASSERT_TRUE(status.has_value()) << "the viewer did not end after Escape";
    EXPECT_TRUE(status->exited && status->code == 0) << status->describe();
    EXPECT_EQ(viewer().out(), expectedStartupOutput(areaWidth, areaHeight));
    // Where game mode reports success (Xorg's dummy driver), the viewer takes the display for
    // README.txt's size and has nothing to warn of; its picture still keeps to the area.
    const DisplayExpectation &expected = expectationForThisServer();
    const bool fallback = expected.gameModeRefused || expected.xwaylandWarning ||
                          xtest::XServer::nativeWayland(serverKind);
    EXPECT_EQ(viewer().err().find("moiravel-demo: warning: the display is 800x600, not the "
                                  "640x480 of README.txt; the picture is drawn one to one in the "
                                  "lower left 640x480 and the rest is black\n") !=
                  std::string::npos,
              fallback)
        << viewer().err();
}

// --list-outputs prints one line per output of the display and ends with 0; an output the
// display does not have is a usage error (status 2) that lists the same outputs on standard
// error and opens nothing; --output 0 shows the picture as the default output does.
TEST_F(StartupE2eTest, TheOutputOptionsListChooseAndRejectOutputs) {
    writeReadme("800 x 600\n");
    writeImages(200, 150);
    start({}, {"--list-outputs"});
    auto status = viewer().waitFor(exitTimeout);
    ASSERT_TRUE(status.has_value()) << "the viewer kept running with --list-outputs";
    EXPECT_TRUE(status->exited && status->code == 0) << status->describe();
    const std::string listed = viewer().out();
    if (viewerIsWindowsBuild()) {
        // Wine's monitor of the X screen is its first display device.
        EXPECT_EQ(listed.rfind("0: \\\\.\\DISPLAY1 ", 0), 0u) << listed;
        EXPECT_NE(listed.find(" at 0,0, 800x600, mode 800x600 at "), std::string::npos) << listed;
    } else {
        const std::vector<OutputFacts> outputs = listOutputs(server().displayName().c_str());
        std::string expected;
        for (std::size_t i = 0; i < outputs.size(); ++i) {
            expected += outputListLine(static_cast<int>(i), outputs[i], 800, 600) + "\n";
        }
        EXPECT_FALSE(outputs.empty()) << "every server here has RandR outputs";
        EXPECT_EQ(listed, expected);
    }

    start({}, {"--output", "no-such-output"});
    status = viewer().waitFor(exitTimeout);
    ASSERT_TRUE(status.has_value()) << "the viewer kept running with an unknown output";
    EXPECT_TRUE(status->exited && status->code == 2) << status->describe();
    EXPECT_EQ(viewer().out(), "");
    // Wine may add lines of its own to standard error.
    const std::string rejected =
        "moiravel-demo: no output \"no-such-output\" (see --help); the outputs:\n" + listed;
    EXPECT_NE(viewer().err().find(rejected), std::string::npos) << viewer().err();

    start({}, {"--output", "0"});
    waitForFirstFrame();
    const int s = settleFrozenAtOrigin();
    EXPECT_TRUE(s == 0 || s == 1) << s;
    escapeAndExpectCleanExit();
}

TEST_F(StartupE2eTest, AFailedImageEndsWith255AndNoLaterFileIsOpened) {
    writeReadme("800 x 600\n");
    const std::string missing = "missing";
    for (const std::string &broken :
         {missing, std::string("P6\n8 8\n255\n"), std::string("P3\n8 8\n65535\n0 0 0\n")}) {
        SCOPED_TRACE("2Image.ppm: " + broken);
        writeImages(8, 8, {2});
        if (broken != missing) {
            xtest::writeTextFile(workDir() / "2Image.ppm", broken);
        }
        OpenWatch watch(workDir());
        ASSERT_TRUE(watch.ok()) << "inotify is not available";
        start();
        auto status = viewer().waitFor(exitTimeout);
        ASSERT_TRUE(status.has_value()) << "the viewer kept running with a bad 2Image.ppm";
        EXPECT_TRUE(status->exited && status->code == 255) << status->describe();
        EXPECT_EQ(viewer().out(), expectedStartupOutput(800, 600));
        std::set<std::string> opened = watch.opened();
        EXPECT_TRUE(opened.count("README.txt")) << "the watch saw no open of README.txt";
        EXPECT_TRUE(opened.count("0Image.ppm") && opened.count("1Image.ppm"))
            << "the images before the bad one were not read";
        EXPECT_EQ(opened.count("3Image.ppm"), 0u)
            << "3Image.ppm was opened after 2Image.ppm failed";
        std::filesystem::remove(workDir() / "2Image.ppm");
    }
}

} // namespace
} // namespace moiravel::e2e
