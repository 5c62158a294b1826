// SPDX-License-Identifier: MIT
// The display's transfer curves: sRGB's two segments meet where the standard says, every curve
// inverts exactly, and the option's text is read strictly.
#include "transfer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace moiravel::images {
namespace {

const Transfer srgb = *parseTransfer("srgb");

TEST(Transfer, SrgbSegmentsMeetAtTheJoinOfTheStandard) {
    // Code 0.04045 of white is light 0.0031308 of white, from either segment.
    const double joinCode = 0.04045 * 255.0;
    EXPECT_NEAR(toLight(srgb, joinCode) / 255.0, 0.04045 / 12.92, 1e-12);
    EXPECT_NEAR(toLight(srgb, joinCode) / 255.0, std::pow((0.04045 + 0.055) / 1.055, 2.4), 1e-8);
    EXPECT_NEAR(toCode(srgb, 0.0031308 * 255.0) / 255.0, 0.04045, 1e-7);
    // The standard's rounded constants leave a step of about 2e-6 of white at the join; the
    // code takes the linear segment up to and including it.
    EXPECT_NEAR(toLight(srgb, joinCode - 1e-9), toLight(srgb, joinCode + 1e-9), 255.0 * 3e-6);
    EXPECT_EQ(toLight(srgb, joinCode), 255.0 * (0.04045 / 12.92));
    // Published values: black, white, code 128 and the example of a 0/255 pair, whose
    // average light (half of white) looks like code 188, not 128.
    EXPECT_EQ(toLight(srgb, 0.0), 0.0);
    EXPECT_DOUBLE_EQ(toLight(srgb, 255.0), 255.0);
    EXPECT_NEAR(toLight(srgb, 128.0) / 255.0, 0.2158605, 1e-6);
    EXPECT_EQ(std::lround(toCode(srgb, 0.5 * (toLight(srgb, 0) + toLight(srgb, 255)))), 188);
}

TEST(Transfer, EveryCurveRoundTripsEveryCodeAndClampsOutsideTheRange) {
    for (const char *text : {"srgb", "gamma:2.2", "gamma:1.8", "code"}) {
        SCOPED_TRACE(text);
        const Transfer transfer = parseTransfer(text).value();
        for (int code = 0; code <= 255; ++code) {
            EXPECT_NEAR(toCode(transfer, toLight(transfer, code)), code, 1e-9);
        }
        for (double light : {0.001, 0.5, 17.25, 128.0, 254.9}) {
            EXPECT_NEAR(toLight(transfer, toCode(transfer, light)), light, 1e-9);
        }
        EXPECT_EQ(toLight(transfer, -3.0), 0.0);
        EXPECT_DOUBLE_EQ(toCode(transfer, 300.0), 255.0);
        // Whole codes come from a table, others are computed; both agree.
        Picture picture(2, 1);
        picture.samples = {0.0f, 64.0f, 128.0f, 64.5f, 200.25f, 255.0f};
        const std::vector<float> codes = picture.samples;
        pictureToLight(transfer, picture);
        for (std::size_t i = 0; i < codes.size(); ++i) {
            EXPECT_NEAR(picture.samples[i], toLight(transfer, codes[i]), 1e-4);
        }
        pictureToCode(transfer, picture);
        for (std::size_t i = 0; i < codes.size(); ++i) {
            EXPECT_NEAR(picture.samples[i], codes[i], 1e-3);
        }
    }
    EXPECT_NEAR(toLight(*parseTransfer("gamma:2.2"), 127.5) / 255.0, std::pow(0.5, 2.2), 1e-12);
}

TEST(Transfer, OptionTextIsReadStrictly) {
    const struct {
        const char *text;
        bool valid;
        const char *name;
    } cases[] = {
        {"srgb", true, "srgb"},
        {"code", true, "code"},
        {"gamma:2.2", true, "gamma:2.2"},
        {"gamma:1", true, "gamma:1"},
        {"gamma:0.05", false, ""},
        {"gamma:", false, ""},
        {"gamma:2x", false, ""},
        {"gamma:11", false, ""},
        {"SRGB", false, ""},
        {"", false, ""},
        {"gamma:nan", false, ""},
    };
    for (const auto &c : cases) {
        const auto transfer = parseTransfer(c.text);
        EXPECT_EQ(transfer.has_value(), c.valid) << c.text;
        if (transfer) {
            EXPECT_EQ(transferName(*transfer), c.name);
        }
    }
}

} // namespace
} // namespace moiravel::images
