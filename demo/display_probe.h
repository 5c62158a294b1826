// SPDX-License-Identifier: MIT
// Display probe: before start-up asks GLUT for game mode, looks at the X server
// to decide whether the request is safe and meaningful, or whether the
// full-screen window should be opened straight away.
//
// What it does not do: change any display setting, or talk to GLUT. The X
// server is looked at over a connection of its own that is closed again before
// game mode is requested.
#pragma once

#include <string>
#include <vector>

// What came of asking the server for its list of video modes (the
// XFree86-VidModeExtension, through which GLUT switches the screen mode).
enum class ModeListing {
    NotProbed, // no answer: the probe could not connect, or did not ask
    Missing,   // the server has no such extension
    Works,     // the server listed its modes
    Fails,     // an X error, or the connection was cut while asking
};

// The facts about the X server that the choice rests on.
struct DisplayServerFacts {
    bool xwaylandExtension = false;       // the server announces the XWAYLAND extension
    std::vector<std::string> outputNames; // RandR output names, e.g. "XWAYLAND0", "DP-1"
    ModeListing modeListing = ModeListing::NotProbed;
    bool waylandCompositor = false; // the display is a Wayland compositor, reached natively
};

// True when the server is XWayland: it announces the XWAYLAND extension, or an
// output of it is named "XWAYLAND…" (releases without the extension).
bool runsUnderXwayland(const DisplayServerFacts &facts);

// True when the compositor, not the viewer, decides where windows go and the display mode
// cannot be switched by a client: under XWayland, or on a Wayland compositor natively.
bool compositorPlacesWindows(const DisplayServerFacts &facts);

struct DisplayChoice {
    bool gameMode = true; // request GLUT game mode; otherwise open the full-screen window
    std::string warning;  // one line for standard error, without its line end; may be empty
};

// Game mode is requested, as on any ordinary X server, unless the server is
// XWayland (it can only emulate a mode change by scaling the window, and some
// releases end the connection when asked for their modes) or fails to list its
// video modes, or is a Wayland compositor (no client switches its modes; the window goes
// full screen on the output, and its buffer is the output's size in pixels, so no warning).
// A server without the mode extension still gets the request:
// GLUT then fails cleanly and start-up falls back to the window itself.
DisplayChoice chooseDisplayWindow(const DisplayServerFacts &facts);

// The display name GLUT will connect to: the value of the last "-display NAME"
// among the arguments, or nullptr (the DISPLAY environment variable). Must be
// read before glutInit, which removes the options it takes.
const char *displayArgument(int argc, char **argv);

// The facts come from probeDisplayServer (platform.h). On X11 it connects to the
// X server (nullptr: DISPLAY), and only asks for the video modes when the server
// is not XWayland; Windows has no X server to look at and gives the defaults,
// so game mode is always requested there.
