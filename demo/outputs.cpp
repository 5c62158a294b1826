// SPDX-License-Identifier: MIT
#include "outputs.h"

#include <cstdio>

namespace {

bool allDigits(const std::string &text) {
    if (text.empty() || text.size() > 6) {
        return false;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

int defaultOutput(const std::vector<OutputFacts> &outputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (outputs[i].primary) {
            return static_cast<int>(i);
        }
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (outputs[i].x == 0 && outputs[i].y == 0) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

} // namespace

OutputChoice chooseOutput(const std::vector<OutputFacts> &outputs, const std::string &requested) {
    OutputChoice choice;
    if (outputs.empty()) {
        choice.error = requested.empty()
                           ? "the display lists no outputs"
                           : "no output \"" + requested + "\": the display lists no outputs";
        return choice;
    }
    if (requested.empty()) {
        choice.index = defaultOutput(outputs);
        return choice;
    }
    // A name wins over an index, so that an output named "1" is still found by its name.
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (outputs[i].name == requested) {
            choice.index = static_cast<int>(i);
            return choice;
        }
    }
    if (allDigits(requested)) {
        const int index = std::stoi(requested);
        if (index < static_cast<int>(outputs.size())) {
            choice.index = index;
            return choice;
        }
    }
    choice.error = "no output \"" + requested + "\"";
    return choice;
}

bool sameRate(std::uint64_t aNs, std::uint64_t bNs) {
    const std::uint64_t difference = aNs > bNs ? aNs - bNs : bNs - aNs;
    return difference * 1000 <= (aNs > bNs ? aNs : bNs);
}

std::optional<OutputMode> chooseMode(const OutputFacts &output, int width, int height) {
    std::optional<OutputMode> fastest;
    for (const OutputMode &mode : output.modes) {
        if (mode.width != width || mode.height != height) {
            continue;
        }
        if (output.current.periodNs != 0 && sameRate(mode.periodNs, output.current.periodNs)) {
            return mode;
        }
        // A shorter period is a faster mode; a mode without a rate comes last.
        if (!fastest ||
            (mode.periodNs != 0 && (fastest->periodNs == 0 || mode.periodNs < fastest->periodNs))) {
            fastest = mode;
        }
    }
    return fastest;
}

std::string rateText(std::uint64_t periodNs) {
    if (periodNs == 0) {
        return "? Hz";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.2f Hz", 1e9 / static_cast<double>(periodNs));
    return text;
}

std::string outputListLine(int index, const OutputFacts &output, int wantedWidth,
                           int wantedHeight) {
    const auto size = [](int width, int height) {
        return std::to_string(width) + "x" + std::to_string(height);
    };
    std::string line = std::to_string(index) + ": " + output.name;
    if (!output.description.empty()) {
        line += " (" + output.description + ")";
    }
    line += " at " + std::to_string(output.x) + "," + std::to_string(output.y) + ", " +
            size(output.width, output.height) + ", mode " +
            size(output.current.width, output.current.height) + " at " +
            rateText(output.current.periodNs);
    if (wantedWidth > 0 && wantedHeight > 0) {
        std::string rates;
        for (const OutputMode &mode : output.modes) {
            if (mode.width == wantedWidth && mode.height == wantedHeight) {
                rates += (rates.empty() ? "" : ", ") + rateText(mode.periodNs);
            }
        }
        line += "; " + size(wantedWidth, wantedHeight) +
                " modes: " + (rates.empty() ? std::string("none") : rates);
    }
    if (output.primary) {
        line += "; primary";
    }
    return line;
}
