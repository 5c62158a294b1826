// SPDX-License-Identifier: MIT
// The backends of a Linux build, the default first: X11 (GLUT, X11, GLX), then Wayland
// (xdg-shell, EGL, xkbcommon).
//
// What it does not do: build the tables (platform_*_backend.cpp) or choose among them
// (backend_choice.h).
#include "platform_backend.h"

namespace x11 {
extern const PlatformBackend backend;
}
namespace wayland {
extern const PlatformBackend backend;
}

std::span<const PlatformBackend *const> platformBackends() {
    static const PlatformBackend *const backends[] = {&x11::backend, &wayland::backend};
    return backends;
}
