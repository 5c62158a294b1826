// SPDX-License-Identifier: MIT
#include "lanczos.h"

#include "parallel.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace moiravel::images {

double lanczos3(double x) {
    constexpr double lobes = 3.0;
    const double ax = std::abs(x);
    if (ax >= lobes) {
        return 0.0;
    }
    if (x == std::round(x)) {
        return x == 0.0 ? 1.0 : 0.0;
    }
    const double px = std::numbers::pi * x;
    return lobes * std::sin(px) * std::sin(px / lobes) / (px * px);
}

AxisFilter lanczosAxis(int inputSize, int outputSize, int factor, double shift) {
    if (inputSize <= 0 || outputSize < 0 || factor <= 0) {
        throw std::invalid_argument("lanczosAxis: bad sizes");
    }
    const double support = 3.0 * factor;
    AxisFilter filter;
    filter.taps = static_cast<int>(std::floor(2.0 * support)) + 1;
    filter.indices.assign(static_cast<std::size_t>(outputSize) * filter.taps, 0);
    filter.weights.assign(filter.indices.size(), 0.0f);
    std::vector<double> weights(filter.taps);
    for (int j = 0; j < outputSize; ++j) {
        const double centre = (j + 0.5) * factor + shift;
        // Input samples whose centres lie strictly inside the stretched support.
        const int first = static_cast<int>(std::floor(centre - 0.5 - support)) + 1;
        double sum = 0.0;
        for (int t = 0; t < filter.taps; ++t) {
            const int i = first + t;
            weights[t] = lanczos3((i + 0.5 - centre) / factor);
            sum += weights[t];
        }
        for (int t = 0; t < filter.taps; ++t) {
            const std::size_t slot = static_cast<std::size_t>(j) * filter.taps + t;
            filter.indices[slot] = std::clamp(first + t, 0, inputSize - 1);
            filter.weights[slot] = static_cast<float>(weights[t] / sum);
        }
    }
    return filter;
}

Picture lanczosReduce(const Picture &picture, int factor, double shiftX, double shiftY,
                      int outputWidth, int outputHeight) {
    const AxisFilter fx = lanczosAxis(picture.width, outputWidth, factor, shiftX);
    const AxisFilter fy = lanczosAxis(picture.height, outputHeight, factor, shiftY);
    // Rows first: the picture's rows reduced to outputWidth, then the columns.
    Picture rows(outputWidth, picture.height);
    parallelFor(static_cast<std::size_t>(picture.height), [&](std::size_t y) {
        const float *in = picture.pixel(0, static_cast<int>(y));
        float *out = rows.pixel(0, static_cast<int>(y));
        for (int x = 0; x < outputWidth; ++x) {
            const int *idx = fx.indices.data() + static_cast<std::size_t>(x) * fx.taps;
            const float *w = fx.weights.data() + static_cast<std::size_t>(x) * fx.taps;
            float r = 0.0f, g = 0.0f, b = 0.0f;
            for (int t = 0; t < fx.taps; ++t) {
                const float *p = in + static_cast<std::size_t>(idx[t]) * 3;
                r += w[t] * p[0];
                g += w[t] * p[1];
                b += w[t] * p[2];
            }
            out[3 * x] = r;
            out[3 * x + 1] = g;
            out[3 * x + 2] = b;
        }
    });
    Picture result(outputWidth, outputHeight);
    const std::size_t rowSamples = static_cast<std::size_t>(outputWidth) * 3;
    parallelFor(static_cast<std::size_t>(outputHeight), [&](std::size_t y) {
        const int *idx = fy.indices.data() + y * fy.taps;
        const float *w = fy.weights.data() + y * fy.taps;
        float *out = result.pixel(0, static_cast<int>(y));
        for (int t = 0; t < fy.taps; ++t) {
            const float *in = rows.pixel(0, idx[t]);
            const float weight = w[t];
            for (std::size_t s = 0; s < rowSamples; ++s) {
                out[s] += weight * in[s];
            }
        }
    });
    return result;
}

void quantise(Picture &picture) {
    for (float &sample : picture.samples) {
        sample = std::clamp(std::round(sample), 0.0f, 255.0f);
    }
}

} // namespace moiravel::images
