// SPDX-License-Identifier: MIT
// The X11 backend's table: GLUT's window system, the X11 display and its RandR outputs, and
// presentation through GLX with the POSIX clock.
//
// What it does not do: any of the work itself (platform_glut.cpp, platform_x11.cpp,
// platform_randr.cpp, platform_glx.cpp, clock_posix.cpp).
#include "clock_posix.h"
#include "platform_backend.h"
#include "platform_glut.h"
#include "platform_glx.h"
#include "platform_x11.h"

namespace x11 {

// The fallback wherever nothing else serves: it needs nothing checked beforehand.
extern const PlatformBackend backend = {
    "x11",
    true,
    nullptr,
    glut::initWindowSystem,
    glut::enterGameMode,
    glut::leaveGameMode,
    glut::screenWidth,
    glut::screenHeight,
    glut::createWindow,
    glut::askForFullScreen,
    x11::askForFullScreenOn,
    x11::takeKeyboardAndHidePointer,
    glut::runMainLoop,
    glut::swapBuffers,
    glut::overlayFont,
    glut::drawCharacter,
    x11::probeDisplayServer,
    x11::lookAtCurrentWindow,
    x11::listOutputs,
    x11::switchOutputMode,
    x11::restoreOutputMode,
    x11::restoreModeLeftBehind,
    glx::lookAtRefresh,
    posix::clockNowNs,
    glx::readRefreshCounter,
    glx::nextPresentation,
    glx::passSwapInterval,
};

} // namespace x11
