#pragma once

#include "child_process.h"
#include "temp_dir.h"

#include <memory>
#include <optional>
#include <string>

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
};
constexpr XServerKind allXServerKinds[] = {XServerKind::Xvfb, XServerKind::XorgDummy,
                                           XServerKind::WestonXwayland, XServerKind::MutterXwayland,
                                           XServerKind::XorgDummyTwoOutputs};

const char *toString(XServerKind kind);

// The weston options that differ between its releases, chosen from its --help text.
struct WestonOptions {
    std::string xwayland;        // the option that loads XWayland
    std::string headlessBackend; // the value of --backend= for the headless backend
};
WestonOptions westonOptions(const std::string &helpText);

// An X server started on a free display number, with one screen of the given size at 24 bits
// per pixel, listening on its local socket only. The constructor returns once a client can
// connect; the destructor stops and reaps the server.
class XServer {
  public:
    XServer(XServerKind kind, int width, int height);
    ~XServer();
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;

    // Empty when the kind can be started here; otherwise why it cannot (for GTEST_SKIP).
    static std::string unavailableReason(XServerKind kind);
    // Whether a kind that failed to start is a reason to skip rather than to fail: a
    // compositor needs more of the machine (a working runtime directory, its shell, a session
    // bus) than an X server.
    static bool startFailureSkips(XServerKind kind) { return underCompositor(kind); }

    XServerKind kind() const { return kind_; }
    const std::string &displayName() const { return displayName_; } // ":N"
    // The root window shows no picture: XWayland's windows are drawn by the compositor.
    bool rootless() const { return underCompositor(kind_); }
    // The file of X authority that clients need (set in XAUTHORITY); empty when none is.
    // While the server runs, this process's own XAUTHORITY names it too, for its Xlib and
    // XCB connections.
    const std::string &authorityFile() const { return authorityFile_; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool running() { return process_ && process_->running(); }
    std::string log() const;

  private:
    static bool underCompositor(XServerKind kind) {
        return kind == XServerKind::WestonXwayland || kind == XServerKind::MutterXwayland;
    }
    void writeXorgConfig();
    void writeTwoOutputsConfig();
    void startXServer();
    void startWeston();
    void startMutter();
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
};

} // namespace moiravel::xtest
