// SPDX-License-Identifier: MIT
// The command line of moiravel-frame-report: the help text and the parser that reads it into
// Arguments or says why it refuses it. It reads no files and does no work.
#pragma once

#include "plot.h"

#include <string>

namespace moiravel::frames {

struct Arguments {
    std::string log;
    std::string plot; // empty: no plot
    PlotFormat plotFormat = PlotFormat::png;
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

// The usage line, and the rest of the --help text after it.
extern const char *const synopsis;
extern const char *const details;

} // namespace moiravel::frames
