// SPDX-License-Identifier: MIT
// What moiravel-make-images tells the user as it goes: failures and notes as one line on
// standard error, the fit's progress bar, the figures of each mode. It works nothing out.
#pragma once

#include "make_images.h"

#include <chrono>
#include <string>

namespace moiravel::images {

inline constexpr const char *programName = "moiravel-make-images";

// One line on standard error: "moiravel-make-images: FILE: reason".
void report(const std::string &message);

// The fit's progress on one line of standard error, redrawn as the percentage grows and at
// every tenth iteration.
class ProgressBar {
  public:
    void update(const FitProgress &progress);
    // Draws the bar full with the last figures and ends its line.
    void finish(const FitProgress &last);

  private:
    int lastPercent_ = -1;
};

// Whether the progress bar's line is open on standard error, so that a line said now would
// start after it. Safe to ask in a signal handler.
bool progressLineOpen();

double secondsSince(std::chrono::steady_clock::time_point start);

// Each mode's error and flicker against the picture, on standard output.
void printFigures(const Figures &figures);

} // namespace moiravel::images
