// SPDX-License-Identifier: MIT
#pragma once

#include "child_process.h"
#include "temp_dir.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace moiravel::xtest {

enum class XServerKind {
    Xvfb,      // virtual framebuffer; GLUT game mode is not available there
    XorgDummy, // real Xorg with the dummy video driver; game mode works
    // XWayland under weston's headless backend, as on a Wayland desktop: the screen is one
    // weston output; X clients reach the server through XWayland.
    WestonXwayland,
    // XWayland under mutter (GNOME's compositor) with one headless virtual monitor. Its X
    // clients need the authority file mutter writes; it keeps windows of its own mapped.
    MutterXwayland,
    // Xorg with the dummy driver and two outputs side by side, each with a mode of its own:
    // DUMMY0 at 1920x1080 and DUMMY1 right of it at 1280x1024, on a screen of 3200x1080. The
    // size given to the constructor does not apply.
    XorgDummyTwoOutputs,
    // XWayland with two outputs side by side: the first of the size given, the second
    // secondOutputWidth x secondOutputHeight. Under weston's x11 backend, whose two output
    // windows lie on an Xvfb that carries the seat (keys and the pointer go to that Xvfb),
    // and under mutter with two headless virtual monitors.
    WestonXwaylandTwoOutputs,
    MutterXwaylandTwoMonitors,
    // weston's x11 backend on an Xvfb of the size given, with one output window over the
    // whole Xvfb, for the viewer's Wayland backend: the display is that Xvfb (screenshots show
    // weston's output, keys and the pointer reach weston's seat), and the viewer reaches
    // weston through waylandDisplay() in runtimeDir().
    WestonNative,
    // The same at output scale 2: weston's output X1 is half the size given in surface
    // coordinates, and its window on the Xvfb (its mode) is the size given.
    WestonNativeScaleTwo,
};
constexpr XServerKind allXServerKinds[] = {XServerKind::Xvfb,
                                           XServerKind::XorgDummy,
                                           XServerKind::WestonXwayland,
                                           XServerKind::MutterXwayland,
                                           XServerKind::XorgDummyTwoOutputs,
                                           XServerKind::WestonXwaylandTwoOutputs,
                                           XServerKind::MutterXwaylandTwoMonitors,
                                           XServerKind::WestonNative,
                                           XServerKind::WestonNativeScaleTwo};

// The size of the second output of the XWayland kinds that have two.
constexpr int secondOutputWidth = 1024;
constexpr int secondOutputHeight = 768;

const char *toString(XServerKind kind);

// The weston options that differ between its releases, chosen from its --help text.
struct WestonOptions {
    std::string xwayland;        // the option that loads XWayland
    std::string headlessBackend; // the value of --backend= for the headless backend
    std::string x11Backend;      // the value of --backend= for the x11 backend
};
WestonOptions westonOptions(const std::string &helpText);

// An X server started on a free display number, with one screen of the given size at 24 bits
// per pixel, listening on its local socket only. The constructor returns once a client can
// connect; the destructor stops and reaps the server.
class XServer {
  public:
    // For a kind with two outputs, width x height is the first output's size.
    XServer(XServerKind kind, int width, int height);
    ~XServer();
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;

    // Empty when the kind can be started here; otherwise why it cannot (for GTEST_SKIP).
    static std::string unavailableReason(XServerKind kind);
    // Whether a kind that failed to start is a reason to skip rather than to fail: a
    // compositor needs more of the machine (a working runtime directory, its shell, a session
    // bus) than an X server.
    static bool startFailureSkips(XServerKind kind) {
        return underCompositor(kind) || nativeWayland(kind);
    }
    // The kinds whose clients are the viewer's Wayland backend, weston's own clients.
    static bool nativeWayland(XServerKind kind) {
        return kind == XServerKind::WestonNative || kind == XServerKind::WestonNativeScaleTwo;
    }
    static bool hasTwoOutputs(XServerKind kind) {
        return kind == XServerKind::WestonXwaylandTwoOutputs ||
               kind == XServerKind::MutterXwaylandTwoMonitors;
    }

    XServerKind kind() const { return kind_; }
    const std::string &displayName() const { return displayName_; } // ":N"
    // Where keys and pointer motion are sent with XTest: the display itself, or the Xvfb
    // that weston's x11 backend takes its seat from.
    const std::string &inputDisplayName() const {
        return hostDisplayName_.empty() ? displayName_ : hostDisplayName_;
    }
    // The root window shows no picture: XWayland's windows are drawn by the compositor.
    bool rootless() const { return underCompositor(kind_); }
    // The file of X authority that clients need (set in XAUTHORITY); empty when none is.
    // While the server runs, this process's own XAUTHORITY names it too, for its Xlib and
    // XCB connections.
    const std::string &authorityFile() const { return authorityFile_; }
    // For the native Wayland kinds: the compositor's socket (WAYLAND_DISPLAY) and the directory it
    // lies in (XDG_RUNTIME_DIR); empty for the other kinds.
    const std::string &waylandDisplay() const { return waylandDisplay_; }
    std::string runtimeDir() const { return dir_.path().string(); }
    int width() const { return width_; }
    int height() const { return height_; }
    bool running() { return process_ && process_->running(); }
    std::string log() const;

  private:
    static bool underCompositor(XServerKind kind) {
        return kind == XServerKind::WestonXwayland || kind == XServerKind::MutterXwayland ||
               hasTwoOutputs(kind);
    }
    void writeXorgConfig();
    void writeTwoOutputsConfig();
    void startXServer();
    void startWeston();
    void startHostXvfb(int width, int height);
    std::vector<std::string> westonOnHostArguments(const WestonOptions &chosen);
    void startMutter();
    void startWestonNative(const WestonOptions &chosen);
    void restoreAuthority();
    [[noreturn]] void failStart(const std::string &what);

    XServerKind kind_;
    int width_;
    int height_;
    TempDir dir_;
    std::string displayName_;
    std::string authorityFile_;
    std::optional<std::string> previousAuthority_; // this process's XAUTHORITY before
    std::unique_ptr<ChildProcess> process_;
    std::string waylandDisplay_;
    std::string hostDisplayName_;               // the Xvfb under weston's x11 backend
    std::unique_ptr<ChildProcess> hostProcess_; // that Xvfb
};

} // namespace moiravel::xtest
