// SPDX-License-Identifier: MIT
// The Windows backend's display, window, output and presentation functions
// (platform_win32.cpp, platform_win32_outputs.cpp), as platform.h describes them.
//
// What it does not do: the window system (platform_glut.h).
#pragma once

#include "platform.h"

namespace win32 {

DisplayServerFacts probeDisplayServer(const char *displayName);
bool askForFullScreenOn(const DesktopRect &target);
bool lookAtCurrentWindow(WindowPlacement &placement);
void takeKeyboardAndHidePointer();
RefreshFacts lookAtRefresh(const std::string &outputName);
std::uint64_t clockNowNs();
RefreshReading readRefreshCounter();
bool nextPresentation(PresentationEvent &event);
bool passSwapInterval(int interval);

// platform_win32_outputs.cpp
std::vector<OutputFacts> listOutputs(const char *displayName);
bool switchOutputMode(const char *displayName, const OutputFacts &output, const OutputMode &mode,
                      std::string &why);
void restoreOutputMode();
std::string restoreModeLeftBehind(const char *displayName);

} // namespace win32
