// SPDX-License-Identifier: MIT
// The Wayland backend's table: the compositor's window, outputs and keys (wayland::), GL
// through EGL, and the POSIX clock.
//
// What it does not do: any of the work itself (platform_wayland.cpp,
// platform_wayland_keys.cpp, platform_egl.cpp, clock_posix.cpp).
#include "clock_posix.h"
#include "platform_backend.h"
#include "platform_wayland.h"

namespace wayland {

// The default wherever a compositor answers at WAYLAND_DISPLAY with what the backend needs
// (xdg-shell, a seat, an output, EGL with desktop OpenGL); else X11 follows.
extern const PlatformBackend backend = {
    "wayland",
    true,
    wayland::offersWhatItNeeds,
    wayland::initWindowSystem,
    wayland::enterGameMode,
    wayland::leaveGameMode,
    wayland::screenWidth,
    wayland::screenHeight,
    wayland::createWindow,
    wayland::askForFullScreen,
    wayland::askForFullScreenOn,
    wayland::takeKeyboardAndHidePointer,
    wayland::runMainLoop,
    wayland::swapBuffers,
    wayland::overlayFont,
    wayland::drawCharacter,
    wayland::probeDisplayServer,
    wayland::lookAtCurrentWindow,
    wayland::listOutputs,
    wayland::switchOutputMode,
    wayland::restoreOutputMode,
    wayland::restoreModeLeftBehind,
    wayland::lookAtRefresh,
    posix::clockNowNs,
    wayland::readRefreshCounter,
    wayland::nextPresentation,
    wayland::passSwapInterval,
};

} // namespace wayland
