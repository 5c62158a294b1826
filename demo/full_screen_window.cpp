// SPDX-License-Identifier: MIT
#include "full_screen_window.h"

#include "platform.h"

#include <chrono>
#include <thread>

namespace {

bool liesOn(const WindowPlacement &placement, const DesktopRect &target) {
    return placement.x == target.x && placement.y == target.y && placement.width == target.width &&
           placement.height == target.height;
}

} // namespace

bool fullScreenOn(const WindowPlacement &placement, const DesktopRect &target) {
    return placement.fullScreenState && liesOn(placement, target);
}

std::string misplacedWindowWarning(const WindowPlacement &placement, const DesktopRect &target,
                                   const std::string &outputName) {
    const auto rect = [](int x, int y, int width, int height) {
        return std::to_string(width) + "x" + std::to_string(height) + " at " + std::to_string(x) +
               "," + std::to_string(y);
    };
    if (placement.compositorScales) {
        return "the compositor scales the picture: the window's buffer is " +
               std::to_string(placement.width) + "x" + std::to_string(placement.height) +
               " pixels, not the " + std::to_string(target.width) + "x" +
               std::to_string(target.height) + " of " + outputName +
               ", so texels do not land one to one on display pixels";
    }
    if (liesOn(placement, target)) {
        return "";
    }
    return "the window manager put the window " +
           rect(placement.x, placement.y, placement.width, placement.height) + ", not on " +
           outputName + " (" + rect(target.x, target.y, target.width, target.height) + ")";
}

PlacementStep nextPlacementStep(const WindowPlacement &placement, const DesktopRect &target,
                                bool timeUp) {
    if (liesOn(placement, target) || (timeUp && placement.fullScreenState)) {
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

// After a request for full screen: waits until the window manager has carried it out (the
// window lies on the target, and where `listed`, the window manager lists it as full
// screen), for as long as it gets to place the window at first.
void waitForFullScreenOn(const DesktopRect &target, bool listed) {
    const auto deadline = std::chrono::steady_clock::now() + placementTimeout;
    WindowPlacement placement;
    while (lookAtCurrentWindow(placement) &&
           !(listed ? fullScreenOn(placement, target) : liesOn(placement, target)) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(placementPoll);
    }
}

// Opens the unframed window over target and waits for the window manager to place it; asks
// for full screen when it has not put the window there in time. On one output of several
// (`onOutput`), a window the window manager has not made full screen is asked for full
// screen on that output's monitor, where the window manager takes such a request.
void openUnframedOver(const char *title, const DesktopRect &target, bool onOutput) {
    createWindow(title, target.x, target.y, target.width, target.height, true);
    const auto deadline = std::chrono::steady_clock::now() + placementTimeout;
    for (;;) {
        const bool timeUp = std::chrono::steady_clock::now() >= deadline;
        WindowPlacement placement;
        if (!lookAtCurrentWindow(placement)) {
            askForFullScreen();
            return;
        }
        const PlacementStep step = nextPlacementStep(placement, target, timeUp);
        if (step != PlacementStep::Wait && onOutput && !placement.fullScreenState &&
            askForFullScreenOn(target)) {
            waitForFullScreenOn(target, true);
            return;
        }
        switch (step) {
        case PlacementStep::Done:
            return;
        case PlacementStep::AskForFullScreen:
            askForFullScreen();
            waitForFullScreenOn(target, false);
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
    openUnframedOver(title, {0, 0, screenWidth(), screenHeight()}, false);
}

WindowPlacement openWindowOnOutput(const char *title, const DesktopRect &target) {
    openUnframedOver(title, target, true);
    takeKeyboardAndHidePointer();
    WindowPlacement placement;
    if (!lookAtCurrentWindow(placement)) {
        placement = {target.x, target.y, target.width, target.height, false};
    }
    return placement;
}
