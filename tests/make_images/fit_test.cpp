// SPDX-License-Identifier: MIT
// The fitted pair of mode 0 against the Lanczos pair of mode 1, and the optimiser itself.
#include "fit.h"
#include "lanczos.h"
#include "make_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <random>
#include <tuple>

namespace moiravel::images {
namespace {

Picture randomPicture(int width, int height, float low, float high, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> sample(low, high);
    Picture picture(width, height);
    for (float &s : picture.samples) {
        s = sample(random);
    }
    return picture;
}

void expectFileValues(const Picture &image, const char *what) {
    for (float s : image.samples) {
        ASSERT_GE(s, 0.0f) << what;
        ASSERT_LE(s, 255.0f) << what;
        ASSERT_EQ(s, std::round(s)) << what;
    }
}

// Every display model under every transfer curve: the fit must beat both references.
class FitOnFineDetail : public ::testing::TestWithParam<std::tuple<DisplayModel, const char *>> {};

TEST_P(FitOnFineDetail, StaysInRangeAndIsSeenCloserToThePictureThanTheLanczosPair) {
    const auto [display, curve] = GetParam();
    const Transfer transfer = parseTransfer(curve).value();
    std::vector<std::string> notes;
    const Picture picture = cropToDisplayGrid(makeTestPattern(256, 160, 2).picture, 2, notes);
    const EyeModel model(picture.width / 2, picture.height / 2, 2, display);
    const ImageSet set = makeImageSet(model, picture, FitOptions{}, transfer);
    for (const Picture &image : set.images) {
        EXPECT_EQ(image.width, 128);
        EXPECT_EQ(image.height, 80);
        expectFileValues(image, "image");
    }
    const Figures figures = modeFigures(model, set, picture, transfer);
    std::cout << displayModelName(display) << ", " << curve << ": RMS error fitted pair "
              << figures[0].rms << ", Lanczos pair " << figures[1].rms << ", Lanczos alone "
              << figures[2].rms << "\n";
    EXPECT_LT(figures[0].rms, figures[1].rms * 0.95);
    EXPECT_LT(figures[0].rms, figures[2].rms * 0.95);
    EXPECT_EQ(figures[2].flicker, 0.0); // one file in both slots
    EXPECT_GT(figures[1].flicker, 0.0);
}

INSTANTIATE_TEST_SUITE_P(Models, FitOnFineDetail,
                         ::testing::Combine(::testing::Values(DisplayModel::hold,
                                                              DisplayModel::flash),
                                            ::testing::Values("srgb", "gamma:2.2", "code")),
                         [](const auto &info) {
                             std::string name = displayModelName(std::get<0>(info.param));
                             for (const char c : std::string(std::get<1>(info.param))) {
                                 if (std::isalnum(static_cast<unsigned char>(c))) {
                                     name += c;
                                 }
                             }
                             return name;
                         });

TEST(FitOnLines, OnePicturePixelWideIsSeenCloserThanThroughTheLanczosPair) {
    // One-picture-pixel lines on grey: detail the display's own pixels cannot hold.
    Picture picture(64, 48, 128.0f);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            if (x % 5 == 2 || y % 7 == 3) {
                std::fill_n(picture.pixel(x, y), 3, 255.0f);
            }
        }
    }
    const EyeModel model(32, 24, 2);
    const ImageSet set = makeImageSet(model, picture, FitOptions{});
    const Figures figures = modeFigures(model, set, picture);
    std::cout << "RMS error on the line grid: fitted pair " << figures[0].rms << ", Lanczos pair "
              << figures[1].rms << "\n";
    EXPECT_LT(figures[0].rms, figures[1].rms * 0.9);
}

TEST(FitSubimages, FindsSubimagesThatShowAReachablePictureExactly) {
    const EyeModel model(16, 12, 2);
    const Picture target =
        model.perceive(randomPicture(16, 12, 30, 225, 1), randomPicture(16, 12, 30, 225, 2));
    FitOptions options;
    options.flickerWeight = 0.0;
    options.tolerance = 1e-5;
    options.maxIterations = 5000;
    const Picture start = lanczosReduce(target, 2, 0.0, 0.0, 16, 12);
    const FitResult fit = fitSubimages(model, target, start, start, options);
    EXPECT_LT(model.rmsError(fit.sub0, fit.sub1, target), 0.05);
    EXPECT_TRUE(fit.converged);
}

TEST(FitSubimages, ProjectsOntoTheRangeEvenFromAStartOutsideIt) {
    // A bright picture with one dark block: the Lanczos start overshoots above 255.
    Picture target(32, 16, 255.0f);
    for (int y = 6; y < 10; ++y) {
        for (int x = 10; x < 14; ++x) {
            std::fill_n(target.pixel(x, y), 3, 0.0f);
        }
    }
    const EyeModel model(16, 8, 2);
    const Picture start = lanczosReduce(target, 2, 0.0, 0.0, 16, 8);
    ASSERT_GT(*std::max_element(start.samples.begin(), start.samples.end()), 255.0f);
    FitOptions options;
    options.maxIterations = 50;
    const FitResult fit = fitSubimages(model, target, start, start, options);
    for (const Picture *sub : {&fit.sub0, &fit.sub1}) {
        const auto [low, high] = std::minmax_element(sub->samples.begin(), sub->samples.end());
        EXPECT_GE(*low, 0.0f);
        EXPECT_LE(*high, 255.0f);
    }
}

TEST(FitSubimages, ReportsEachIterationAndStopsAtTheLimit) {
    const EyeModel model(8, 8, 2);
    const Picture target = randomPicture(16, 16, 0, 255, 5);
    const Picture start(8, 8, 128.0f);
    std::vector<FitProgress> seen;
    FitOptions options;
    options.maxIterations = 6;
    options.tolerance = 0.0;
    options.progress = [&](const FitProgress &p) { seen.push_back(p); };
    const FitResult fit = fitSubimages(model, target, start, start, options);
    EXPECT_EQ(fit.iterations, 6);
    EXPECT_FALSE(fit.converged);
    ASSERT_EQ(seen.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(seen[i].iteration, i + 1);
        EXPECT_EQ(seen[i].maxIterations, 6);
    }
    // The first report is the error at the start.
    EXPECT_NEAR(seen[0].rms, model.rmsError(start, start, target), 1e-3);
    EXPECT_LT(model.rmsError(fit.sub0, fit.sub1, target), seen[0].rms);
}

TEST(FitSubimages, RefusesSubimagesOfTheWrongSize) {
    const EyeModel model(8, 8, 2);
    EXPECT_THROW(fitSubimages(model, Picture(16, 16), Picture(8, 7), Picture(8, 8), {}),
                 std::invalid_argument);
}

} // namespace
} // namespace moiravel::images
