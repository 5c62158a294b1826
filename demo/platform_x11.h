// SPDX-License-Identifier: MIT
// The X11 backend's display, window and output functions (platform_x11.cpp; the mode switch
// and its restoring in platform_randr.cpp), as platform.h describes them.
//
// What it does not do: the window system (platform_glut.h) or presentation (platform_glx.h).
#pragma once

#include "platform.h"

#include <xcb/randr.h>

namespace x11 {

DisplayServerFacts probeDisplayServer(const char *displayName);
bool lookAtCurrentWindow(WindowPlacement &placement);
bool askForFullScreenOn(const DesktopRect &target);
void takeKeyboardAndHidePointer();
std::vector<OutputFacts> listOutputs(const char *displayName);

// A mode as RandR describes it in the screen's resources: its id, size and refresh period.
OutputMode modeOf(const xcb_randr_mode_info_t &info);

// platform_randr.cpp
bool switchOutputMode(const char *displayName, const OutputFacts &output, const OutputMode &mode,
                      std::string &why);
void restoreOutputMode();
std::string restoreModeLeftBehind(const char *displayName);

} // namespace x11
