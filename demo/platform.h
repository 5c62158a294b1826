// SPDX-License-Identifier: MIT
// The platform layer: the few things the viewer needs that differ by system. The viewer's
// own files call these and nothing of GLUT, X11, GLX or Windows directly.
//
// Each function is defined once, in platform_dispatch.cpp, and forwards to the backend chosen
// at start-up (platform_backend.h, backend_choice.h). A backend provides every function below,
// in files of its own, each in a namespace of its own, that the build chooses:
//   - the window system: platform_glut.cpp (glut::, GLUT, on X11 and on Windows);
//   - the display and its windows: platform_x11.cpp with platform_randr.cpp (x11::), or
//     platform_win32.cpp with platform_win32_outputs.cpp (win32::);
//   - presentation (clock, refresh counter, refresh rate, swap control): platform_glx.cpp
//     (glx::) with clock_posix.cpp (posix::), or platform_win32.cpp.
// The Wayland backend has all three in files of its own: platform_wayland.cpp with
// platform_wayland_keys.cpp and platform_wayland_presentation.cpp (wayland::) and
// platform_egl.cpp (egl::). One small file per
// backend builds its table from these (platform_x11_backend.cpp, platform_wayland_backend.cpp,
// platform_win32_backend.cpp).
// Entry points are looked up by name through gl_entry::lookupEntryPoint (gl_entry/lookup.h),
// the entry-point table's own lookup, and nothing else. The image reader's file access is
// apart (file_map.h): it needs no display.
#pragma once

#include "display_probe.h"
#include "full_screen_window.h"
#include "outputs.h"
#include "refresh_check.h"

#include <cstdint>
#include <string>
#include <vector>

// ---- The window system ----

// Takes the window system's own options out of the arguments and asks for double-buffered
// RGB windows with a depth buffer.
void initWindowSystem(int &argc, char **argv);

// Switches the display to modeString ("1024x768:32") with a window over it and the window's
// context current. True when that window is up; width and height are then the mode's size.
bool enterGameMode(const char *modeString, int &width, int &height);

// Puts the display mode back; nothing when game mode was not entered.
void leaveGameMode();

// The size of the screen that windows open on.
int screenWidth();
int screenHeight();

// Opens a window titled title at (x, y), width x height, and makes its context current;
// returns once it is mapped. Unframed: without decorations, the position and size given as
// the user's own.
void createWindow(const char *title, int x, int y, int width, int height, bool unframed);

// Asks the window manager to make the current window full screen.
void askForFullScreen();

// Asks the window manager to make the current window full screen on the monitor whose
// rectangle is `target` (_NET_WM_FULLSCREEN_MONITORS). False, with nothing asked, where the
// window manager takes no such request or no monitor lies exactly on target.
bool askForFullScreenOn(const DesktopRect &target);

// Gives the current window the keyboard, so that keys reach it without a click, and hides
// the pointer over it, as game mode does.
void takeKeyboardAndHidePointer();

// The callbacks of the main loop: display also serves as the idle callback, so that frames
// follow each other with no pause.
struct WindowCallbacks {
    void (*display)();
    void (*reshape)(int width, int height);
    void (*keyboard)(unsigned char key, int x, int y);
};

// Calls the callbacks until the program ends.
void runMainLoop(const WindowCallbacks &callbacks);

// Shows the frame drawn last in the current window.
void swapBuffers();

// The overlay's bitmap font (9 by 15 pixels), and one character of a font drawn at the raster
// position, which it then advances.
void *overlayFont();
void drawCharacter(void *font, int character);

// ---- The display and its windows ----

// Connects to the display (nullptr: the default one) and gathers the facts that decide
// whether game mode is asked for. Survives errors and a lost connection: what it could not
// learn stays at its default.
DisplayServerFacts probeDisplayServer(const char *displayName);

// Where the window manager has put the current window. False where that cannot be told,
// or there is no window.
bool lookAtCurrentWindow(WindowPlacement &placement);

// ---- The display's outputs ----

// The outputs that show part of the desktop now, in the display's own order. Empty where
// the display cannot tell its outputs apart: the screen is then one output, as before.
std::vector<OutputFacts> listOutputs(const char *displayName);

// Switches `output` alone to `mode`; the other outputs keep theirs. Where the switch would
// outlast the process (X11), what it takes to switch back is recorded first, in a file, so
// that the next start can mend a run that was killed; then every way this process ends puts
// the mode back: exit (Escape, a failed image load),
// SIGINT, SIGTERM and SIGHUP, and a lost connection to the display. False, with nothing
// changed, where the mode cannot be switched; `why` then says why.
bool switchOutputMode(const char *displayName, const OutputFacts &output, const OutputMode &mode,
                      std::string &why);

// Puts back the mode that switchOutputMode changed; nothing when none was changed, or it
// has been put back already.
void restoreOutputMode();

// Puts back a mode that an earlier run left behind (it ended before it could), as its record
// says. Returns the line to print on standard error, or an empty string where there was
// nothing to restore.
std::string restoreModeLeftBehind(const char *displayName);

// ---- Presentation ----

// What the display tells of its refresh (refresh_check.h), with the window's context current:
// the mode's rate is that of the output named outputName (empty: the primary output).
RefreshFacts lookAtRefresh(const std::string &outputName);

// A monotonic clock in ns; only differences mean anything.
std::uint64_t clockNowNs();

// The display's refresh counter as lookAtRefresh found it, and when it last advanced (OML's
// UST, in ns) where the platform tells.
struct RefreshReading {
    std::uint64_t counter = 0; // 0 without a counter
    std::uint64_t timeNs = 0;  // 0: not told
};
RefreshReading readRefreshCounter();

// The next presentation the compositor has told of since the last call, where lookAtRefresh
// said frames are judged from presentation feedback; false when there is none (yet). The
// event's frame counts the buffer swaps from 1; its interval is left for the caller.
bool nextPresentation(PresentationEvent &event);

// Passes the swap interval (0 or 1) to the driver, for the current window. False where no
// swap control takes that value.
bool passSwapInterval(int interval);
