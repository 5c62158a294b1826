// SPDX-License-Identifier: MIT
// The Windows backend's table: GLUT's window system with Windows' own displays, outputs and
// presentation (WGL's swap control, the performance counter). It is the only backend of a
// Windows build, so it is also that build's list of backends.
//
// What it does not do: any of the work itself (platform_glut.cpp, platform_win32.cpp,
// platform_win32_outputs.cpp).
#include "platform_backend.h"
#include "platform_glut.h"
#include "platform_win32.h"

namespace win32 {

extern const PlatformBackend backend = {
    "win32",
    true,
    nullptr,
    glut::initWindowSystem,
    glut::enterGameMode,
    glut::leaveGameMode,
    glut::screenWidth,
    glut::screenHeight,
    glut::createWindow,
    glut::askForFullScreen,
    win32::askForFullScreenOn,
    win32::takeKeyboardAndHidePointer,
    glut::runMainLoop,
    glut::swapBuffers,
    glut::overlayFont,
    glut::drawCharacter,
    win32::probeDisplayServer,
    win32::lookAtCurrentWindow,
    win32::listOutputs,
    win32::switchOutputMode,
    win32::restoreOutputMode,
    win32::restoreModeLeftBehind,
    win32::lookAtRefresh,
    win32::clockNowNs,
    win32::readRefreshCounter,
    win32::nextPresentation,
    win32::passSwapInterval,
};

} // namespace win32

std::span<const PlatformBackend *const> platformBackends() {
    static const PlatformBackend *const backends[] = {&win32::backend};
    return backends;
}
