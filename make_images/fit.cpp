// SPDX-License-Identifier: MIT
#include "fit.h"

#include "parallel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace moiravel::images {

namespace {

constexpr float lowest = 0.0f;
constexpr float highest = 255.0f;

double dot(const std::vector<float> &a, const std::vector<float> &b) {
    std::vector<double> parts(threadCount(), 0.0);
    const std::size_t chunks = parts.size();
    const std::size_t per = (a.size() + chunks - 1) / chunks;
    parallelFor(chunks, [&](std::size_t c) {
        double sum = 0.0;
        const std::size_t end = std::min(a.size(), (c + 1) * per);
        for (std::size_t i = c * per; i < end; ++i) {
            sum += static_cast<double>(a[i]) * b[i];
        }
        parts[c] = sum;
    });
    double total = 0.0;
    for (const double part : parts) {
        total += part;
    }
    return total;
}

// The scale of each sample's step: 1 / (L * diagonal), a diagonal preconditioner with L the
// Gershgorin bound of the scaled operator (penalty included).
std::array<std::vector<float>, 2> stepSizes(const EyeModel &model, float lambda) {
    const int w = model.displayWidth();
    const int h = model.displayHeight();
    double bound = 0.0;
    std::array<std::vector<float>, 2> steps;
    for (int p = 0; p < 2; ++p) {
        steps[p].resize(static_cast<std::size_t>(w) * h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const double d = std::max(1e-6, model.normalDiagonal(p, x, y) + double{lambda});
                steps[p][static_cast<std::size_t>(y) * w + x] = static_cast<float>(d);
                bound = std::max(bound, (model.normalRowSum(p, x, y) + 2.0 * lambda) / d);
            }
        }
    }
    for (auto &step : steps) {
        for (float &s : step) {
            s = static_cast<float>(1.0 / (bound * s));
        }
    }
    return steps;
}

// The sums one pass gathers: y'Hy and b'y for the error at y, the size of the step, and its
// turn against the last change (positive: restart the momentum).
struct PassSums {
    double yhy = 0.0;
    double by = 0.0;
    double moved = 0.0;
    double turn = 0.0;
};

// The state of the search: iterate x, search point y, H y, and the last change of x.
struct Search {
    Picture *x[2];
    Picture y[2];
    Picture hy[2];
    Picture delta[2];
};

// One projected gradient step from y into x, in one pass over the samples.
PassSums projectedStep(Search &search, const Picture (&b)[2],
                       const std::array<std::vector<float>, 2> &steps, float lambda) {
    const std::size_t n = search.y[0].samples.size();
    const std::size_t chunks = threadCount();
    const std::size_t per = (n + chunks - 1) / chunks;
    std::vector<PassSums> parts(chunks);
    parallelFor(chunks, [&](std::size_t c) {
        const std::size_t begin = c * per;
        const std::size_t end = std::min(n, begin + per);
        PassSums sums;
        for (std::size_t i = begin; i < end; ++i) {
            const float y0 = search.y[0].samples[i];
            const float y1 = search.y[1].samples[i];
            const float flicker = lambda * (y0 - y1);
            const float yv[2] = {y0, y1};
            const float penalty[2] = {flicker, -flicker};
            for (int p = 0; p < 2; ++p) {
                const float hv = search.hy[p].samples[i];
                const float bv = b[p].samples[i];
                const float gradient = hv - bv + penalty[p];
                const float next = std::clamp(yv[p] - steps[p][i / 3] * gradient, lowest, highest);
                sums.yhy += static_cast<double>(yv[p]) * hv;
                sums.by += static_cast<double>(bv) * yv[p];
                const double fromY = static_cast<double>(next) - yv[p];
                sums.moved += fromY * fromY;
                float &xv = search.x[p]->samples[i];
                search.delta[p].samples[i] = next - xv;
                sums.turn -= fromY * search.delta[p].samples[i];
                xv = next;
            }
        }
        parts[c] = sums;
    });
    PassSums total;
    for (const PassSums &part : parts) {
        total.yhy += part.yhy;
        total.by += part.by;
        total.moved += part.moved;
        total.turn += part.turn;
    }
    return total;
}

// y = x + beta * delta.
void extrapolate(Search &search, double beta) {
    const std::size_t n = search.y[0].samples.size();
    const auto b32 = static_cast<float>(beta);
    parallelRanges(n, [&](std::size_t begin, std::size_t end) {
        for (int p = 0; p < 2; ++p) {
            const float *xp = search.x[p]->samples.data();
            const float *dp = search.delta[p].samples.data();
            float *yp = search.y[p].samples.data();
            for (std::size_t i = begin; i < end; ++i) {
                yp[i] = xp[i] + b32 * dp[i];
            }
        }
    });
}

// Nesterov's momentum, restarted whenever the step turns against the last change.
class Momentum {
  public:
    double next(bool restart) {
        if (restart) {
            t_ = 1.0;
            return 0.0;
        }
        const double t = 0.5 * (1.0 + std::sqrt(1.0 + 4.0 * t_ * t_));
        const double beta = (t_ - 1.0) / t;
        t_ = t;
        return beta;
    }

  private:
    double t_ = 1.0;
};

} // namespace

FitResult fitSubimages(const EyeModel &model, const Picture &target, Picture sub0, Picture sub1,
                       const FitOptions &options) {
    const int w = model.displayWidth();
    const int h = model.displayHeight();
    if (sub0.width != w || sub0.height != h || sub1.width != w || sub1.height != h ||
        target.width != model.pictureWidth() || target.height != model.pictureHeight()) {
        throw std::invalid_argument("fitSubimages: sizes do not match the model");
    }
    // Objective: 0.5 |M x - t|^2 = 0.5 x'Hx - b'x + 0.5 t't, with H = M'M and b = M't, plus
    // the flicker penalty 0.5 * lambda * |x0 - x1|^2, lambda relative to the error's weight of
    // an interior display pixel under flashed frames (K^2 / 4).
    Picture b[2];
    model.transpose(target, b[0], b[1]);
    const double targetEnergy = dot(target.samples, target.samples);
    const double sampleCount = static_cast<double>(target.samples.size());
    const int k = model.factor();
    const auto lambda = static_cast<float>(options.flickerWeight * 0.25 * k * k);
    const std::array<std::vector<float>, 2> steps = stepSizes(model, lambda);

    for (Picture *s : {&sub0, &sub1}) {
        for (float &v : s->samples) {
            v = std::clamp(v, lowest, highest);
        }
    }
    Search search{{&sub0, &sub1},
                  {sub0, sub1},
                  {Picture(w, h), Picture(w, h)},
                  {Picture(w, h), Picture(w, h)}};
    Momentum momentum;
    FitResult result;
    const double n = static_cast<double>(sub0.samples.size());
    for (int iteration = 1; iteration <= options.maxIterations; ++iteration) {
        model.normal(search.y[0], search.y[1], search.hy[0], search.hy[1]);
        const PassSums sums = projectedStep(search, b, steps, lambda);
        FitProgress progress;
        progress.iteration = iteration;
        progress.maxIterations = options.maxIterations;
        progress.rms =
            std::sqrt(std::max(0.0, sums.yhy - 2.0 * sums.by + targetEnergy) / sampleCount);
        progress.step = std::sqrt(sums.moved / (2.0 * n));
        result.iterations = iteration;
        if (options.progress) {
            options.progress(progress);
        }
        if (progress.step < options.tolerance) {
            result.converged = true;
            break;
        }
        extrapolate(search, momentum.next(sums.turn > 0.0));
    }
    result.sub0 = std::move(sub0);
    result.sub1 = std::move(sub1);
    return result;
}

} // namespace moiravel::images
