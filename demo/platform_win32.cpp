// Windows: the display, the presentation clock and the swap interval. The window system is
// GLUT's, as on X11 (platform_glut.cpp).
//
// What it does not do: look at the display before game mode (Windows has no X server to ask;
// game mode is always requested), tell where a window landed, or read a refresh counter
// (WGL has none; frame times are judged against the display mode's rate).
#include "platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "gl_entry/lookup.h"

#include <GL/gl.h>

#include <cstring>

DisplayServerFacts probeDisplayServer(const char *) {
    return {};
}

bool lookAtCurrentWindow(WindowPlacement &) {
    return false;
}

void takeKeyboardAndHidePointer() {}

bool askForFullScreenOn(const DesktopRect &) {
    return false;
}

std::vector<OutputFacts> listOutputs(const char *) {
    return {};
}

bool switchOutputMode(const char *, const OutputFacts &, const OutputMode &, std::string &why) {
    why = "not built yet";
    return false;
}

void restoreOutputMode() {}

std::string restoreModeLeftBehind(const char *) {
    return {};
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
    // A frequency of 0 or 1 stands for the hardware's default: not known.
    if (EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode) &&
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

std::uint64_t readRefreshCounter() {
    return 0;
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
