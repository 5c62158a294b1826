// SPDX-License-Identifier: MIT
// platform.h's free functions, each forwarding to the backend in use (platform_backend.h).
//
// What it does not do: choose the backend, or do any system's work itself.
#include "platform_backend.h"

namespace {

const PlatformBackend *chosenBackend = nullptr;

const PlatformBackend &backend() {
    return chosenBackend != nullptr ? *chosenBackend : *platformBackends().front();
}

} // namespace

void usePlatformBackend(const PlatformBackend &chosen) {
    chosenBackend = &chosen;
}

const PlatformBackend &currentPlatformBackend() {
    return backend();
}

void initWindowSystem(int &argc, char **argv) {
    backend().initWindowSystem(argc, argv);
}

bool enterGameMode(const char *modeString, int &width, int &height) {
    return backend().enterGameMode(modeString, width, height);
}

void leaveGameMode() {
    backend().leaveGameMode();
}

int screenWidth() {
    return backend().screenWidth();
}

int screenHeight() {
    return backend().screenHeight();
}

void createWindow(const char *title, int x, int y, int width, int height, bool unframed) {
    backend().createWindow(title, x, y, width, height, unframed);
}

void askForFullScreen() {
    backend().askForFullScreen();
}

bool askForFullScreenOn(const DesktopRect &target) {
    return backend().askForFullScreenOn(target);
}

void takeKeyboardAndHidePointer() {
    backend().takeKeyboardAndHidePointer();
}

void runMainLoop(const WindowCallbacks &callbacks) {
    backend().runMainLoop(callbacks);
}

void swapBuffers() {
    backend().swapBuffers();
}

void *overlayFont() {
    return backend().overlayFont();
}

void drawCharacter(void *font, int character) {
    backend().drawCharacter(font, character);
}

DisplayServerFacts probeDisplayServer(const char *displayName) {
    return backend().probeDisplayServer(displayName);
}

bool lookAtCurrentWindow(WindowPlacement &placement) {
    return backend().lookAtCurrentWindow(placement);
}

std::vector<OutputFacts> listOutputs(const char *displayName) {
    return backend().listOutputs(displayName);
}

bool switchOutputMode(const char *displayName, const OutputFacts &output, const OutputMode &mode,
                      std::string &why) {
    return backend().switchOutputMode(displayName, output, mode, why);
}

void restoreOutputMode() {
    backend().restoreOutputMode();
}

std::string restoreModeLeftBehind(const char *displayName) {
    return backend().restoreModeLeftBehind(displayName);
}

RefreshFacts lookAtRefresh(const std::string &outputName) {
    return backend().lookAtRefresh(outputName);
}

std::uint64_t clockNowNs() {
    return backend().clockNowNs();
}

RefreshReading readRefreshCounter() {
    return backend().readRefreshCounter();
}

bool nextPresentation(PresentationEvent &event) {
    return backend().nextPresentation(event);
}

bool passSwapInterval(int interval) {
    return backend().passSwapInterval(interval);
}
