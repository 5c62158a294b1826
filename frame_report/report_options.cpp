// SPDX-License-Identifier: MIT
// The command line of moiravel-frame-report: the help text and the parser.
#include "report_options.h"

#include <vector>

namespace moiravel::frames {

const char *const synopsis =
    "usage: moiravel-frame-report FILE.csv [--plot FILE.png|FILE.svg] [--help] [--version]\n";

const char *const details =
    "\n"
    "Reads the frame log that moiravel-demo --frame-log FILE.csv wrote and prints the run's\n"
    "figures, one a line: frames, duration, the refresh period and where it came from, the\n"
    "mean, SD and 1st/50th/99th percentiles of the frame interval (from present_ns where every\n"
    "frame has it, else from swap_ns), the missed refreshes, the frames without the swap\n"
    "interval, and how the run ended. Times are in ms.\n"
    "\n"
    "  --plot FILE   also draws the frame intervals against the frame number and their\n"
    "                histogram in refresh periods, as PNG or SVG by FILE's extension (1200x800)\n"
    "  --help        this text\n"
    "  --version     the version\n"
    "\n"
    "Exit status: 0 done, 1 the log is not a frame log or a file could not be read or written,\n"
    "2 a usage error.\n";

namespace {

bool endsWith(const std::string &text, const std::string &suffix) {
    return text.size() > suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

CommandLine parseArguments(int argc, char **argv) {
    CommandLine line;
    const std::vector<std::string> words(argv + 1, argv + argc);
    const auto refuse = [&line](const std::string &error) {
        line.action = CommandLine::Action::usageError;
        line.error = error;
        return line;
    };
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string word = words[i];
        if (word == "-h" || word == "--help") {
            line.action = CommandLine::Action::help;
            return line;
        }
        if (word == "--version") {
            line.action = CommandLine::Action::version;
            return line;
        }
        if (word.size() < 2 || word[0] != '-') {
            if (!line.args.log.empty()) {
                return refuse("more than one log given ('" + line.args.log + "' and '" + word +
                              "')");
            }
            line.args.log = word;
            continue;
        }
        std::string value;
        if (word.rfind("--plot=", 0) == 0) {
            value = word.substr(7);
        } else if (word == "--plot") {
            if (i + 1 >= words.size()) {
                return refuse("--plot needs a value");
            }
            value = words[++i];
        } else {
            return refuse("unknown option " + word);
        }
        if (endsWith(value, ".png")) {
            line.args.plotFormat = PlotFormat::png;
        } else if (endsWith(value, ".svg")) {
            line.args.plotFormat = PlotFormat::svg;
        } else {
            return refuse("--plot needs a file name ending in .png or .svg, not '" + value + "'");
        }
        line.args.plot = value;
    }
    if (line.args.log.empty()) {
        return refuse("no log given");
    }
    return line;
}

} // namespace moiravel::frames
