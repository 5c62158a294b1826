// SPDX-License-Identifier: MIT
// The choice between game mode and the full-screen window, the probe that gathers its facts,
// driven against a scripted X server on a local socket (no display needed), and what the
// full-screen window does after a look at where the window manager put it.
#include "display_probe.h"
#include "platform.h"
#include "full_screen_window.h"
#include "platform_wayland.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string xwaylandWarning =
    "moiravel-demo: warning: running under XWayland; the display mode is not switched, the "
    "window goes full screen on the chosen output, texels land one to one on display pixels "
    "only at a desktop scale of 100%, and the refresh counter is XWayland's; the native "
    "Wayland backend (--backend wayland) draws one to one at any scale and reports the "
    "compositor's presentation feedback";

TEST(ChooseDisplayWindow, GameModeExceptUnderXwaylandOrWhenModesCannotBeListed) {
    struct Case {
        const char *server;
        DisplayServerFacts facts;
        bool gameMode;
        const char *warningStart; // nullptr: no warning
    };
    const Case cases[] = {
        {"Xorg with VidMode", {false, {"DP-1", "HDMI-1"}, ModeListing::Works}, true, nullptr},
        {"Xvfb: no VidMode, GLUT falls back by itself",
         {false, {"screen"}, ModeListing::Missing},
         true,
         nullptr},
        {"probe could not connect", {false, {}, ModeListing::NotProbed}, true, nullptr},
        {"XWayland 22: outputs only",
         {false, {"XWAYLAND0"}, ModeListing::NotProbed},
         false,
         "moiravel-demo: warning: running under XWayland"},
        {"XWayland 24: extension",
         {true, {"XWAYLAND0", "XWAYLAND1"}, ModeListing::NotProbed},
         false,
         "moiravel-demo: warning: running under XWayland"},
        {"XWayland, second output",
         {false, {"DP-1", "XWAYLAND3"}, ModeListing::Works},
         false,
         "moiravel-demo: warning: running under XWayland"},
        {"extension without outputs",
         {true, {}, ModeListing::Works},
         false,
         "moiravel-demo: warning: running under XWayland"},
        {"mode list fails",
         {false, {"VGA-0"}, ModeListing::Fails},
         false,
         "moiravel-demo: warning: the X server cannot list its video modes"},
        {"name merely contains XWAYLAND",
         {false, {"not-XWAYLAND"}, ModeListing::Works},
         true,
         nullptr},
        {"lower case is another name", {false, {"xwayland0"}, ModeListing::Works}, true, nullptr},
        {"Wayland natively", {false, {}, ModeListing::NotProbed, true}, false, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.server);
        const DisplayChoice choice = chooseDisplayWindow(c.facts);
        EXPECT_EQ(choice.gameMode, c.gameMode);
        EXPECT_EQ(runsUnderXwayland(c.facts),
                  c.warningStart != nullptr && std::strstr(c.warningStart, "XWayland"));
        if (c.warningStart == nullptr) {
            EXPECT_EQ(choice.warning, "");
        } else {
            EXPECT_EQ(choice.warning.rfind(c.warningStart, 0), 0u) << choice.warning;
            EXPECT_EQ(choice.warning.find('\n'), std::string::npos);
        }
    }
    EXPECT_EQ(chooseDisplayWindow({true, {}, ModeListing::NotProbed}).warning, xwaylandWarning);
    EXPECT_TRUE(compositorPlacesWindows({false, {}, ModeListing::NotProbed, true}));
    EXPECT_TRUE(compositorPlacesWindows({false, {"XWAYLAND0"}, ModeListing::NotProbed}));
    EXPECT_FALSE(compositorPlacesWindows({false, {"DP-1"}, ModeListing::Works}));
}

// weston 11+ gives the unframed window the screen at once; weston 10 leaves it at (32, 64)
// and takes a full-screen request later. A window listed as full screen is never asked
// again: GLUT's request toggles the state.
TEST(NextPlacementStep, AsksForFullScreenOnlyWhenTimeIsUpAndTheScreenIsNotCovered) {
    struct Case {
        const char *what;
        WindowPlacement placement;
        bool timeUp;
        PlacementStep step;
        DesktopRect target = {0, 0, 800, 600};
    };
    const Case cases[] = {
        {"covers the screen", {0, 0, 800, 600, false}, false, PlacementStep::Done},
        {"covers it as time runs out", {0, 0, 800, 600, false}, true, PlacementStep::Done},
        {"not placed yet (inside its frame)",
         {32, 32, 800, 600, false},
         false,
         PlacementStep::Wait},
        {"placed below a panel", {32, 64, 800, 600, false}, true, PlacementStep::AskForFullScreen},
        {"one pixel off", {0, 1, 800, 600, false}, true, PlacementStep::AskForFullScreen},
        {"smaller than the screen", {0, 0, 800, 599, false}, true, PlacementStep::AskForFullScreen},
        {"full screen, still moving", {32, 32, 800, 600, true}, false, PlacementStep::Wait},
        {"full screen but elsewhere", {0, 32, 800, 600, true}, true, PlacementStep::Done},
        {"covers the second output",
         {800, 0, 1280, 1024, false},
         false,
         PlacementStep::Done,
         {800, 0, 1280, 1024}},
        {"covers the first output, not the second",
         {0, 0, 800, 600, false},
         true,
         PlacementStep::AskForFullScreen,
         {800, 0, 1280, 1024}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(nextPlacementStep(c.placement, c.target, c.timeUp), c.step);
    }
}

// After the window is placed on one output: whether a request for full screen on its monitor
// has taken effect, and what start-up says where the window lies elsewhere. A native Wayland
// window's size is the buffer that the backend makes at the output's scale, on an output of
// the mode's size at the same origin: its own pixels one to one wherever the compositor lets
// the buffer follow the scale.
TEST(WindowOnOutput, FullScreenThereOrAWarningThatSaysWhereItLies) {
    const DesktopRect second = {800, 0, 1024, 768};
    struct Case {
        const char *what;
        WindowPlacement placement;
        bool fullScreen;
        const char *warning;
        std::optional<wayland::ScaleFacts> scale = std::nullopt;
        int bufferScale = 1;
        int destinationWidth = 0; // 0: no viewport
        int destinationHeight = 0;
    };
    // wl_output.scale, the preferred fractional scale (0: none told), whether the compositor
    // offers wp_fractional_scale_v1 with wp_viewporter, the configured size and the mode.
    const auto wayland = [](int outputScale, std::uint32_t preferred, bool fractional,
                            int surfaceWidth, int surfaceHeight, int modeWidth, int modeHeight) {
        return wayland::ScaleFacts{surfaceWidth, surfaceHeight, outputScale, preferred,
                                   fractional,   modeWidth,     modeHeight};
    };
    const Case cases[] = {
        {"full screen on it", {800, 0, 1024, 768, true}, true, ""},
        {"maximized over it (mutter)", {800, 0, 1024, 768, false}, false, ""},
        {"full screen on the first output",
         {0, 0, 800, 600, true},
         false,
         "the window manager put the window 800x600 at 0,0, not on XWAYLAND1 (1024x768 at 800,0)"},
        {"at another size",
         {800, 0, 1024, 700, false},
         false,
         "the window manager put the window 1024x700 at 800,0, not on XWAYLAND1 (1024x768 at "
         "800,0)"},
        {"Wayland at scale 1", {}, true, "", wayland(1, 0, false, 1024, 768, 1024, 768)},
        {"Wayland at scale 2", {}, true, "", wayland(2, 0, false, 512, 384, 1024, 768), 2},
        {"Wayland at scale 2, size left to the client",
         {},
         true,
         "",
         wayland(2, 0, false, 0, 0, 1024, 768),
         2},
        {"Wayland at scale 1.5",
         {},
         true,
         "",
         wayland(2, 180, true, 1280, 720, 1920, 1080),
         1,
         1280,
         720},
        {"Wayland at scale 1.25, rounded half away from zero",
         {},
         true,
         "",
         wayland(2, 150, true, 1093, 614, 1366, 768),
         1,
         1093,
         614},
        {"Wayland at scale 1.5, offered but never told",
         {},
         false,
         "the compositor scales the picture: the window's buffer is 2560x1440 pixels, not the "
         "1920x1080 of XWAYLAND1, so texels do not land one to one on display pixels",
         wayland(2, 0, true, 1280, 720, 1920, 1080),
         1,
         1280,
         720},
        {"Wayland at scale 1.5 without wp_fractional_scale_v1",
         {},
         false,
         "the compositor scales the picture: the window's buffer is 2560x1440 pixels, not the "
         "1920x1080 of XWAYLAND1, so texels do not land one to one on display pixels",
         wayland(2, 0, false, 1280, 720, 1920, 1080),
         2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        DesktopRect target = second;
        WindowPlacement placement = c.placement;
        if (c.scale) {
            const wayland::BufferLayout layout = wayland::bufferLayout(*c.scale);
            target.width = c.scale->modeWidth;
            target.height = c.scale->modeHeight;
            placement = {target.x,      target.y, layout.width,
                         layout.height, true,     layout.compositorScales};
            EXPECT_EQ(layout.bufferScale, c.bufferScale);
            EXPECT_EQ(layout.viewport, c.destinationWidth > 0);
            EXPECT_EQ(layout.destinationWidth, c.destinationWidth);
            EXPECT_EQ(layout.destinationHeight, c.destinationHeight);
        }
        EXPECT_EQ(fullScreenOn(placement, target), c.fullScreen);
        EXPECT_EQ(misplacedWindowWarning(placement, target, "XWAYLAND1"), c.warning);
    }
}

TEST(DisplayArgument, TheLastDisplayOptionWithAValue) {
    struct Case {
        std::vector<const char *> args;
        const char *want;
    };
    const std::vector<Case> cases = {
        {{"moiravel-demo"}, nullptr},
        {{"moiravel-demo", "-display", ":3"}, ":3"},
        {{"moiravel-demo", "-gldebug", "-display", "host:1.0", "-direct"}, "host:1.0"},
        {{"moiravel-demo", "-display", ":1", "-display", ":2"}, ":2"},
        {{"moiravel-demo", "-display"}, nullptr}, // no value: GLUT keeps DISPLAY
        {{"moiravel-demo", "--display", ":4"}, nullptr},
    };
    for (const Case &c : cases) {
        std::vector<char *> argv;
        for (const char *a : c.args) {
            argv.push_back(const_cast<char *>(a));
        }
        const char *got = displayArgument(static_cast<int>(argv.size()), argv.data());
        EXPECT_STREQ(got, c.want) << "arguments: " << c.args.size();
    }
}

// An X server that speaks just enough of the protocol for the probe: the connection set-up
// (one bare screen), QueryExtension from a table, and a chosen behaviour for the first request of
// the video-mode extension. Every other request gets a BadRequest error. It listens on the
// abstract socket of a free display number, which XCB tries first.
class ScriptedXServer {
  public:
    enum class OnModeRequest { Reply, Error, HangUp };

    ScriptedXServer(std::map<std::string, bool> extensions, OnModeRequest onModeRequest,
                    bool hangUpAtFirstRequest = false)
        : extensions_(std::move(extensions)), onModeRequest_(onModeRequest),
          hangUpAtFirstRequest_(hangUpAtFirstRequest) {
        listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        for (int number = 4000 + getpid() % 1000; number < 6000; ++number) {
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
            std::memcpy(address.sun_path + 1, path.data(), path.size()); // abstract
            const auto length = static_cast<socklen_t>(sizeof address.sun_family + 1 + path.size());
            if (bind(listener_, reinterpret_cast<sockaddr *>(&address), length) == 0) {
                displayName_ = ":" + std::to_string(number);
                break;
            }
        }
        listen(listener_, 1);
        thread_ = std::thread([this] { serve(); });
    }
    ~ScriptedXServer() {
        modeRequests();
        close(listener_);
    }

    const std::string &displayName() const { return displayName_; }
    // How many video-mode requests came; ends the server first (the probe has disconnected).
    int modeRequests() {
        shutdown(listener_, SHUT_RDWR);
        if (thread_.joinable()) {
            thread_.join();
        }
        return modeRequests_;
    }

  private:
    static constexpr std::uint8_t modeOpcode = 140;

    bool readAll(int fd, void *data, std::size_t size) {
        auto *bytes = static_cast<std::uint8_t *>(data);
        while (size > 0) {
            const ssize_t got = read(fd, bytes, size);
            if (got <= 0) {
                return false;
            }
            bytes += got;
            size -= static_cast<std::size_t>(got);
        }
        return true;
    }

    void serve() {
        const int fd = accept(listener_, nullptr, nullptr);
        if (fd < 0) {
            return;
        }
        talk(fd);
        close(fd);
    }

    void talk(int fd) {
        std::array<std::uint8_t, 12> hello{};
        if (!readAll(fd, hello.data(), hello.size())) {
            return;
        }
        const std::size_t authLength =
            ((hello[6] | hello[7] << 8) + 3u) / 4 * 4 + ((hello[8] | hello[9] << 8) + 3u) / 4 * 4;
        std::vector<std::uint8_t> auth(authLength);
        if (!readAll(fd, auth.data(), auth.size())) {
            return;
        }
        // Success, protocol 11.0, 18 words of set-up: no vendor, no formats, one screen of
        // no depths (XCB insists on the screen it connects to).
        std::array<std::uint8_t, 8 + 32 + 40> setup{1, 0, 11, 0, 0, 0, 18, 0};
        setup[8 + 6] = 0x20; // resource-id-base 0x00200000
        setup[8 + 8] = 0xff; // resource-id-mask 0x001fffff
        setup[8 + 9] = 0xff;
        setup[8 + 10] = 0x1f;
        setup[8 + 18] = 0xff; // maximum-request-length 65535
        setup[8 + 19] = 0xff;
        setup[8 + 20] = 1; // one screen
        setup[8 + 26] = 8; // keycodes 8 to 255
        setup[8 + 27] = 255;
        setup[8 + 32 + 1] = 1; // root window 0x100
        (void)!write(fd, setup.data(), setup.size());

        for (std::uint16_t sequence = 1;; ++sequence) {
            std::array<std::uint8_t, 4> header{};
            if (!readAll(fd, header.data(), header.size())) {
                return;
            }
            std::vector<std::uint8_t> body((header[2] | header[3] << 8) * 4u - 4u);
            if (!readAll(fd, body.data(), body.size()) || hangUpAtFirstRequest_) {
                return;
            }
            std::array<std::uint8_t, 32> answer{};
            answer[2] = static_cast<std::uint8_t>(sequence);
            answer[3] = static_cast<std::uint8_t>(sequence >> 8);
            answer[1] = 1;          // BadRequest, unless a case below answers
            answer[10] = header[0]; // major opcode of the failed request
            if (header[0] == 98) {  // QueryExtension
                const std::string name(body.begin() + 4,
                                       body.begin() + 4 + (body[0] | body[1] << 8));
                const auto known = extensions_.find(name);
                answer[0] = 1; // reply
                answer[1] = 0;
                answer[8] = known != extensions_.end() && known->second;
                answer[9] = name == "XFree86-VidModeExtension" ? modeOpcode : 150;
            } else if (header[0] == modeOpcode) {
                ++modeRequests_;
                if (onModeRequest_ == OnModeRequest::HangUp) {
                    return;
                }
                if (onModeRequest_ == OnModeRequest::Reply) {
                    answer[0] = 1; // reply: no modes, an empty list is still a list
                    answer[1] = 0;
                } else {
                    answer[1] = 17; // BadImplementation
                }
            }
            (void)!write(fd, answer.data(), answer.size());
        }
    }

    std::map<std::string, bool> extensions_;
    OnModeRequest onModeRequest_;
    bool hangUpAtFirstRequest_;
    int listener_ = -1;
    std::string displayName_;
    std::thread thread_;
    int modeRequests_ = 0;
};

TEST(ProbeDisplayServer, SurvivesErrorsAndACutConnectionAndNeverAsksXwaylandForModes) {
    using Mode = ScriptedXServer::OnModeRequest;
    struct Case {
        const char *server;
        std::map<std::string, bool> extensions;
        Mode onModeRequest;
        bool hangUpAtFirstRequest;
        bool xwayland;
        ModeListing listing;
        int modeRequests;
    };
    const std::map<std::string, bool> vidMode = {{"XFree86-VidModeExtension", true}};
    const Case cases[] = {
        {"lists its modes", vidMode, Mode::Reply, false, false, ModeListing::Works, 1},
        {"no mode extension", {}, Mode::Reply, false, false, ModeListing::Missing, 0},
        {"X error on the mode list", vidMode, Mode::Error, false, false, ModeListing::Fails, 1},
        {"hangs up on the mode list", vidMode, Mode::HangUp, false, false, ModeListing::Fails, 1},
        {"hangs up at once", vidMode, Mode::Reply, true, false, ModeListing::Fails, 0},
        {"XWayland extension",
         {{"XWAYLAND", true}, {"XFree86-VidModeExtension", true}},
         Mode::HangUp,
         false,
         true,
         ModeListing::NotProbed,
         0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.server);
        ScriptedXServer server(c.extensions, c.onModeRequest, c.hangUpAtFirstRequest);
        ASSERT_FALSE(server.displayName().empty()) << "no free abstract X socket";
        const DisplayServerFacts facts = probeDisplayServer(server.displayName().c_str());
        EXPECT_EQ(facts.xwaylandExtension, c.xwayland);
        EXPECT_TRUE(facts.outputNames.empty()); // no RandR here
        EXPECT_EQ(facts.modeListing, c.listing);
        EXPECT_EQ(server.modeRequests(), c.modeRequests);
    }
}

TEST(ProbeDisplayServer, NoServerLeavesEverythingUnknown) {
    const DisplayServerFacts facts = probeDisplayServer(":59999");
    EXPECT_FALSE(facts.xwaylandExtension);
    EXPECT_EQ(facts.modeListing, ModeListing::NotProbed);
    EXPECT_TRUE(chooseDisplayWindow(facts).gameMode);
}

} // namespace
