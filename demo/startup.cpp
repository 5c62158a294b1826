// SPDX-License-Identifier: MIT
#include "startup.h"

#include "backend_choice.h"
#include "display_probe.h"
#include "frame.h"
#include "full_screen_window.h"
#include "keyboard.h"
#include "load_reasons.h"
#include "messages.h"
#include "ending_signals.h"
#include "options.h"
#include "outputs.h"
#include "platform.h"
#include "refresh_check.h"
#include "scene_setup.h"
#include "state.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

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
void openScreenWindow(const DisplayChoice &choice, int &gotWidth, int &gotHeight) {
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

// The output's rectangle once it has been switched to `mode`, as the display now has it: the
// system may move an output whose size changed (Windows keeps the outputs side by side).
// Where it lists the output no more, the mode's size at the output's old origin.
DesktopRect rectAfterSwitch(const char *displayName, const OutputFacts &output,
                            const OutputMode &mode) {
    for (const OutputFacts &now : listOutputs(displayName)) {
        if (now.name == output.name) {
            return {now.x, now.y, now.width, now.height};
        }
    }
    return {output.x, output.y, mode.width, mode.height};
}

// On a desktop of several outputs, switches the chosen output alone to README.txt's size
// (not under a compositor, where clients cannot switch modes) and opens the window over it.
void openOutputWindow(const char *displayName, const OutputFacts &output, bool maySwitch,
                      int &gotWidth, int &gotHeight) {
    DesktopRect target{output.x, output.y, output.width, output.height};
    const std::string size =
        std::to_string(demoState.screenWidth) + "x" + std::to_string(demoState.screenHeight);
    const bool sameSize =
        output.width == demoState.screenWidth && output.height == demoState.screenHeight;
    if (maySwitch && !sameSize) {
        const std::optional<OutputMode> mode =
            chooseMode(output, demoState.screenWidth, demoState.screenHeight);
        std::string why = "it offers no mode of that size";
        if (mode && switchOutputMode(displayName, output, *mode, why)) {
            target = rectAfterSwitch(displayName, output, *mode);
        } else {
            std::fprintf(
                stderr, "%s\n",
                demoWarning("cannot switch " + output.name + " to " + size + ": " + why).c_str());
        }
    }
    const WindowPlacement placed = openWindowOnOutput("Moiravel Demo", target);
    const std::string misplaced = misplacedWindowWarning(placed, target, output.name);
    if (!misplaced.empty()) {
        std::fprintf(stderr, "%s\n", demoWarning(misplaced).c_str());
    }
    gotWidth = placed.width;
    gotHeight = placed.height;
}

// Opens the window on the chosen output (`chosen`: an index in outputs, or -1 where the
// display lists none) and returns the size of the display it covers.
void openDisplayWindow(const char *displayName, const std::vector<OutputFacts> &outputs, int chosen,
                       int &gotWidth, int &gotHeight) {
    const DisplayServerFacts facts = probeDisplayServer(displayName);
    const DisplayChoice choice = chooseDisplayWindow(facts);
    if (!choice.warning.empty()) {
        std::fprintf(stderr, "%s\n", choice.warning.c_str());
    }
    // Under a compositor (XWayland, or Wayland itself) no mode is switched. XWayland's
    // refresh counter is its own, on one output as on several.
    const bool xwayland = runsUnderXwayland(facts);
    const bool compositor = compositorPlacesWindows(facts);
    watchRefreshOn(chosen >= 0 && (outputs.size() >= 2 || compositor)
                       ? outputs[static_cast<std::size_t>(chosen)].name
                       : std::string(),
                   xwayland);
    // A native Wayland window always goes on the chosen output. Elsewhere, one output: the
    // screen is the output, as it always was.
    if (chosen >= 0 && (outputs.size() >= 2 || (compositor && !xwayland))) {
        openOutputWindow(displayName, outputs[static_cast<std::size_t>(chosen)], !compositor,
                         gotWidth, gotHeight);
        return;
    }
    openScreenWindow(choice, gotWidth, gotHeight);
}

// The size in README.txt, read without a word on standard output; 0 x 0 where the file is
// missing or holds none.
void readmeSizeQuietly(std::int32_t &width, std::int32_t &height) {
    width = 0;
    height = 0;
    std::error_code error;
    if (std::filesystem::is_regular_file("README.txt", error)) {
        std::ifstream file("README.txt");
        readScreenSize(file, width, height);
    }
}

void printOutputs(std::FILE *to, const std::vector<OutputFacts> &outputs, std::int32_t width,
                  std::int32_t height) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        std::fprintf(to, "%s\n",
                     outputListLine(static_cast<int>(i), outputs[i], width, height).c_str());
    }
}

// A usage error: one line saying what is wrong, then the outputs there are to choose from.
int usageError(const std::string &error, const std::vector<OutputFacts> &outputs) {
    std::fprintf(
        stderr, "%s\n",
        demoMessage(error + " (see --help)" + (outputs.empty() ? "" : "; the outputs:")).c_str());
    std::int32_t width = 0;
    std::int32_t height = 0;
    readmeSizeQuietly(width, height);
    printOutputs(stderr, outputs, width, height);
    return usageErrorStatus;
}

} // namespace

int runViewer(int argc, char **argv) {
    // Help and the version need no display.
    if (asksForHelpOrVersion(argc, argv)) {
        const ViewerOptions options = parseViewerOptions(argc, argv);
        std::fputs(options.action == ViewerAction::version ? versionText().c_str()
                                                           : helpText().c_str(),
                   stdout);
        return 0;
    }
    // The backend decides which window system takes its options, so it is chosen first.
    const BackendChoice backend = chooseBackend(platformBackends(), backendArgument(argc, argv),
                                                std::getenv(backendVariable));
    if (backend.backend == nullptr) {
        std::fprintf(stderr, "%s\n", demoMessage(backend.error + " (see --help)").c_str());
        return usageErrorStatus;
    }
    usePlatformBackend(*backend.backend);
    // Before the window system starts any thread of its own.
    armEndingSignals();
    const char *displayName = displayArgument(argc, argv);
    initWindowSystem(argc, argv);
    const ViewerOptions options = parseViewerOptions(argc, argv);
    if (options.action == ViewerAction::usageError) {
        return usageError(options.error, listOutputs(displayName));
    }
    const std::string restored = restoreModeLeftBehind(displayName);
    if (!restored.empty()) {
        std::fprintf(stderr, "%s\n", restored.c_str());
    }
    if (options.action == ViewerAction::restoreDisplay) {
        if (restored.empty()) {
            std::fprintf(stderr, "%s\n",
                         demoMessage("no display mode was left to restore").c_str());
        }
        return 0;
    }
    const std::vector<OutputFacts> outputs = listOutputs(displayName);
    if (options.action == ViewerAction::listOutputs) {
        std::int32_t width = 0;
        std::int32_t height = 0;
        readmeSizeQuietly(width, height);
        printOutputs(stdout, outputs, width, height);
        if (outputs.empty()) {
            std::fprintf(stderr, "%s\n", demoMessage("the display lists no outputs").c_str());
        }
        return 0;
    }
    const OutputChoice chosen = chooseOutput(outputs, options.output);
    if (!options.output.empty() && chosen.index < 0) {
        return usageError(chosen.error, outputs);
    }
    if (!options.frameLog.empty()) {
        logFramesTo(options.frameLog);
    }

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
    openDisplayWindow(displayName, outputs, chosen.index, gotWidth, gotHeight);
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
