// SPDX-License-Identifier: MIT
// The command line of moiravel-make-images: the help text and the parser, one rule per option.
// It reads no files and does no work.
#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace moiravel::images {

const char *const synopsis =
    "usage: moiravel-make-images [INPUT] [--out DIR] [--factor K] [--screen WxH]\n"
    "                            [--display hold|flash] [--transfer srgb|gamma:G|code]\n"
    "                            [--preview FILE.png] [--zoom Z] [--iterations N]\n"
    "                            [--tolerance T] [--flicker W] [--threads N]\n"
    "                            [--help] [--version]\n";

const char *const details =
    "\n"
    "Makes 0Image.ppm .. 3Image.ppm for moiravel-demo from INPUT, a PPM (P3 or P6) or PNG\n"
    "picture at K times the display resolution in each direction. Without INPUT it renders\n"
    "a built-in test picture of K times the --screen size (default 1920x1080).\n"
    "\n"
    "  --out DIR         directory for the files (default: the current directory)\n"
    "  --factor K        picture pixels per display pixel along each axis (default 2)\n"
    "  --screen WxH      display resolution; also writes README.txt with it\n"
    "  --display MODEL   hold (default): each frame stands for the whole refresh while the\n"
    "                    eye moves on; flash: each frame lights up for an instant\n"
    "  --transfer CURVE  the display's transfer curve: srgb (default), gamma:G (a power\n"
    "                    law), or code (average code values instead of light)\n"
    "  --preview FILE    writes a PNG with the picture and what the eye sees in each mode,\n"
    "                    one row per display model\n"
    "  --zoom Z          magnification of the preview (default 2)\n"
    "  --iterations N    iteration limit of the fit (default 400)\n"
    "  --tolerance T     the fit stops when an iteration changes the subimages by less than\n"
    "                    T (RMS, 0..255 scale of light; default 0.01)\n"
    "  --flicker W       weight of the penalty on differences between the two fitted\n"
    "                    subimages, relative to a display pixel's error (default 0.05)\n"
    "  --threads N       worker threads (default: one per processor)\n"
    "  --help            this text\n"
    "  --version         the version\n"
    "\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 a usage error.\n";

namespace {

// An option's value read into the arguments: nothing, or the reason it is refused.
Reason readInteger(const std::string &text, long low, long high, int &out) {
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < low || value > high) {
        return "needs a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
               ", not '" + text + "'";
    }
    out = static_cast<int>(value);
    return std::nullopt;
}

Reason readNonNegative(const std::string &text, double &out) {
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value >= 0)) {
        return "needs a number of 0 or more, not '" + text + "'";
    }
    out = value;
    return std::nullopt;
}

Reason readScreen(const std::string &text, Arguments &args) {
    const auto x = text.find_first_of("xX");
    int width = 0;
    int height = 0;
    if (x == std::string::npos || readInteger(text.substr(0, x), 4, 100000, width) ||
        readInteger(text.substr(x + 1), 1, 100000, height)) {
        return "needs WIDTHxHEIGHT (width 4 to 100000, height 1 to 100000), not '" + text + "'";
    }
    args.screen = {width, height};
    return std::nullopt;
}

struct OptionRule {
    const char *name;
    Reason (*read)(const std::string &value, Arguments &args);
};

const OptionRule optionRules[] = {
    {"--out",
     [](const std::string &v, Arguments &a) -> Reason {
         a.out = v;
         return v.empty() ? Reason("needs a directory") : std::nullopt;
     }},
    {"--factor",
     [](const std::string &v, Arguments &a) { return readInteger(v, 1, 16, a.factor); }},
    {"--screen", readScreen},
    {"--display",
     [](const std::string &v, Arguments &a) -> Reason {
         for (const DisplayModel model : displayModels) {
             if (v == displayModelName(model)) {
                 a.display = model;
                 return std::nullopt;
             }
         }
         return "needs hold or flash, not '" + v + "'";
     }},
    {"--transfer",
     [](const std::string &v, Arguments &a) -> Reason {
         const auto transfer = parseTransfer(v);
         if (!transfer) {
             return "needs srgb, code or gamma:G with G from 0.1 to 10, not '" + v + "'";
         }
         a.transfer = *transfer;
         return std::nullopt;
     }},
    {"--preview",
     [](const std::string &v, Arguments &a) -> Reason {
         a.preview = v;
         return v.empty() ? Reason("needs a file name") : std::nullopt;
     }},
    {"--zoom", [](const std::string &v, Arguments &a) { return readInteger(v, 1, 16, a.zoom); }},
    {"--iterations", [](const std::string &v,
                        Arguments &a) { return readInteger(v, 0, 1000000, a.fit.maxIterations); }},
    {"--tolerance",
     [](const std::string &v, Arguments &a) { return readNonNegative(v, a.fit.tolerance); }},
    {"--flicker",
     [](const std::string &v, Arguments &a) { return readNonNegative(v, a.fit.flickerWeight); }},
    {"--threads",
     [](const std::string &v, Arguments &a) -> Reason {
         int threads = 0;
         Reason reason = readInteger(v, 1, 256, threads);
         a.threads = static_cast<unsigned>(threads);
         return reason;
     }},
};

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
            if (!line.args.input.empty()) {
                return refuse("more than one INPUT given ('" + line.args.input + "' and '" + word +
                              "')");
            }
            line.args.input = word;
            continue;
        }
        std::optional<std::string> value;
        if (const auto equals = word.find('='); word.rfind("--", 0) == 0 && equals != word.npos) {
            value = word.substr(equals + 1);
            word.resize(equals);
        }
        const OptionRule *rule = nullptr;
        for (const OptionRule &candidate : optionRules) {
            if (word == candidate.name) {
                rule = &candidate;
            }
        }
        if (rule == nullptr) {
            return refuse("unknown option " + word);
        }
        if (!value) {
            if (i + 1 >= words.size()) {
                return refuse(word + " needs a value");
            }
            value = words[++i];
        }
        if (const Reason reason = rule->read(*value, line.args)) {
            return refuse(word + " " + *reason);
        }
    }
    return line;
}

} // namespace moiravel::images
