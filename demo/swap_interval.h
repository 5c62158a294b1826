// SPDX-License-Identifier: MIT
// Switching the buffer-swap interval of the current window between 1 and 0.
#pragma once

#include <cstdint>

// Flips demoState.swapIntervalOn and, where the platform offers a swap-control
// extension, asks the driver for the new interval. Needs a current context.
void toggleSwapInterval();

// Whether the last toggle passed its interval to a driver. False where the
// platform offers no swap control for that value: the flag then records what
// was asked for, not what is in force.
bool swapIntervalReachedDriver();

// The GLX swap-control extensions, in the order they are preferred.
enum class SwapControl { none, glxExt, glxMesa, glxSgi };

// The new value of the flag: 0 becomes 1, anything else 0.
std::int32_t flippedSwapInterval(std::int32_t current);

// Which GLX extension to use, by plain substring search of the GLX extension
// string: EXT, then MESA, then SGI. SGI cannot set interval 0, so it is not
// chosen for that value.
SwapControl chooseGlxSwapControl(const char *glxExtensions, std::int32_t interval);
