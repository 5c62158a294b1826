// SPDX-License-Identifier: MIT
// The display's outputs (monitors) and the choice of the stimulus output among them: which
// output `--output` names, which mode of README.txt's size it switches to, and the lines of
// `--list-outputs`. Plain facts in, plain answers out; the platform files gather the facts
// and act on the answers.
//
// What it does not do: talk to a display, switch a mode or open a window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One video mode an output offers.
struct OutputMode {
    std::uint32_t id = 0; // the platform's own handle (RandR's mode id; 0 where none)
    int width = 0;
    int height = 0;
    std::uint64_t periodNs = 0; // one refresh; 0 when the mode tells no rate
};

// One output as the desktop has it now.
struct OutputFacts {
    std::string name;        // "DUMMY1", "XWAYLAND0", "\\.\DISPLAY2"
    std::string description; // the monitor's own name where the system gives one; may be empty
    int x = 0;               // the output's rectangle on the desktop
    int y = 0;
    int width = 0;
    int height = 0;
    OutputMode current;
    std::vector<OutputMode> modes; // every mode it offers, the current one among them
    bool primary = false;
};

// What the choice of output came to: the index of the output, or the reason none was chosen.
struct OutputChoice {
    int index = -1;
    std::string error; // one line without the program's name, when index is -1
};

// `requested` is the value of --output: an output's name, else its index in `outputs`; empty
// for the default, which is the primary output, else the one at the desktop's origin, else
// the first.
OutputChoice chooseOutput(const std::vector<OutputFacts> &outputs, const std::string &requested);

// The mode of width x height to switch `output` to: the one at the current mode's refresh
// rate where it offers one, else the fastest of that size. None when it offers no mode of
// that size.
std::optional<OutputMode> chooseMode(const OutputFacts &output, int width, int height);

// Whether two periods are the same refresh rate, to within a thousandth.
bool sameRate(std::uint64_t aNs, std::uint64_t bNs);

// "60.00 Hz", or "? Hz" for a period of 0.
std::string rateText(std::uint64_t periodNs);

// One line of --list-outputs, e.g.
//   1: DUMMY1 at 1920,0, 1280x1024, mode 1280x1024 at 60.00 Hz; 1024x768 modes: 60.00 Hz,
//   75.00 Hz
// with ", primary" at the end of the primary one; README.txt's size is wantedWidth x
// wantedHeight, and the modes of that size are left out where it is not above 0 x 0.
std::string outputListLine(int index, const OutputFacts &output, int wantedWidth, int wantedHeight);
