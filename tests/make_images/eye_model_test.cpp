// SPDX-License-Identifier: MIT
// What the eye sees: the displacement the viewer's movement produces, and the model of the
// perceived picture built on it.
#include "eye_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#if MOIRAVEL_HAVE_VIEWER_FRAME
#include "frame.h"
#include "state.h"
#endif

namespace moiravel::images {
namespace {

#if MOIRAVEL_HAVE_VIEWER_FRAME
// Runs the viewer's own per-frame counter update from its start state and records what each
// frame shows and where.
std::vector<ShownFrame> viewerFrames(int count, bool frozen) {
    DemoState state;
    state.flickerFrozen = frozen;
    std::vector<ShownFrame> frames;
    for (int f = 0; f < count; ++f) {
        advanceFrame(state);
        frames.push_back({state.subimage, state.offsetX, state.offsetY});
    }
    return frames;
}

TEST(TrackedDisplacement, OfTheViewersMovementIsWhatTheModelUses) {
    for (int count : {8, 9, 40}) {
        const std::vector<ShownFrame> frames = viewerFrames(count, false);
        const Shift shift = trackedDisplacement(frames);
        EXPECT_DOUBLE_EQ(shift.x, subimage1Displacement.x) << count << " frames";
        EXPECT_DOUBLE_EQ(shift.y, subimage1Displacement.y) << count << " frames";
    }
    // The model places subimage 0 that displacement (in picture pixels) up and to the left.
    const EyeModel model(8, 4, 2);
    EXPECT_DOUBLE_EQ(model.subimage0OffsetX(), -subimage1Displacement.x * 2);
    EXPECT_DOUBLE_EQ(model.subimage0OffsetY(), -subimage1Displacement.y * 2);
}

TEST(TrackedSmear, OfTheViewersMovementIsWhatTheHoldModelUses) {
    for (int count : {8, 9, 40}) {
        const Shift smear = trackedSmear(viewerFrames(count, false));
        EXPECT_DOUBLE_EQ(smear.x, frameSmear.x) << count << " frames";
        EXPECT_DOUBLE_EQ(smear.y, frameSmear.y) << count << " frames";
    }
}

TEST(TrackedDisplacement, NeedsBothSubimages) {
    EXPECT_THROW(trackedDisplacement(viewerFrames(10, true)), std::invalid_argument);
}
#endif

TEST(TrackedDisplacement, FollowsTheImageAtItsMeanVelocity) {
    // Three subimages, 1, 2, 0, ..., and a step of two pixels to the right before each 0: the
    // eye moves 2/3 pixel a frame, and subimage 1, shown one frame after 0 at the same place,
    // lands 2/3 pixel left of it.
    std::vector<ShownFrame> frames;
    double x = 0.0;
    for (int f = 0; f < 12; ++f) {
        const int s = (f + 1) % 3;
        if (s == 0) {
            x += 2.0;
        }
        frames.push_back({s, x, 0.0});
    }
    const Shift shift = trackedDisplacement(frames);
    EXPECT_NEAR(shift.x, -2.0 / 3.0, 1e-12);
    EXPECT_NEAR(shift.y, 0.0, 1e-12);
}

Picture randomPicture(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> sample(0.0f, 255.0f);
    Picture picture(width, height);
    for (float &s : picture.samples) {
        s = sample(random);
    }
    return picture;
}

double dot(const Picture &a, const Picture &b) {
    double sum = 0.0;
    for (std::size_t i = 0; i < a.samples.size(); ++i) {
        sum += static_cast<double>(a.samples[i]) * b.samples[i];
    }
    return sum;
}

TEST(EyeModel, SeesEachSubimageAsHalfOfBlocksOfFactorPixelsHalfADisplayPixelApart) {
    const EyeModel model(4, 4, 2);
    Picture sub0(4, 4), sub1(4, 4);
    sub1.pixel(2, 1)[0] = 200.0f; // subimage 1: picture pixels 4..5 x 2..3
    sub0.pixel(1, 2)[1] = 100.0f; // subimage 0: one picture pixel up and left, 1..2 x 3..4
    const Picture seen = model.perceive(sub0, sub1);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool inRed = x >= 4 && x < 6 && y >= 2 && y < 4;
            const bool inGreen = x >= 1 && x < 3 && y >= 3 && y < 5;
            EXPECT_FLOAT_EQ(seen.pixel(x, y)[0], inRed ? 100.0f : 0.0f) << x << "," << y;
            EXPECT_FLOAT_EQ(seen.pixel(x, y)[1], inGreen ? 50.0f : 0.0f) << x << "," << y;
        }
    }
}

TEST(EyeModel, RmsErrorIsZeroForWhatItSeesAndMeasuresAConstantOffset) {
    const EyeModel model(8, 4, 2);
    const Picture sub0 = randomPicture(8, 4, 3);
    const Picture sub1 = randomPicture(8, 4, 4);
    Picture seen = model.perceive(sub0, sub1);
    EXPECT_NEAR(model.rmsError(sub0, sub1, seen), 0.0, 1e-4);
    for (float &s : seen.samples) {
        s += 3.0f;
    }
    EXPECT_NEAR(model.rmsError(sub0, sub1, seen), 3.0, 1e-4);
}

// The fit relies on transpose() and normal() being exactly the adjoint and the normal
// operator of perceive(), for every factor and at the clamped edges.
class EyeModelOperators : public ::testing::TestWithParam<std::tuple<int, DisplayModel>> {};

TEST_P(EyeModelOperators, TransposeIsTheAdjointOfPerceive) {
    const auto [factor, display] = GetParam();
    const EyeModel model(8, 5, factor, display);
    const Picture x0 = randomPicture(8, 5, 10);
    const Picture x1 = randomPicture(8, 5, 11);
    const Picture picture = randomPicture(8 * factor, 5 * factor, 12);
    Picture t0, t1;
    model.transpose(picture, t0, t1);
    const double lhs = dot(model.perceive(x0, x1), picture);
    const double rhs = dot(x0, t0) + dot(x1, t1);
    EXPECT_NEAR(lhs, rhs, 1e-5 * std::abs(lhs));
}

TEST_P(EyeModelOperators, NormalEqualsTransposeOfPerceiveAndItsDiagonalAndRowSumsMatch) {
    const auto [factor, display] = GetParam();
    // 23 x 19 is large enough for rows of normal() that are far from every edge.
    for (const auto &[w, h] : {std::pair{23, 19}, std::pair{7, 5}}) {
        const EyeModel sized(w, h, factor, display);
        const Picture x0 = randomPicture(w, h, 20 + w);
        const Picture x1 = randomPicture(w, h, 21 + w);
        Picture viaPicture0, viaPicture1, direct0, direct1;
        sized.transpose(sized.perceive(x0, x1), viaPicture0, viaPicture1);
        sized.normal(x0, x1, direct0, direct1);
        for (std::size_t i = 0; i < x0.samples.size(); ++i) {
            ASSERT_NEAR(direct0.samples[i], viaPicture0.samples[i], 1e-3 * factor * factor) << i;
            ASSERT_NEAR(direct1.samples[i], viaPicture1.samples[i], 1e-3 * factor * factor) << i;
        }
    }
    const EyeModel model(7, 5, factor, display);
    // A unit sample at one display pixel picks out a column of the operator.
    for (int p = 0; p < 2; ++p) {
        for (auto [x, y] : {std::pair{0, 0}, std::pair{3, 2}, std::pair{6, 4}}) {
            Picture unit[2] = {Picture(7, 5), Picture(7, 5)};
            unit[p].pixel(x, y)[0] = 1.0f;
            Picture column[2];
            model.normal(unit[0], unit[1], column[0], column[1]);
            EXPECT_NEAR(column[p].pixel(x, y)[0], model.normalDiagonal(p, x, y), 1e-6);
            double sum = 0.0;
            for (const Picture &c : column) {
                for (std::size_t i = 0; i < c.samples.size(); i += 3) {
                    sum += c.samples[i];
                }
            }
            // The operator is symmetric, so a column sums like the row.
            EXPECT_NEAR(sum, model.normalRowSum(p, x, y), 1e-5);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Factors, EyeModelOperators,
                         ::testing::Combine(::testing::Values(1, 2, 3, 4),
                                            ::testing::Values(DisplayModel::flash,
                                                              DisplayModel::hold)),
                         [](const auto &info) {
                             return std::string(displayModelName(std::get<1>(info.param))) +
                                    "Factor" + std::to_string(std::get<0>(info.param));
                         });

// The hold model by brute force: the frame as many flashes at evenly spaced moments while the
// eye moves on, each drawn by the overlap of every display pixel's square with every picture
// pixel (display pixels beyond the edge show the edge pixel).
Picture heldByTimeSteps(const Picture &sub0, const Picture &sub1, int k, int steps) {
    const int w = sub0.width;
    const int h = sub0.height;
    Picture seen(w * k, h * k);
    const auto overlap = [](double a0, double a1, double b0, double b1) {
        return std::max(0.0, std::min(a1, b1) - std::max(a0, b0));
    };
    for (int step = 0; step < steps; ++step) {
        const double s = (step + 0.5) / steps - 0.5; // within the frame, centred
        for (int p = 0; p < 2; ++p) {
            const Picture &sub = p == 0 ? sub0 : sub1;
            const double place = (p == 0 ? -0.5 * k : 0.0) + s * 0.5 * k; // both axes alike
            for (int iy = 0; iy < h * k; ++iy) {
                for (int ix = 0; ix < w * k; ++ix) {
                    for (int jy = -2; jy < h + 2; ++jy) {
                        for (int jx = -2; jx < w + 2; ++jx) {
                            const double area =
                                overlap(ix, ix + 1, place + jx * k, place + (jx + 1) * k) *
                                overlap(iy, iy + 1, place + jy * k, place + (jy + 1) * k);
                            if (area == 0.0) {
                                continue;
                            }
                            const float *in =
                                sub.pixel(std::clamp(jx, 0, w - 1), std::clamp(jy, 0, h - 1));
                            for (int c = 0; c < 3; ++c) {
                                seen.pixel(ix, iy)[c] +=
                                    static_cast<float>(0.5 * area * in[c] / steps);
                            }
                        }
                    }
                }
            }
        }
    }
    return seen;
}

TEST(HoldModel, MatchesABruteForceIntegrationOverTheFrame) {
    for (int k : {2, 3}) {
        const Picture sub0 = randomPicture(6, 5, 30 + k);
        const Picture sub1 = randomPicture(6, 5, 40 + k);
        const Picture reference = heldByTimeSteps(sub0, sub1, k, 240);
        const Picture held = EyeModel(6, 5, k, DisplayModel::hold).perceive(sub0, sub1);
        const Picture flashed = EyeModel(6, 5, k, DisplayModel::flash).perceive(sub0, sub1);
        double largest = 0.0;
        double flashDifference = 0.0;
        for (std::size_t i = 0; i < held.samples.size(); ++i) {
            largest = std::max(largest, double{std::abs(held.samples[i] - reference.samples[i])});
            flashDifference = std::max(flashDifference,
                                       double{std::abs(flashed.samples[i] - reference.samples[i])});
        }
        EXPECT_LT(largest, 0.05) << "factor " << k;
        EXPECT_GT(flashDifference, 5.0) << "factor " << k; // the smear matters
    }
}

} // namespace
} // namespace moiravel::images
