// SPDX-License-Identifier: MIT
// Windows: the display, the presentation clock and the swap interval. The window system is
// GLUT's, as on X11 (platform_glut.cpp); the outputs and their modes are in
// platform_win32_outputs.cpp.
//
// What it does not do: look at the display before game mode (Windows has no X server to ask;
// game mode is requested wherever the desktop is one output), or read a refresh counter (WGL
// has none; frame times are judged against the display mode's rate).
#include "platform_win32.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "gl_entry/lookup.h"

#include <GL/gl.h>

#include <cstring>

namespace win32 {

DisplayServerFacts probeDisplayServer(const char *) {
    return {};
}

namespace {

// GLUT's window: the one whose device context is current.
HWND currentWindow() {
    const HDC context = wglGetCurrentDC();
    return context != nullptr ? WindowFromDC(context) : nullptr;
}

} // namespace

bool askForFullScreenOn(const DesktopRect &) {
    return false;
}

bool lookAtCurrentWindow(WindowPlacement &placement) {
    const HWND window = currentWindow();
    RECT client{};
    POINT origin{0, 0};
    if (window == nullptr || !GetClientRect(window, &client) || !ClientToScreen(window, &origin)) {
        return false;
    }
    // The drawable part, on the desktop; Windows keeps no full-screen state for a window.
    placement.x = static_cast<int>(origin.x);
    placement.y = static_cast<int>(origin.y);
    placement.width = static_cast<int>(client.right - client.left);
    placement.height = static_cast<int>(client.bottom - client.top);
    placement.fullScreenState = false;
    return true;
}

void takeKeyboardAndHidePointer() {
    const HWND window = currentWindow();
    if (window == nullptr) {
        return;
    }
    SetForegroundWindow(window);
    SetFocus(window);
    // The pointer is shown while this thread's display count is 0 or more, whatever cursor
    // the window sets.
    while (ShowCursor(FALSE) >= 0) {
    }
}

namespace {

std::uint64_t performanceCounterRate() {
    LARGE_INTEGER rate;
    QueryPerformanceFrequency(&rate);
    return rate.QuadPart > 0 ? static_cast<std::uint64_t>(rate.QuadPart) : 1;
}

} // namespace

RefreshFacts lookAtRefresh(const std::string &outputName) {
    RefreshFacts facts;
    facts.outputName = outputName;
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    // The primary output where none is named. A frequency of 0 or 1 stands for the
    // hardware's default: not known.
    if (EnumDisplaySettingsA(outputName.empty() ? nullptr : outputName.c_str(),
                             ENUM_CURRENT_SETTINGS, &mode) &&
        mode.dmDisplayFrequency > 1) {
        facts.modePeriodNs = ratePeriodNs(mode.dmDisplayFrequency, 1);
    }
    return facts;
}

std::uint64_t clockNowNs() {
    static const std::uint64_t rate = performanceCounterRate();
    LARGE_INTEGER ticks;
    QueryPerformanceCounter(&ticks);
    const auto count = static_cast<std::uint64_t>(ticks.QuadPart);
    // In two parts, so that the product cannot overflow.
    return count / rate * nsPerSecond + count % rate * nsPerSecond / rate;
}

RefreshReading readRefreshCounter() {
    return {};
}

bool nextPresentation(PresentationEvent &) {
    return false;
}

bool passSwapInterval(int interval) {
    const char *extensions = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
    if (extensions == nullptr || std::strstr(extensions, "WGL_EXT_swap_control") == nullptr) {
        return false;
    }
    using SwapIntervalProc = BOOL(WINAPI *)(int);
    // Looked up anew on every use, so that the driver of the current context answers.
    auto swapInterval =
        reinterpret_cast<SwapIntervalProc>(gl_entry::lookupEntryPoint("wglSwapIntervalEXT"));
    if (swapInterval == nullptr) {
        return false;
    }
    swapInterval(interval);
    return true;
}

} // namespace win32
