// SPDX-License-Identifier: MIT
// Lanczos-3 reduction of a picture by an integer factor.
#pragma once

#include "picture.h"

#include <vector>

namespace moiravel::images {

// The Lanczos window of three lobes: sinc(x) sinc(x / 3) for |x| < 3, else 0. Exactly 0 at every
// non-zero integer and 1 at 0.
double lanczos3(double x);

// The weights with which each output sample along one axis draws on the input samples.
// Output j is centred on input coordinate (j + 0.5) * factor + shift, where input sample i
// covers [i, i + 1). The kernel is stretched by the factor, normalised to sum 1, and input
// positions outside 0..inputSize-1 are clamped to the edge sample.
struct AxisFilter {
    int taps = 0;               // weights per output sample
    std::vector<int> indices;   // outputSize * taps input indices
    std::vector<float> weights; // outputSize * taps weights, each group summing to 1

    int outputSize() const { return taps == 0 ? 0 : static_cast<int>(indices.size()) / taps; }
};

AxisFilter lanczosAxis(int inputSize, int outputSize, int factor, double shift);

// Reduces the picture by the factor with a separable Lanczos-3 filter. Output pixel (x, y) is
// centred on picture position ((x + 0.5) * factor + shiftX, (y + 0.5) * factor + shiftY), in
// picture pixels. Samples are not rounded or clamped.
Picture lanczosReduce(const Picture &picture, int factor, double shiftX, double shiftY,
                      int outputWidth, int outputHeight);

// Rounds and clamps every sample to 0..255 in place (the values a file can hold).
void quantise(Picture &picture);

} // namespace moiravel::images
