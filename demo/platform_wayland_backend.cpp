// The Wayland backend's table: the compositor's window, outputs and keys (wayland::), GL
// through EGL, and the POSIX clock.
//
// What it does not do: any of the work itself (platform_wayland.cpp,
// platform_wayland_keys.cpp, platform_egl.cpp, clock_posix.cpp).
#include "clock_posix.h"
#include "platform_backend.h"
#include "platform_wayland.h"

namespace wayland {

// Out of the default choice until the viewer's end-to-end suites pass on it: only
// --backend wayland or MOIRAVEL_BACKEND=wayland picks it, and the default stays X11.
extern const PlatformBackend backend = {
    "wayland",
    false,
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
