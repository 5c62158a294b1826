// SPDX-License-Identifier: MIT
// Fitting a pair of subimages so that what the eye sees of them comes close to the picture.
#pragma once

#include "eye_model.h"
#include "picture.h"

#include <functional>

namespace moiravel::images {

struct FitProgress {
    int iteration = 0;
    int maxIterations = 0;
    double rms = 0.0;  // RMS error of what the eye sees, at the current search point
    double step = 0.0; // RMS change of the subimages in this iteration, in sample units
};

struct FitOptions {
    int maxIterations = 400;
    // Stop when an iteration changes the subimages by less than this RMS amount (in 0..255
    // sample units).
    double tolerance = 0.01;
    // Weight of a penalty on the difference between the two subimages at each display pixel,
    // relative to the weight of a display pixel's own error. The error alone cannot tell a
    // brighter subimage 0 from a darker subimage 1 in flat areas; the penalty settles on the
    // pair that flickers least.
    double flickerWeight = 0.05;
    std::function<void(const FitProgress &)> progress;
};

struct FitResult {
    Picture sub0;
    Picture sub1;
    int iterations = 0;
    bool converged = false;
};

// Chooses both subimages, every sample within 0..255, to minimise the squared difference
// between what the eye sees of them and the target picture (plus the flicker penalty). Starts from
// sub0 and sub1 (clamped to 0..255) and runs accelerated projected gradient descent with a diagonal
// preconditioner and adaptive restarts, in single precision with double-precision sums.
FitResult fitSubimages(const EyeModel &model, const Picture &target, Picture sub0, Picture sub1,
                       const FitOptions &options);

} // namespace moiravel::images
