// SPDX-License-Identifier: MIT
// The Wayland backend: the compositor connection and its globals, the list of outputs,
// the full-screen xdg_toplevel with its EGL window, the main loop, and the answers of
// platform.h that a Wayland client gives (no mode switch, no refresh counter).
//
// What it does not do: the outputs' events (platform_wayland_outputs.cpp), keys and the pointer
// (platform_wayland_keys.cpp), presentation feedback (platform_wayland_presentation.cpp), the
// buffer's size at the output's scale (platform_wayland_scale.cpp), EGL itself (platform_egl.cpp),
// or the glyphs' bitmaps (bitmap_font.h, GLUT's 9x15 drawn without GLUT).
#include "platform_wayland.h"

#include "bitmap_font.h"
#include "clock_posix.h"
#include "messages.h"
#include "platform_egl.h"

#include "xdg-shell-client-protocol.h"
#include <wayland-client.h>

#include <GL/gl.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace wayland {

namespace {

struct Globals {
    wl_registry *registry = nullptr;
    wl_compositor *compositor = nullptr;
    xdg_wm_base *wmBase = nullptr;
    wl_seat *seat = nullptr;
};

struct Window {
    wl_surface *surface = nullptr;
    xdg_surface *shellSurface = nullptr;
    xdg_toplevel *toplevel = nullptr;
    Output *output = nullptr;
    bool configured = false;
    int pendingWidth = 0; // the last xdg_toplevel.configure, in surface coordinates
    int pendingHeight = 0;
    bool pendingFullScreen = false;
    int surfaceWidth = 0; // the configure acknowledged, in surface coordinates
    int surfaceHeight = 0;
    BufferLayout layout; // the buffer, in pixels
    bool fullScreen = false;
    bool resized = false; // since the main loop last called reshape
};

Connection state;
Globals globals;
Window window;
std::string connectFailure;
bool connectTried = false;
bool eglStarted = false;

// The surface's damage in buffer pixels came with wl_compositor 4; repeat_info with wl_seat 4.
constexpr std::uint32_t compositorVersion = 4;
constexpr std::uint32_t seatVersion = 5;

void onPing(void *, xdg_wm_base *wmBase, std::uint32_t serial) {
    xdg_wm_base_pong(wmBase, serial);
}

const xdg_wm_base_listener wmBaseListener = [] {
    xdg_wm_base_listener listener{};
    listener.ping = onPing;
    return listener;
}();

template <typename Proxy>
Proxy *bind(wl_registry *registry, std::uint32_t name, const wl_interface &interface,
            std::uint32_t offered, std::uint32_t wanted) {
    return static_cast<Proxy *>(
        wl_registry_bind(registry, name, &interface, std::min(offered, wanted)));
}

void onGlobal(void *, wl_registry *registry, std::uint32_t name, const char *interface,
              std::uint32_t version) {
    const std::string_view kind = interface;
    if (kind == wl_compositor_interface.name && globals.compositor == nullptr) {
        globals.compositor = bind<wl_compositor>(registry, name, wl_compositor_interface, version,
                                                 compositorVersion);
    } else if (kind == xdg_wm_base_interface.name && globals.wmBase == nullptr) {
        globals.wmBase = bind<xdg_wm_base>(registry, name, xdg_wm_base_interface, version, 1);
        xdg_wm_base_add_listener(globals.wmBase, &wmBaseListener, nullptr);
    } else if (kind == wl_seat_interface.name && globals.seat == nullptr) {
        globals.seat = bind<wl_seat>(registry, name, wl_seat_interface, version, seatVersion);
        // Listened to at once: the seat tells its capabilities right after the bind.
        watchSeat(globals.seat);
    } else if (kind == wl_output_interface.name) {
        state.outputs.push_back(bindOutput(registry, name, version, state.outputs.size()));
    } else if (!bindScaleGlobal(registry, name, interface, version)) {
        bindPresentation(registry, name, interface, version);
    }
}

void onGlobalRemove(void *, wl_registry *, std::uint32_t name) {
    std::erase_if(state.outputs, [&](const std::unique_ptr<Output> &output) {
        const bool gone = output->globalName == name && output.get() != window.output;
        if (gone) {
            forgetOutput(output.get());
        }
        return gone;
    });
}

const wl_registry_listener registryListener = [] {
    wl_registry_listener listener{};
    listener.global = onGlobal;
    listener.global_remove = onGlobalRemove;
    return listener;
}();

void disconnect() {
    if (state.display != nullptr) {
        wl_display_disconnect(state.display);
    }
    state = {};
    globals = {};
    forgetPresentation();
    forgetScaleGlobals();
}

std::string missingGlobals() {
    std::string missing;
    const auto note = [&](bool absent, const char *name) {
        if (absent) {
            missing += (missing.empty() ? "" : ", ") + std::string(name);
        }
    };
    note(globals.compositor == nullptr, wl_compositor_interface.name);
    note(globals.wmBase == nullptr, xdg_wm_base_interface.name);
    note(globals.seat == nullptr, wl_seat_interface.name);
    note(state.outputs.empty(), wl_output_interface.name);
    return missing;
}

Output *outputNamed(const std::string &name) {
    for (const std::unique_ptr<Output> &output : state.outputs) {
        if (name.empty() || output->facts.name == name) {
            return output.get();
        }
    }
    return nullptr;
}

// The window's output, else the first (the primary).
Output *shownOutput() {
    return window.output != nullptr ? window.output : outputNamed("");
}

void onToplevelConfigure(void *, xdg_toplevel *, std::int32_t width, std::int32_t height,
                         wl_array *states) {
    window.pendingWidth = width;
    window.pendingHeight = height;
    window.pendingFullScreen = false;
    const auto *begin = static_cast<const std::uint32_t *>(states->data);
    const auto *end = begin + states->size / sizeof(std::uint32_t);
    window.pendingFullScreen = std::find(begin, end, XDG_TOPLEVEL_STATE_FULLSCREEN) != end;
}

void onToplevelClose(void *, xdg_toplevel *) {
    std::exit(0);
}

const xdg_toplevel_listener toplevelListener = [] {
    xdg_toplevel_listener listener{};
    listener.configure = onToplevelConfigure;
    listener.close = onToplevelClose;
    return listener;
}();

// The buffer for the configured size at the scale of the output the surface is on, taken
// where it changed: at a configure, and after the surface entered another output or the
// compositor told another scale. The EGL window is resized once it is open.
void takeLayout() {
    const BufferLayout layout = surfaceLayout(window.surfaceWidth, window.surfaceHeight);
    if (layout == window.layout) {
        return;
    }
    applyLayout(layout);
    if (layout.width != window.layout.width || layout.height != window.layout.height) {
        window.resized = true;
        egl::resizeWindow(layout.width, layout.height);
    }
    window.layout = layout;
}

void onShellSurfaceConfigure(void *, xdg_surface *shellSurface, std::uint32_t serial) {
    xdg_surface_ack_configure(shellSurface, serial);
    window.surfaceWidth = window.pendingWidth;
    window.surfaceHeight = window.pendingHeight;
    takeLayout();
    window.fullScreen = window.pendingFullScreen;
    window.configured = true;
}

const xdg_surface_listener shellSurfaceListener = [] {
    xdg_surface_listener listener{};
    listener.configure = onShellSurfaceConfigure;
    return listener;
}();

[[noreturn]] void endWith(const std::string &why) {
    std::fprintf(stderr, "%s\n", demoMessage(why).c_str());
    std::exit(1);
}

void roundTrip() {
    if (wl_display_roundtrip(state.display) < 0) {
        endOnLostConnection();
    }
}

// Reads and dispatches what the compositor has sent, without waiting for more.
void dispatchWithoutWaiting() {
    wl_display *display = state.display;
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) {
            endOnLostConnection();
        }
    }
    if (wl_display_flush(display) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display);
        endOnLostConnection();
    }
    pollfd ready{wl_display_get_fd(display), POLLIN, 0};
    if (poll(&ready, 1, 0) > 0) {
        if (wl_display_read_events(display) < 0) {
            endOnLostConnection();
        }
    } else {
        wl_display_cancel_read(display);
    }
    if (wl_display_dispatch_pending(display) < 0) {
        endOnLostConnection();
    }
}

// Damages the whole buffer and swaps: weston's pixman renderer otherwise shows a frame whose
// clear was not scissored as black.
void showFrame() {
    wl_surface_damage_buffer(window.surface, 0, 0, INT32_MAX, INT32_MAX);
    if (!egl::swapBuffers() || wl_display_get_error(state.display) != 0) {
        endOnLostConnection();
    }
}

char overlayFontToken = 0;

} // namespace

Connection *connection(std::string &why) {
    if (!connectTried) {
        connectTried = true;
        state.display = wl_display_connect(nullptr);
        if (state.display == nullptr) {
            const char *name = std::getenv("WAYLAND_DISPLAY");
            connectFailure = "cannot connect to the Wayland compositor" +
                             std::string(name != nullptr ? std::string(" at ") + name : "");
            why = connectFailure;
            return nullptr;
        }
        globals.registry = wl_display_get_registry(state.display);
        wl_registry_add_listener(globals.registry, &registryListener, nullptr);
        // The first round trip lists the globals, the second the outputs' events.
        if (wl_display_roundtrip(state.display) < 0 || wl_display_roundtrip(state.display) < 0) {
            connectFailure = "lost the connection to the Wayland compositor while listing its "
                             "globals";
            disconnect();
        } else if (const std::string missing = missingGlobals(); !missing.empty()) {
            connectFailure = "the Wayland compositor offers no " + missing;
            disconnect();
        }
    }
    why = connectFailure;
    return state.display != nullptr ? &state : nullptr;
}

void endOnLostConnection() {
    const int error = state.display != nullptr ? wl_display_get_error(state.display) : 0;
    std::fprintf(
        stderr, "%s\n",
        demoMessage("lost the connection to the Wayland compositor" +
                    std::string(error != 0 ? std::string(" (") + std::strerror(error) + ")" : "") +
                    "; ending")
            .c_str());
    std::fflush(nullptr);
    // Not exit(): what atexit runs (the GL driver's) would reach for the lost connection again.
    _exit(1);
}

bool offersWhatItNeeds() {
    const char *name = std::getenv("WAYLAND_DISPLAY");
    std::string why;
    if (name == nullptr || *name == '\0' || connection(why) == nullptr) {
        return false;
    }
    eglStarted = eglStarted || egl::start(state.display, why);
    if (!eglStarted) {
        disconnect();
    }
    return eglStarted;
}

void initWindowSystem(int &, char **) {
    std::string why;
    if (connection(why) == nullptr) {
        endWith(why);
    }
    if (!eglStarted && !egl::start(state.display, why)) {
        endWith(why);
    }
    eglStarted = true;
}

bool enterGameMode(const char *, int &, int &) {
    return false;
}

void leaveGameMode() {}

int screenWidth() {
    const Output *output = shownOutput();
    return output != nullptr ? output->facts.width : 0;
}

int screenHeight() {
    const Output *output = shownOutput();
    return output != nullptr ? output->facts.height : 0;
}

// A full-screen toplevel on the output at (x, y) (else the first), undecorated: the viewer
// draws no decorations, and an xdg_toplevel has none the client does not draw. Returns once
// the first frame (black) is on it.
void createWindow(const char *title, int x, int y, int, int, bool) {
    window.output = outputNamed("");
    for (const std::unique_ptr<Output> &output : state.outputs) {
        if (output->facts.x == x && output->facts.y == y) {
            window.output = output.get();
            break;
        }
    }
    window.surface = wl_compositor_create_surface(globals.compositor);
    window.shellSurface = xdg_wm_base_get_xdg_surface(globals.wmBase, window.surface);
    xdg_surface_add_listener(window.shellSurface, &shellSurfaceListener, nullptr);
    window.toplevel = xdg_surface_get_toplevel(window.shellSurface);
    xdg_toplevel_add_listener(window.toplevel, &toplevelListener, nullptr);
    xdg_toplevel_set_title(window.toplevel, title);
    xdg_toplevel_set_app_id(window.toplevel, std::string(programName).c_str());
    xdg_toplevel_set_fullscreen(window.toplevel, window.output->output);
    watchSurfaceScale(window.surface, window.output);
    wl_surface_commit(window.surface);
    while (!window.configured) {
        if (wl_display_dispatch(state.display) < 0) {
            endOnLostConnection();
        }
    }
    std::string why;
    if (!egl::openWindow(window.surface, window.layout.width, window.layout.height, why)) {
        endWith(why);
    }
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    // Not one of the viewer's frames: no feedback, and the frames' numbers start after it.
    showFrame();
    roundTrip();
}

void askForFullScreen() {
    xdg_toplevel_set_fullscreen(window.toplevel, window.output->output);
    roundTrip();
}

bool askForFullScreenOn(const DesktopRect &target) {
    for (const std::unique_ptr<Output> &output : state.outputs) {
        const OutputFacts &facts = output->facts;
        if (facts.x == target.x && facts.y == target.y && facts.width == target.width &&
            facts.height == target.height) {
            window.output = output.get();
            askForFullScreen();
            return true;
        }
    }
    return false;
}

void takeKeyboardAndHidePointer() {
    // The compositor gives the keyboard to the window it has just made full screen; a
    // client cannot take it. The pointer is hidden whenever it enters the window.
    hidePointer();
}

void runMainLoop(const WindowCallbacks &callbacks) {
    window.resized = false;
    callbacks.reshape(window.layout.width, window.layout.height);
    for (;;) {
        dispatchWithoutWaiting();
        takeLayout();
        if (window.resized) {
            window.resized = false;
            callbacks.reshape(window.layout.width, window.layout.height);
        }
        for (const unsigned char key : takeTypedKeys(posix::clockNowNs())) {
            callbacks.keyboard(key, 0, 0);
        }
        callbacks.display();
    }
}

// The feedback is asked for before the swap, which commits the surface it tells of.
void swapBuffers() {
    askForPresentation(window.surface);
    showFrame();
}

void *overlayFont() {
    return &overlayFontToken;
}

void drawCharacter(void *, int character) {
    // GLUT's own 9x15 glyphs, from the table made from its drawing.
    drawOverlayGlyph(character);
}

DisplayServerFacts probeDisplayServer(const char *) {
    DisplayServerFacts facts;
    facts.waylandCompositor = true;
    std::string why;
    connection(why);
    for (const std::unique_ptr<Output> &output : state.outputs) {
        facts.outputNames.push_back(output->facts.name);
    }
    return facts;
}

bool lookAtCurrentWindow(WindowPlacement &placement) {
    if (!window.configured) {
        return false;
    }
    roundTrip();
    takeLayout();
    // Only a full-screen window's configured size is the output's own in surface coordinates.
    placement = {window.output->facts.x, window.output->facts.y,
                 window.layout.width,    window.layout.height,
                 window.fullScreen,      window.fullScreen && window.layout.compositorScales};
    return true;
}

std::vector<OutputFacts> listOutputs(const char *) {
    std::vector<OutputFacts> outputs;
    std::string why;
    if (connection(why) == nullptr) {
        return outputs;
    }
    for (const std::unique_ptr<Output> &output : state.outputs) {
        outputs.push_back(output->facts);
    }
    if (!outputs.empty()) {
        outputs.front().primary = true;
    }
    return outputs;
}

bool switchOutputMode(const char *, const OutputFacts &, const OutputMode &, std::string &why) {
    why = "a Wayland client cannot switch an output's mode";
    return false;
}

void restoreOutputMode() {}

std::string restoreModeLeftBehind(const char *) {
    return {};
}

RefreshFacts lookAtRefresh(const std::string &outputName) {
    RefreshFacts facts;
    const Output *output = outputName.empty() ? shownOutput() : outputNamed(outputName);
    if (output != nullptr) {
        facts.modePeriodNs = output->facts.current.periodNs;
        facts.outputName = output->facts.name;
    }
    // Also where the compositor offers no wp_presentation: the summary then says that the
    // compositor sent no presentation feedback.
    facts.presentation = true;
    return facts;
}

RefreshReading readRefreshCounter() {
    return {};
}

bool passSwapInterval(int interval) {
    return egl::passSwapInterval(interval);
}

} // namespace wayland
