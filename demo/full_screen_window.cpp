#include "full_screen_window.h"

#include "platform.h"

#include <chrono>
#include <thread>

PlacementStep nextPlacementStep(const WindowPlacement &placement, const DesktopRect &target,
                                bool timeUp) {
    const bool covers = placement.x == target.x && placement.y == target.y &&
                        placement.width == target.width && placement.height == target.height;
    if (covers || (timeUp && placement.fullScreenState)) {
        // A window the window manager already calls full screen is never asked again: GLUT's
        // request toggles the state and would take it back.
        return PlacementStep::Done;
    }
    return timeUp ? PlacementStep::AskForFullScreen : PlacementStep::Wait;
}

namespace {

// How long the window manager gets to put the unframed window over the screen, and how
// often it is looked at meanwhile. weston places it within a few milliseconds of mapping.
constexpr auto placementTimeout = std::chrono::seconds(1);
constexpr auto placementPoll = std::chrono::milliseconds(10);

// Opens the unframed window over target and waits for the window manager to place it; asks
// for full screen when it has not put the window there in time.
void openUnframedOver(const char *title, const DesktopRect &target) {
    createWindow(title, target.x, target.y, target.width, target.height, true);
    const auto deadline = std::chrono::steady_clock::now() + placementTimeout;
    for (;;) {
        const bool timeUp = std::chrono::steady_clock::now() >= deadline;
        WindowPlacement placement;
        if (!lookAtCurrentWindow(placement)) {
            askForFullScreen();
            return;
        }
        switch (nextPlacementStep(placement, target, timeUp)) {
        case PlacementStep::Done:
            return;
        case PlacementStep::AskForFullScreen:
            askForFullScreen();
            return;
        case PlacementStep::Wait:
            std::this_thread::sleep_for(placementPoll);
            break;
        }
    }
}

} // namespace

void openFullScreenWindow(const char *title, int width, int height, FullScreenWay way) {
    if (way == FullScreenWay::AskAfterOpening) {
        createWindow(title, 0, 0, width > 0 ? width : 300, height > 0 ? height : 300, false);
        askForFullScreen();
        return;
    }
    openUnframedOver(title, {0, 0, screenWidth(), screenHeight()});
}

void openWindowOnOutput(const char *title, const DesktopRect &target) {
    openUnframedOver(title, target);
    takeKeyboardAndHidePointer();
}
