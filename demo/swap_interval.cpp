// SPDX-License-Identifier: MIT
#include "swap_interval.h"

#include "platform.h"
#include "state.h"

#include <cstring>

namespace {
bool lastRequestReachedDriver = false;
}

bool swapIntervalReachedDriver() {
    return lastRequestReachedDriver;
}

std::int32_t flippedSwapInterval(std::int32_t current) {
    return current == 0 ? 1 : 0;
}

SwapControl chooseGlxSwapControl(const char *glxExtensions, std::int32_t interval) {
    if (glxExtensions == nullptr) {
        return SwapControl::none;
    }
    if (std::strstr(glxExtensions, "GLX_EXT_swap_control")) {
        return SwapControl::glxExt;
    }
    if (std::strstr(glxExtensions, "GLX_MESA_swap_control")) {
        return SwapControl::glxMesa;
    }
    if (interval > 0 && std::strstr(glxExtensions, "GLX_SGI_swap_control")) {
        return SwapControl::glxSgi;
    }
    return SwapControl::none;
}

void toggleSwapInterval() {
    demoState.swapIntervalOn = flippedSwapInterval(demoState.swapIntervalOn);
    lastRequestReachedDriver = passSwapInterval(demoState.swapIntervalOn);
}
