// SPDX-License-Identifier: MIT
// The command line of moiravel-make-images: its options, the help text, and the parser that
// reads them into Arguments or says why it refuses them. It reads no files and does no work.
#pragma once

#include "make_images.h"
#include "refusal.h"

#include <optional>
#include <string>
#include <utility>

namespace moiravel::images {

// What the command line asks for, with the defaults for what it leaves out.
struct Arguments {
    std::string input;
    std::string out = ".";
    int factor = 2;
    std::optional<std::pair<int, int>> screen;
    std::string preview;
    int zoom = 2;
    DisplayModel display = DisplayModel::hold;
    Transfer transfer;
    FitOptions fit;
    unsigned threads = 0;
};

struct CommandLine {
    enum class Action { run, help, version, usageError };
    Action action = Action::run;
    Arguments args;
    std::string error; // for usageError
};

// Reads the words after the program's name, left to right; the first --help, --version or
// refused word ends the reading.
CommandLine parseArguments(int argc, char **argv);

// The usage lines, and the rest of the --help text after them.
extern const char *const synopsis;
extern const char *const details;

} // namespace moiravel::images
