// SPDX-License-Identifier: MIT
// Presentation through GLX (platform_glx.cpp): the refresh facts, the refresh counter and
// the swap interval, as platform.h describes them.
//
// What it does not do: the clock (clock_posix.h).
#pragma once

#include "platform.h"

namespace glx {

RefreshFacts lookAtRefresh(const std::string &outputName);
RefreshReading readRefreshCounter();
bool nextPresentation(PresentationEvent &event);
bool passSwapInterval(int interval);

} // namespace glx
