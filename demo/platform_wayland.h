// SPDX-License-Identifier: MIT
// The Wayland backend (wayland::): the functions of platform.h it answers, and what its
// files share: the compositor connection and its globals (platform_wayland.cpp), the
// keyboard and pointer (platform_wayland_keys.cpp), presentation feedback
// (platform_wayland_presentation.cpp), the buffer's size at the output's scale
// (platform_wayland_scale.cpp) and GL through EGL (platform_egl.h).
//
// What it does not do: switch modes (no Wayland client can) or read a refresh counter (the
// compositor's presentation feedback tells of each frame instead).
#pragma once

#include "platform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct wl_display;
struct wl_output;
struct wl_registry;
struct wl_seat;
struct wl_surface;

namespace wayland {

// One wl_output as its events have described it.
struct Output {
    wl_output *output = nullptr;
    std::uint32_t globalName = 0;
    OutputFacts facts; // the size is the current mode's, in pixels
    int scale = 1;
};

// The compositor connection and the outputs it lists, in the order it announced them.
struct Connection {
    wl_display *display = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;
};

// A wl_output the registry announced (global `name`, offered at `version`), bound and
// listened to; named wl_output-INDEX until the compositor names it (platform_wayland_outputs.cpp).
std::unique_ptr<Output> bindOutput(wl_registry *registry, std::uint32_t name, std::uint32_t version,
                                   std::size_t index);

// The connection, made at the first call; null where the compositor cannot be reached or
// lacks what the backend needs (wl_compositor, xdg_wm_base, wl_seat, a wl_output). `why`
// then says why.
Connection *connection(std::string &why);

// Ends the run over a connection that broke: one line on standard error, status 1.
[[noreturn]] void endOnLostConnection();

// Whether WAYLAND_DISPLAY is set and the compositor offers what the backend needs, EGL
// included.
bool offersWhatItNeeds();

void initWindowSystem(int &argc, char **argv);
bool enterGameMode(const char *modeString, int &width, int &height);
void leaveGameMode();
int screenWidth();
int screenHeight();
void createWindow(const char *title, int x, int y, int width, int height, bool unframed);
void askForFullScreen();
bool askForFullScreenOn(const DesktopRect &target);
void takeKeyboardAndHidePointer();
void runMainLoop(const WindowCallbacks &callbacks);
void swapBuffers();
void *overlayFont();
void drawCharacter(void *font, int character);
DisplayServerFacts probeDisplayServer(const char *displayName);
bool lookAtCurrentWindow(WindowPlacement &placement);
std::vector<OutputFacts> listOutputs(const char *displayName);
bool switchOutputMode(const char *displayName, const OutputFacts &output, const OutputMode &mode,
                      std::string &why);
void restoreOutputMode();
std::string restoreModeLeftBehind(const char *displayName);
RefreshFacts lookAtRefresh(const std::string &outputName);
RefreshReading readRefreshCounter();
bool nextPresentation(PresentationEvent &event);
bool passSwapInterval(int interval);

// platform_wayland_keys.cpp: the seat's keyboard and pointer.

// Listens to the seat: keys become the characters GLUT would hand the keyboard callback.
void watchSeat(wl_seat *seat);

// Hides the pointer over the window from now on.
void hidePointer();

// The characters typed since the last call, repeats due by nowNs included.
std::vector<unsigned char> takeTypedKeys(std::uint64_t nowNs);

// The character a key's symbol and its text stand for, as GLUT hands it (Escape is 27);
// 0 for a key that types none the viewer could take. utf32 is what xkbcommon makes of the
// key with the modifiers held.
unsigned char keyCharacter(std::uint32_t keysym, std::uint32_t utf32);

// platform_wayland_scale.cpp: the buffer at the scale of the output the surface is on.

// What decides the window's buffer.
struct ScaleFacts {
    int surfaceWidth = 0;  // the configured size in surface coordinates; 0 where the compositor
    int surfaceHeight = 0; // leaves it to the client
    int outputScale = 1;   // wl_output.scale of the output the surface is on
    // wp_fractional_scale_v1's preferred scale in 120ths; 0 before the compositor tells one.
    std::uint32_t preferredScale = 0;
    bool fractional = false; // wp_fractional_scale_v1 and wp_viewporter are both bound
    int modeWidth = 0;       // the output's current mode, in pixels
    int modeHeight = 0;
};

// How the surface takes its buffer.
struct BufferLayout {
    int width = 0; // the buffer, in pixels
    int height = 0;
    int bufferScale = 1; // wl_surface.set_buffer_scale
    // wp_viewport.set_destination to the surface size, where the scale is fractional.
    bool viewport = false;
    int destinationWidth = 0;
    int destinationHeight = 0;
    // The output is scaled and the buffer is not its mode's size: the compositor scales the
    // picture, and texels do not land one to one on its pixels.
    bool compositorScales = false;

    friend bool operator==(const BufferLayout &, const BufferLayout &) = default;
};

// The buffer for `facts`: the surface size times the integer scale with that buffer scale, or
// times the fractional one (rounded half away from zero) at buffer scale 1 through the
// viewport. A surface size of 0 is the mode's size at that scale.
BufferLayout bufferLayout(const ScaleFacts &facts);

// Binds the global `name` where it is wp_viewporter or wp_fractional_scale_manager_v1 (the
// first of each); false, with nothing bound, for any other.
bool bindScaleGlobal(wl_registry *registry, std::uint32_t name, const char *interface,
                     std::uint32_t version);

// Forgets those globals and the surface watched, with the connection they came on.
void forgetScaleGlobals();

// Watches `surface` for the outputs it enters and, where both globals are bound, for the
// compositor's preferred fractional scale. Until it enters one, it counts as on `asked`.
void watchSurfaceScale(wl_surface *surface, Output *asked);

// The output the surface is on: the one it entered last and has not left, else the one asked
// for. Forgets `gone`, an output the compositor has removed.
Output *surfaceOutput();
void forgetOutput(const Output *gone);

// The layout for the surface size configured, on the output the surface is on.
BufferLayout surfaceLayout(int surfaceWidth, int surfaceHeight);

// Sets the buffer scale and the viewport's destination of `layout`; they take effect with the
// next buffer committed.
void applyLayout(const BufferLayout &layout);

// platform_wayland_presentation.cpp: presentation feedback.

// Binds the global `name` where it is the compositor's wp_presentation (the first one);
// false, with nothing bound, for any other.
bool bindPresentation(wl_registry *registry, std::uint32_t name, const char *interface,
                      std::uint32_t version);

// Forgets wp_presentation and what it told, with the connection it came on.
void forgetPresentation();

// Numbers the buffer swap about to be made (from 1) and, where the compositor offers
// wp_presentation, asks what becomes of it: call before each of the viewer's swaps, which
// commit `surface`.
void askForPresentation(wl_surface *surface);

} // namespace wayland
