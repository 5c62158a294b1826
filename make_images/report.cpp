// SPDX-License-Identifier: MIT
// What moiravel-make-images tells the user as it goes: the texts and their layout.
#include "report.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace moiravel::images {

void report(const std::string &message) {
    std::fprintf(stderr, "%s: %s\n", programName, message.c_str());
}

namespace {

std::atomic<bool> lineOpen{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read in a signal handler");

void drawProgress(int percent, const FitProgress &progress) {
    constexpr int width = 30;
    const int filled = percent * width / 100;
    lineOpen = true;
    std::fprintf(stderr, "\rfitting [%s%s] %3d%%  iteration %d  rms %.3f  step %.4f ",
                 std::string(filled, '#').c_str(), std::string(width - filled, '.').c_str(),
                 percent, progress.iteration, progress.rms, progress.step);
    std::fflush(stderr);
}

} // namespace

void ProgressBar::update(const FitProgress &progress) {
    const int total = std::max(1, progress.maxIterations);
    const int percent = progress.iteration * 100 / total;
    if (percent == lastPercent_ && progress.iteration % 10 != 0) {
        return;
    }
    lastPercent_ = percent;
    drawProgress(percent, progress);
}

void ProgressBar::finish(const FitProgress &last) {
    drawProgress(100, last);
    std::fputc('\n', stderr);
    lineOpen = false;
}

bool progressLineOpen() {
    return lineOpen;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void printFigures(const Figures &figures) {
    std::printf("What the eye sees against the picture: RMS error in code values (0..255) and\n"
                "flicker (mean difference in light between the two subimages, %% of white):\n");
    for (int mode = 0; mode < modeCount; ++mode) {
        std::printf("  mode %d  %7.3f  %5.2f %%  %s\n", mode, figures[mode].rms,
                    100.0 * figures[mode].flicker, modeNames[mode]);
    }
}

} // namespace moiravel::images
