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
// rectangle of the desktop, and is asked for full screen only when the window manager has
// not put it there by itself; a window manager makes a window full screen on the output it
// stands on. Such a window then takes the keyboard and hides the pointer, as game mode does.
//
// What it does not do: change the video mode, move or resize the window once
// the window manager has placed it, or judge how texels land (start-up warns).
#pragma once

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
};

// A rectangle of the desktop: the whole screen, or one output's part of it.
struct DesktopRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

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
// and hides the pointer. Returns once the window is up and placed.
void openWindowOnOutput(const char *title, const DesktopRect &target);
