// SPDX-License-Identifier: MIT
// The viewer's options: the help text and the parser.
#include "options.h"

#include "messages.h"

#include <cstring>
#include <string_view>

#ifndef MOIRAVEL_VERSION
#define MOIRAVEL_VERSION "unknown version"
#endif

namespace {

constexpr std::string_view helpOption = "--help";
constexpr std::string_view versionOption = "--version";
constexpr std::string_view listOutputsOption = "--list-outputs";
constexpr std::string_view restoreDisplayOption = "--restore-display";
constexpr std::string_view outputOption = "--output";
constexpr std::string_view backendOption = "--backend";
constexpr std::string_view frameLogOption = "--frame-log";

// The options that take a value: the option, its field, and what a missing value lacks.
struct ValueOption {
    std::string_view option;
    std::string ViewerOptions::*field;
    const char *needs;
};
constexpr ValueOption valueOptions[] = {
    {outputOption, &ViewerOptions::output, "an output's name or index"},
    {backendOption, &ViewerOptions::backend, "a backend's name"},
    {frameLogOption, &ViewerOptions::frameLog, "a file's name"},
};

// Whether word is option, given as "option VALUE" or "option=VALUE".
bool isValueOption(std::string_view word, std::string_view option) {
    return word == option ||
           (word.starts_with(option) && word.size() > option.size() && word[option.size()] == '=');
}

// The value of an option that isValueOption found at argv[i], moving i past a separate value;
// null where a separate value is missing.
const char *optionValue(int argc, char **argv, int &i, std::string_view option) {
    const std::string_view word = argv[i];
    if (word == option) {
        return i + 1 < argc ? argv[++i] : nullptr;
    }
    return argv[i] + option.size() + 1;
}

const ValueOption *valueOptionOf(std::string_view word) {
    for (const ValueOption &option : valueOptions) {
        if (isValueOption(word, option.option)) {
            return &option;
        }
    }
    return nullptr;
}

} // namespace

std::string helpText() {
    return std::string("usage: ") + std::string(programName) +
           " [--output NAME|INDEX] [--backend NAME] [--frame-log FILE.csv]\n"
           "       [--list-outputs] [--restore-display] [--help] [--version]\n"
           "\n"
           "Shows 0Image.ppm .. 3Image.ppm from the working directory full screen, texel for\n"
           "display pixel, at the resolution the first line of README.txt gives\n"
           "(\"width x height\"). The window system's own options (-display NAME, ...) are\n"
           "taken first.\n"
           "\n"
           "  --output NAME|INDEX   the output (monitor) to show the images on, by its name\n"
           "                        or its index in --list-outputs (default: the primary\n"
           "                        output)\n"
           "  --backend NAME        the display system to run on: on Linux wayland (the\n"
           "                        default where a compositor answers at WAYLAND_DISPLAY)\n"
           "                        or x11 (XWayland too), on Windows win32;\n"
           "                        MOIRAVEL_BACKEND in the environment names one too, and\n"
           "                        the option wins\n"
           "  --frame-log FILE.csv  one row per frame (times, refresh counter, missed\n"
           "                        refreshes, swap interval, mode, subimage, offset, keys),\n"
           "                        written at Escape or when a signal ends the run\n"
           "  --list-outputs        one line per output: index, name, position and size,\n"
           "                        current mode and rate, the modes of README.txt's size,\n"
           "                        and which is the primary\n"
           "  --restore-display     put back a display mode that an earlier run could not\n"
           "                        restore (it was killed), and end\n"
           "  --help                this text\n"
           "  --version             the version\n"
           "\n"
           "Keys: Space image back to the start, + / - next / previous mode, f freeze or resume\n"
           "the alternation, s step to the next subimage, m stop or resume the movement,\n"
           "v swap interval on or off, Escape quit.\n"
           "\n"
           "Files: README.txt (the resolution), 0Image.ppm .. 3Image.ppm (plain PPM, P3).\n"
           "\n"
           "Exit status: 0 Escape or an option's work done, 2 a usage error, 255 README.txt\n"
           "missing or an image that cannot be loaded.\n";
}

std::string versionText() {
    return std::string(programName) + " " MOIRAVEL_VERSION "\n";
}

bool asksForHelpOrVersion(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == helpOption || argv[i] == versionOption) {
            return true;
        }
    }
    return false;
}

ViewerOptions parseViewerOptions(int argc, char **argv) {
    ViewerOptions options;
    ViewerAction action = ViewerAction::run;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == helpOption) {
            action = ViewerAction::help;
        } else if (word == versionOption) {
            action = ViewerAction::version;
        } else if (word == listOutputsOption) {
            action = ViewerAction::listOutputs;
        } else if (word == restoreDisplayOption) {
            action = ViewerAction::restoreDisplay;
        } else if (const ValueOption *taken = valueOptionOf(word); taken != nullptr) {
            const char *value = optionValue(argc, argv, i, taken->option);
            if (value == nullptr || *value == '\0') {
                options.action = ViewerAction::usageError;
                options.error = std::string(taken->option) + " needs " + taken->needs;
                return options;
            }
            options.*(taken->field) = value;
        } else {
            options.action = ViewerAction::usageError;
            options.error = "unknown option \"" + std::string(word) + "\"";
            return options;
        }
    }
    options.action = action;
    return options;
}

const char *backendArgument(int argc, char **argv) {
    const char *value = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (isValueOption(argv[i], backendOption)) {
            value = optionValue(argc, argv, i, backendOption);
        }
    }
    return value;
}
