#include "startup.h"

#include "display_probe.h"
#include "frame.h"
#include "full_screen_window.h"
#include "keyboard.h"
#include "load_reasons.h"
#include "messages.h"
#include "platform.h"
#include "scene_setup.h"
#include "state.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

bool readScreenSize(std::istream &in, std::int32_t &width, std::int32_t &height) {
    // Each number goes through a local so that a failed or out-of-range read
    // leaves the field at 0; a failed stream makes every later read fail.
    std::int32_t value = 0;
    char separator = 0;
    width = 0;
    height = 0;
    if (!(in >> value)) {
        return false;
    }
    width = value;
    in >> separator;
    if (in >> value) {
        height = value;
    }
    return true;
}

std::string gameModeString(std::int32_t width, std::int32_t height) {
    return std::to_string(width) + "x" + std::to_string(height) + ":32";
}

PictureArea pictureArea(std::int32_t wantedWidth, std::int32_t wantedHeight, int gotWidth,
                        int gotHeight) {
    PictureArea area;
    const bool hasArea = wantedWidth > 0 && wantedHeight > 0;
    if (hasArea) {
        area.setViewport = true;
        area.width = wantedWidth;
        area.height = wantedHeight;
    }
    if (gotWidth == wantedWidth && gotHeight == wantedHeight) {
        return area;
    }
    std::string tail;
    if (!hasArea) {
        tail = "; texels will not fall one to one on display pixels";
    } else if (gotWidth >= wantedWidth && gotHeight >= wantedHeight) {
        tail = "; the picture is drawn one to one in the lower left " +
               std::to_string(wantedWidth) + "x" + std::to_string(wantedHeight) +
               " and the rest is black";
    } else {
        tail = "; the picture is drawn one to one from the lower left and what lies beyond the "
               "display is cut off";
        if (gotWidth > wantedWidth || gotHeight > wantedHeight) {
            tail += ", and the rest is black";
        }
    }
    area.warning =
        demoWarning("the display is " + std::to_string(gotWidth) + "x" + std::to_string(gotHeight) +
                    ", not the " + std::to_string(wantedWidth) + "x" +
                    std::to_string(wantedHeight) + " of README.txt" + tail);
    return area;
}

namespace {

// When README.txt's first number could not be read, says on standard error
// what the file starts with. The file is still open; its start is read again.
void warnAboutUnreadableSize(std::ifstream &file) {
    char start[64];
    file.clear();
    file.seekg(0);
    file.read(start, sizeof start);
    const std::string warning =
        readmeSizeWarning(std::string_view(start, static_cast<std::size_t>(file.gcount())));
    std::fprintf(stderr, "%s\n", warning.c_str());
}

// Enters game mode at the size of README.txt. Where the display cannot be
// switched (as under many X servers), falls back to an ordinary window of that
// size at the origin made full screen, so the scene still has a context. A
// server that the probe finds unfit for game mode (XWayland, or one that fails
// to list its video modes) gets that window without the request, opened so that
// the window manager itself puts it over the screen.
// Returns the size of the display the window covers.
void openDisplayWindow(const char *displayName, int &gotWidth, int &gotHeight) {
    const DisplayChoice choice = chooseDisplayWindow(probeDisplayServer(displayName));
    if (!choice.warning.empty()) {
        std::fprintf(stderr, "%s\n", choice.warning.c_str());
    }
    if (choice.gameMode) {
        const std::string mode = gameModeString(demoState.screenWidth, demoState.screenHeight);
        if (enterGameMode(mode.c_str(), gotWidth, gotHeight)) {
            return;
        }
        std::fprintf(
            stderr, "%s\n",
            demoWarning("cannot enter game mode " + mode + "; using a full-screen window instead")
                .c_str());
    }
    openFullScreenWindow("Moiravel Demo", demoState.screenWidth, demoState.screenHeight,
                         choice.gameMode ? FullScreenWay::AskAfterOpening
                                         : FullScreenWay::ScreenSizedUnframed);
    gotWidth = screenWidth();
    gotHeight = screenHeight();
}

} // namespace

int runViewer(int argc, char **argv) {
    const char *displayName = displayArgument(argc, argv);
    initWindowSystem(argc, argv);

    // Only a regular file counts: opening a FIFO would wait for a writer
    // forever, and a directory holds no resolution.
    std::error_code error;
    std::ifstream file;
    if (std::filesystem::is_regular_file("README.txt", error)) {
        file.open("README.txt");
    }
    if (!file.is_open()) {
        std::printf("no README.txt found\n");
        return -1;
    }
    if (!readScreenSize(file, demoState.screenWidth, demoState.screenHeight)) {
        warnAboutUnreadableSize(file);
    }
    file.close();

    std::printf("The first line of README.TXT defines the resolution: width x height\n");
    std::printf("The application will currently use a resolution of: %i x %i\n\n\n",
                demoState.screenWidth, demoState.screenHeight);
    std::printf("Loading images, please wait ...\n");
    std::fflush(stdout);

    int gotWidth = 0;
    int gotHeight = 0;
    openDisplayWindow(displayName, gotWidth, gotHeight);
    const PictureArea area =
        pictureArea(demoState.screenWidth, demoState.screenHeight, gotWidth, gotHeight);
    if (!area.warning.empty()) {
        std::fprintf(stderr, "%s\n", area.warning.c_str());
    }
    if (area.setViewport) {
        setPictureViewport(area.width, area.height);
    }

    initScene();

    runMainLoop({displayFrame, resetProjection, handleKey});
    return 0;
}
