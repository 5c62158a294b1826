// SPDX-License-Identifier: MIT
// A backend of the platform layer: one table of the functions platform.h declares, so that
// one binary can carry several (X11 and Wayland on Linux) and choose one at run time. The
// free functions of platform.h forward to the backend in use (platform_dispatch.cpp).
//
// Each backend's table is built in a small file of its own (platform_x11_backend.cpp,
// platform_win32_backend.cpp, ...) from functions in namespaces of their own; the build lists
// the backends it carries in one file per system (platform_backends_*.cpp).
//
// What it does not do: choose a backend (backend_choice.h) or know any system's calls.
#pragma once

#include "platform.h"

#include <span>

struct PlatformBackend {
    const char *name; // as --backend and MOIRAVEL_BACKEND spell it

    // Whether this backend is taken when none is asked for by name: of those in the default
    // choice, the first whose offersWhatItNeeds finds what it needs, else the first without
    // one (backend_choice.h).
    bool inDefaultChoice;
    bool (*offersWhatItNeeds)();

    // The window system.
    void (*initWindowSystem)(int &argc, char **argv);
    bool (*enterGameMode)(const char *modeString, int &width, int &height);
    void (*leaveGameMode)();
    int (*screenWidth)();
    int (*screenHeight)();
    void (*createWindow)(const char *title, int x, int y, int width, int height, bool unframed);
    void (*askForFullScreen)();
    bool (*askForFullScreenOn)(const DesktopRect &target);
    void (*takeKeyboardAndHidePointer)();
    void (*runMainLoop)(const WindowCallbacks &callbacks);
    void (*swapBuffers)();
    void *(*overlayFont)();
    void (*drawCharacter)(void *font, int character);

    // The display and its windows.
    DisplayServerFacts (*probeDisplayServer)(const char *displayName);
    bool (*lookAtCurrentWindow)(WindowPlacement &placement);

    // The display's outputs.
    std::vector<OutputFacts> (*listOutputs)(const char *displayName);
    bool (*switchOutputMode)(const char *displayName, const OutputFacts &output,
                             const OutputMode &mode, std::string &why);
    void (*restoreOutputMode)();
    std::string (*restoreModeLeftBehind)(const char *displayName);

    // Presentation.
    RefreshFacts (*lookAtRefresh)(const std::string &outputName);
    std::uint64_t (*clockNowNs)();
    RefreshReading (*readRefreshCounter)();
    bool (*nextPresentation)(PresentationEvent &event);
    bool (*passSwapInterval)(int interval);
};

// The backends this build carries, the default first.
std::span<const PlatformBackend *const> platformBackends();

// Makes `backend` the one platform.h's functions forward to from now on. Until a backend
// is chosen, the first of platformBackends() serves.
void usePlatformBackend(const PlatformBackend &backend);

// The backend platform.h's functions forward to.
const PlatformBackend &currentPlatformBackend();
