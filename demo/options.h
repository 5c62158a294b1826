// SPDX-License-Identifier: MIT
// The viewer's own command-line options, read after the window system has taken its own
// (GLUT's -display, -geometry, ...): what to do, and on which output.
//
// What it does not do: act on them, or look at the display.
#pragma once

#include <string>

enum class ViewerAction {
    run,            // show the images
    help,           // print the options, keys, files and exit statuses; status 0
    version,        // print the version; status 0
    listOutputs,    // print one line per output; status 0
    restoreDisplay, // put back a display mode that an earlier run left behind; status 0
    usageError,     // an option that is not known or lacks its value; status 2
};

struct ViewerOptions {
    ViewerAction action = ViewerAction::run;
    std::string output;   // --output's value; empty: the default output
    std::string backend;  // --backend's value; empty: not given (backend_choice.h chooses)
    std::string frameLog; // --frame-log's value; empty: no log
    std::string error;    // for usageError: one line without the program's name
};

// Reads argv[1..argc-1]. The last of --help, --version, --list-outputs and --restore-display
// wins over running; an unknown option or a missing value is a usage error, whatever else
// is given.
ViewerOptions parseViewerOptions(int argc, char **argv);

// Whether the arguments ask for --help or --version, which need no display: they are
// answered before the window system is started.
bool asksForHelpOrVersion(int argc, char **argv);

// --backend's value (the last given), read before the window system starts: the backend
// decides which window system takes its options. Null where it is not given or lacks its
// value (parseViewerOptions then says so).
const char *backendArgument(int argc, char **argv);

// The texts printed for --help and --version, each ending in a newline.
std::string helpText();
std::string versionText();

// The exit status of a usage error.
constexpr int usageErrorStatus = 2;
