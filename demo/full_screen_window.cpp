#include "full_screen_window.h"

#include <GL/freeglut.h>

#ifndef _WIN32
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <thread>
#endif

PlacementStep nextPlacementStep(const WindowPlacement &placement, int screenWidth, int screenHeight,
                                bool timeUp) {
    const bool covers = placement.x == 0 && placement.y == 0 && placement.width == screenWidth &&
                        placement.height == screenHeight;
    if (covers || (timeUp && placement.fullScreenState)) {
        // A window the window manager already calls full screen is never asked again: GLUT's
        // request toggles the state and would take it back.
        return PlacementStep::Done;
    }
    return timeUp ? PlacementStep::AskForFullScreen : PlacementStep::Wait;
}

namespace {

void openAndAsk(const char *title, int width, int height) {
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(width > 0 ? width : 300, height > 0 ? height : 300);
    glutCreateWindow(title);
    glutFullScreen();
}

} // namespace

#ifdef _WIN32

void openFullScreenWindow(const char *title, int width, int height, FullScreenWay) {
    openAndAsk(title, width, height);
}

#else

namespace {

// How long the window manager gets to put the unframed window over the screen, and how
// often it is looked at meanwhile. weston places it within a few milliseconds of mapping.
constexpr auto placementTimeout = std::chrono::seconds(1);
constexpr auto placementPoll = std::chrono::milliseconds(10);

// The window manager's list of the window's states, and the entry for full screen.
struct StateAtoms {
    Atom state = None;
    Atom fullScreen = None;
};

bool listsFullScreenState(Display *display, Window window, const StateAtoms &atoms) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char *data = nullptr;
    bool listed = false;
    if (XGetWindowProperty(display, window, atoms.state, 0, 64, False, XA_ATOM, &type, &format,
                           &count, &remaining, &data) == Success &&
        data != nullptr) {
        if (type == XA_ATOM && format == 32) {
            // Xlib hands 32-bit items back as longs.
            const auto *listedStates = reinterpret_cast<const Atom *>(data);
            for (unsigned long i = 0; i < count; ++i) {
                listed = listed || listedStates[i] == atoms.fullScreen;
            }
        }
        XFree(data);
    }
    return listed;
}

WindowPlacement lookAt(Display *display, Window window, const StateAtoms &atoms) {
    WindowPlacement placement;
    XWindowAttributes attributes;
    Window child = None;
    if (XGetWindowAttributes(display, window, &attributes) != 0) {
        placement.width = attributes.width;
        placement.height = attributes.height;
        XTranslateCoordinates(display, window, attributes.root, 0, 0, &placement.x, &placement.y,
                              &child);
    }
    placement.fullScreenState = listsFullScreenState(display, window, atoms);
    return placement;
}

} // namespace

void openFullScreenWindow(const char *title, int width, int height, FullScreenWay way) {
    if (way == FullScreenWay::AskAfterOpening) {
        openAndAsk(title, width, height);
        return;
    }
    const int screenWidth = glutGet(GLUT_SCREEN_WIDTH);
    const int screenHeight = glutGet(GLUT_SCREEN_HEIGHT);
    // GLUT_BORDERLESS asks for no decorations (Motif hints) before the window is mapped; the
    // position and size go out as user-specified hints.
    glutInitDisplayMode(static_cast<unsigned>(glutGet(GLUT_INIT_DISPLAY_MODE)) | GLUT_BORDERLESS);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(screenWidth, screenHeight);
    glutCreateWindow(title);

    // GLUT has made the new window's context current and waited until the window was
    // mapped; its display connection and window are the current ones.
    Display *display = glXGetCurrentDisplay();
    const Window window = glXGetCurrentDrawable();
    if (display == nullptr || window == None) {
        glutFullScreen();
        return;
    }
    const StateAtoms atoms{XInternAtom(display, "_NET_WM_STATE", False),
                           XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False)};
    const auto deadline = std::chrono::steady_clock::now() + placementTimeout;
    for (;;) {
        const bool timeUp = std::chrono::steady_clock::now() >= deadline;
        switch (
            nextPlacementStep(lookAt(display, window, atoms), screenWidth, screenHeight, timeUp)) {
        case PlacementStep::Done:
            return;
        case PlacementStep::AskForFullScreen:
            glutFullScreen();
            return;
        case PlacementStep::Wait:
            std::this_thread::sleep_for(placementPoll);
            break;
        }
    }
}

#endif
