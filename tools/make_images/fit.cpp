#include "fit.h"

#include "parallel.h"

#include <algorithm>
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

} // namespace

FitResult fitSubimages(const EyeModel &model, const Picture &target, Picture sub0, Picture sub1,
                       const FitOptions &options) {
    const int w = model.displayWidth();
    const int h = model.displayHeight();
    if (sub0.width != w || sub0.height != h || sub1.width != w || sub1.height != h ||
        target.width != model.pictureWidth() || target.height != model.pictureHeight()) {
        throw std::invalid_argument("fitSubimages: sizes do not match the model");
    }
    const std::size_t n = sub0.samples.size();

    // Objective: 0.5 |M x - t|^2 = 0.5 x'Hx - b'x + 0.5 t't, with H = M'M and b = M't.
    Picture b[2];
    model.transpose(target, b[0], b[1]);
    const double targetEnergy = dot(target.samples, target.samples);
    const double sampleCount = static_cast<double>(target.samples.size());

    // The flicker penalty 0.5 * lambda * |x0 - x1|^2, lambda relative to the error's weight of
    // an interior display pixel (its diagonal entry, K^2 / 4).
    const int k = model.factor();
    const float lambda = static_cast<float>(options.flickerWeight * 0.25 * k * k);

    // Diagonal preconditioner: step 1 / (L * diagonal) per sample, with L the Gershgorin bound
    // of the scaled operator (penalty included).
    double bound = 0.0;
    std::vector<float> diagonal[2];
    for (int p = 0; p < 2; ++p) {
        diagonal[p].resize(static_cast<std::size_t>(w) * h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const double d = std::max(1e-6, model.normalDiagonal(p, x, y) + double{lambda});
                diagonal[p][static_cast<std::size_t>(y) * w + x] = static_cast<float>(d);
                bound = std::max(bound, (model.normalRowSum(p, x, y) + 2.0 * lambda) / d);
            }
        }
    }
    std::vector<float> stepOf[2];
    for (int p = 0; p < 2; ++p) {
        stepOf[p].resize(diagonal[p].size());
        for (std::size_t i = 0; i < diagonal[p].size(); ++i) {
            stepOf[p][i] = static_cast<float>(1.0 / (bound * diagonal[p][i]));
        }
    }

    Picture *x[2] = {&sub0, &sub1};
    for (Picture *s : x) {
        for (float &v : s->samples) {
            v = std::clamp(v, lowest, highest);
        }
    }
    Picture y[2] = {sub0, sub1}; // search point
    Picture hy[2] = {Picture(w, h), Picture(w, h)};
    Picture delta[2] = {Picture(w, h), Picture(w, h)}; // last change of the iterate
    double momentum = 1.0;

    FitResult result;
    const std::size_t chunks = threadCount();
    const std::size_t per = (n + chunks - 1) / chunks;
    std::vector<double> yhy(chunks), by(chunks), moved(chunks), turn(chunks);
    for (int iteration = 1; iteration <= options.maxIterations; ++iteration) {
        model.normal(y[0], y[1], hy[0], hy[1]);
        // One pass: the error at y, the projected gradient step from y, and the test for a
        // momentum restart (the step turning against the last change).
        parallelFor(chunks, [&](std::size_t c) {
            const std::size_t begin = c * per;
            const std::size_t end = std::min(n, begin + per);
            double sYhy = 0.0, sBy = 0.0, sMoved = 0.0, sTurn = 0.0;
            for (std::size_t i = begin; i < end; ++i) {
                const float y0 = y[0].samples[i];
                const float y1 = y[1].samples[i];
                const float flicker = lambda * (y0 - y1);
                const float yv[2] = {y0, y1};
                const float penalty[2] = {flicker, -flicker};
                for (int p = 0; p < 2; ++p) {
                    const float hv = hy[p].samples[i];
                    const float bv = b[p].samples[i];
                    const float gradient = hv - bv + penalty[p];
                    const float next =
                        std::clamp(yv[p] - stepOf[p][i / 3] * gradient, lowest, highest);
                    sYhy += static_cast<double>(yv[p]) * hv;
                    sBy += static_cast<double>(bv) * yv[p];
                    const double fromY = static_cast<double>(next) - yv[p];
                    sMoved += fromY * fromY;
                    float &xv = x[p]->samples[i];
                    delta[p].samples[i] = next - xv;
                    sTurn -= fromY * delta[p].samples[i];
                    xv = next;
                }
            }
            yhy[c] = sYhy;
            by[c] = sBy;
            moved[c] = sMoved;
            turn[c] = sTurn;
        });
        double sYhy = 0.0, sBy = 0.0, sMoved = 0.0, sTurn = 0.0;
        for (std::size_t c = 0; c < chunks; ++c) {
            sYhy += yhy[c];
            sBy += by[c];
            sMoved += moved[c];
            sTurn += turn[c];
        }
        const double residual = std::max(0.0, sYhy - 2.0 * sBy + targetEnergy);
        FitProgress progress;
        progress.iteration = iteration;
        progress.maxIterations = options.maxIterations;
        progress.rms = std::sqrt(residual / sampleCount);
        progress.step = std::sqrt(sMoved / (2.0 * static_cast<double>(n)));
        result.iterations = iteration;
        if (options.progress) {
            options.progress(progress);
        }
        if (progress.step < options.tolerance) {
            result.converged = true;
            break;
        }
        // Nesterov momentum, restarted whenever the step turns against the last change.
        double beta = 0.0;
        if (sTurn > 0.0) {
            momentum = 1.0;
        } else {
            const double nextMomentum = 0.5 * (1.0 + std::sqrt(1.0 + 4.0 * momentum * momentum));
            beta = (momentum - 1.0) / nextMomentum;
            momentum = nextMomentum;
        }
        const float b32 = static_cast<float>(beta);
        parallelFor(chunks, [&](std::size_t c) {
            const std::size_t begin = c * per;
            const std::size_t end = std::min(n, begin + per);
            for (int p = 0; p < 2; ++p) {
                const float *xp = x[p]->samples.data();
                const float *dp = delta[p].samples.data();
                float *yp = y[p].samples.data();
                for (std::size_t i = begin; i < end; ++i) {
                    yp[i] = xp[i] + b32 * dp[i];
                }
            }
        });
    }
    result.sub0 = std::move(sub0);
    result.sub1 = std::move(sub1);
    return result;
}

} // namespace moiravel::images
