// SPDX-License-Identifier: MIT
// The Lanczos-3 reduction that makes files 2 and 3.
#include "lanczos.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace moiravel::images {
namespace {

Picture randomPicture(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> sample(0, 255);
    Picture picture(width, height);
    for (float &s : picture.samples) {
        s = static_cast<float>(sample(random));
    }
    return picture;
}

TEST(LanczosKernel, IsOneAtZeroZeroAtOtherIntegersAndOutsideThreeLobes) {
    EXPECT_EQ(lanczos3(0.0), 1.0);
    for (int n : {-3, -2, -1, 1, 2, 3}) {
        EXPECT_EQ(lanczos3(n), 0.0) << n;
    }
    EXPECT_EQ(lanczos3(3.5), 0.0);
    EXPECT_EQ(lanczos3(-7.0), 0.0);
    EXPECT_NEAR(lanczos3(0.5), lanczos3(-0.5), 1e-15);
    EXPECT_LT(lanczos3(1.5), 0.0); // the first negative lobe
    EXPECT_NEAR(lanczos3(0.5), 0.6079271, 1e-6);
}

TEST(LanczosKernel, NormalisedWeightsSumToOneEverywhereIncludingTheEdges) {
    for (int factor : {1, 2, 3, 4}) {
        for (double shift : {0.0, -0.5 * factor, 0.3}) {
            const AxisFilter filter = lanczosAxis(10 * factor, 10, factor, shift);
            ASSERT_EQ(filter.outputSize(), 10);
            for (int j = 0; j < 10; ++j) {
                double sum = 0.0;
                for (int t = 0; t < filter.taps; ++t) {
                    const int index = filter.indices[j * filter.taps + t];
                    EXPECT_GE(index, 0);
                    EXPECT_LT(index, 10 * factor);
                    sum += filter.weights[j * filter.taps + t];
                }
                EXPECT_NEAR(sum, 1.0, 1e-6) << "factor " << factor << " shift " << shift;
            }
        }
    }
}

TEST(LanczosReduce, ReproducesAConstantPictureExactly) {
    for (int factor : {1, 2, 3}) {
        Picture flat(12 * factor, 8 * factor, 0.0f);
        for (std::size_t i = 0; i < flat.samples.size(); ++i) {
            flat.samples[i] = (i % 3 == 0) ? 200.0f : (i % 3 == 1 ? 17.0f : 255.0f);
        }
        for (double shift : {0.0, -0.5 * factor}) {
            Picture reduced = lanczosReduce(flat, factor, shift, shift, 12, 8);
            quantise(reduced);
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 12; ++x) {
                    EXPECT_EQ(reduced.pixel(x, y)[0], 200.0f);
                    EXPECT_EQ(reduced.pixel(x, y)[1], 17.0f);
                    EXPECT_EQ(reduced.pixel(x, y)[2], 255.0f);
                }
            }
        }
    }
}

TEST(LanczosReduce, FactorOneWithoutShiftReturnsThePicture) {
    const Picture picture = randomPicture(9, 7, 1);
    const Picture reduced = lanczosReduce(picture, 1, 0.0, 0.0, 9, 7);
    ASSERT_EQ(reduced.samples.size(), picture.samples.size());
    for (std::size_t i = 0; i < picture.samples.size(); ++i) {
        EXPECT_FLOAT_EQ(reduced.samples[i], picture.samples[i]) << i;
    }
}

// A ramp shows where each output sample is taken: away from the edges the symmetric kernel
// returns the ramp's value at the sample's centre.
TEST(LanczosReduce, SamplesAtTheCentresOfDisplayPixelsShiftedAsAsked) {
    const int factor = 2;
    Picture ramp(64, 40);
    for (int y = 0; y < ramp.height; ++y) {
        for (int x = 0; x < ramp.width; ++x) {
            float *p = ramp.pixel(x, y);
            p[0] = static_cast<float>(x + 0.5); // the column's centre
            p[1] = static_cast<float>(y + 0.5);
            p[2] = 0.0f;
        }
    }
    const Picture aligned = lanczosReduce(ramp, factor, 0.0, 0.0, 32, 20);
    const Picture shifted = lanczosReduce(ramp, factor, -1.0, -1.0, 32, 20);
    for (int y = 5; y < 15; ++y) {
        for (int x = 5; x < 27; ++x) {
            EXPECT_NEAR(aligned.pixel(x, y)[0], 2 * x + 1.0, 1e-3);
            EXPECT_NEAR(aligned.pixel(x, y)[1], 2 * y + 1.0, 1e-3);
            // Half a display pixel to the left and above.
            EXPECT_NEAR(shifted.pixel(x, y)[0], 2 * x, 1e-3);
            EXPECT_NEAR(shifted.pixel(x, y)[1], 2 * y, 1e-3);
        }
    }
}

TEST(LanczosReduce, QuantiseRoundsAndClampsToFileValues) {
    Picture p(2, 1);
    p.samples = {-3.0f, 0.49f, 0.5f, 127.5f, 254.6f, 300.0f};
    quantise(p);
    EXPECT_EQ(p.samples, (std::vector<float>{0.0f, 0.0f, 1.0f, 128.0f, 255.0f, 255.0f}));
}

} // namespace
} // namespace moiravel::images
