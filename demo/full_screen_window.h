// SPDX-License-Identifier: MIT
// Full-screen window: opens the GLUT window that covers the screen when game
// mode is not used, and leaves its GL context current.
//
// On an ordinary X server the window opens at the origin and is then asked to
// go full screen through GLUT, as it always has. Under XWayland the
// compositor's window manager places X windows, and asking once the window is
// up is not enough everywhere: weston 11 and later make such a window full
// screen where its frame was, which shifts the picture by the frame's width.
// There the window opens as full-screen windows did before window managers
// took requests for it: undecorated, at the origin, the size of the screen.
// Window managers put such a window over the whole screen by themselves; only
// when this one has not done so after a short wait is full screen asked for.
//
// A window on one output of several opens the same way, undecorated at that output's
// rectangle of the desktop. weston makes such a window full screen on that output by
// itself; mutter only maximizes it there, so where the window manager takes a request for
// full screen on one monitor (_NET_WM_FULLSCREEN_MONITORS) and does not list the window as
// full screen yet, it is asked for that. Only a window manager that neither places the
// window nor takes that request gets GLUT's plain request. Such a window then takes the
// keyboard and hides the pointer, as game mode does.
//
// What it does not do: change the video mode, move or resize the window once
// the window manager has placed it, or judge how texels land (start-up warns).
#pragma once

#include <string>

enum class FullScreenWay {
    AskAfterOpening,    // an ordinary X server (and Windows)
    ScreenSizedUnframed // under a compositor's window manager (XWayland)
};

// Where the window manager has put the window, as the X server sees it.
struct WindowPlacement {
    int x = 0; // the window's origin on the screen
    int y = 0;
    int width = 0;
    int height = 0;
    bool fullScreenState = false; // the window manager lists it as full screen
    // The compositor scales the window's buffer (width x height pixels) to the output: its
    // scale is one that the buffer could not follow.
    bool compositorScales = false;
};

// A rectangle of the desktop: the whole screen, or one output's part of it.
struct DesktopRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Whether the window lies on the target and the window manager lists it as full screen:
// a request for full screen on the target's monitor has taken effect.
bool fullScreenOn(const WindowPlacement &placement, const DesktopRect &target);

// The warning (without the program's name) for a window that the window manager put
// elsewhere than on the output `outputName` at `target`, or at another size, or whose buffer
// the compositor scales; empty where it lies exactly there.
std::string misplacedWindowWarning(const WindowPlacement &placement, const DesktopRect &target,
                                   const std::string &outputName);

enum class PlacementStep {
    Done,             // the window covers the target, or the window manager calls it full screen
    Wait,             // look again: the window manager may not have placed it yet
    AskForFullScreen, // time is up and the window covers less than the screen
};

// What to do after a look at the window's placement; `timeUp`: the wait is over.
PlacementStep nextPlacementStep(const WindowPlacement &placement, const DesktopRect &target,
                                bool timeUp);

// Opens the window titled `title`, `width` x `height` where the window is asked
// to go full screen after opening. Returns once the window is up and placed.
void openFullScreenWindow(const char *title, int width, int height, FullScreenWay way);

// Opens the window titled `title` over `target`, one output's rectangle, takes the keyboard
// and hides the pointer. Returns once the window is up and placed, with where it lies (the
// target itself where that cannot be told).
WindowPlacement openWindowOnOutput(const char *title, const DesktopRect &target);
