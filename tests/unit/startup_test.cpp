// SPDX-License-Identifier: MIT
#include "startup.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

struct Size {
    std::int32_t width;
    std::int32_t height;
};

Size parse(const std::string &text) {
    std::istringstream in(text);
    Size size{-99, -99};
    readScreenSize(in, size.width, size.height);
    return size;
}

TEST(ReadScreenSize, SeparatorsAndWhiteSpace) {
    struct Case {
        const char *text;
        std::int32_t width;
        std::int32_t height;
    };
    const Case cases[] = {
        {"1024 x 768\n", 1024, 768},
        {"1024x768", 1024, 768},
        {"1024 * 768", 1024, 768},
        {"\n\n  \t1280 x 1024 trailing text\n640 x 480\n", 1280, 1024},
        {"1024 768", 1024, 68}, // the first digit of the height is the separator
        {"-640 x 480", -640, 480},
        {"+800 x +600", 800, 600},
        {"1920\nx\n1080", 1920, 1080},
        {"0 x 0", 0, 0},
        {"2147483647 x -2147483648", 2147483647, -2147483647 - 1},
        {"0x400 x 768", 0, 400}, // decimal only: 0, separator x, then 400
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const Size size = parse(c.text);
        EXPECT_EQ(size.width, c.width);
        EXPECT_EQ(size.height, c.height);
    }
}

TEST(ReadScreenSize, FailedReadsLeaveThisAndLaterFieldsAtZero) {
    struct Case {
        const char *text;
        std::int32_t width;
        std::int32_t height;
    };
    const Case cases[] = {
        {"", 0, 0},
        {"\xEF\xBB\xBF"
         "1024 x 768",
         0, 0}, // byte-order mark
        {"width x height", 0, 0},
        {"1280 x", 1280, 0},
        {"1280", 1280, 0},
        {"1280 x abc", 1280, 0},
        {"2147483648 x 768", 0, 0}, // out of range: no clamping to INT_MAX
        {"1024 x 99999999999", 1024, 0},
        {"-2147483649 x 768", 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const Size size = parse(c.text);
        EXPECT_EQ(size.width, c.width);
        EXPECT_EQ(size.height, c.height);
    }
}

TEST(GameModeString, Format) {
    EXPECT_EQ(gameModeString(1024, 768), "1024x768:32");
    EXPECT_EQ(gameModeString(1280, 1024), "1280x1024:32");
    EXPECT_EQ(gameModeString(-640, 480), "-640x480:32");
    EXPECT_EQ(gameModeString(0, 0), "0x0:32");
    EXPECT_EQ(gameModeString(1024, 68), "1024x68:32");
}

TEST(WindowSizeWarning, NamesBothSizesAndWhereThePictureGoesOnlyWhenTheyDiffer) {
    const std::string start = "moiravel-demo: warning: the display is ";
    const std::string inLowerLeft = "; the picture is drawn one to one in the lower left ";
    const std::string cutOff = "; the picture is drawn one to one from the lower left and what "
                               "lies beyond the display is cut off";
    struct Case {
        std::int32_t wantedWidth, wantedHeight;
        int gotWidth, gotHeight;
        bool setViewport; // then README.txt's size
        std::string warning;
    };
    const Case cases[] = {
        {1920, 1080, 1920, 1080, true, ""},
        {1024, 768, 1920, 1080, true,
         start + "1920x1080, not the 1024x768 of README.txt" + inLowerLeft +
             "1024x768 and the rest is black"},
        {1024, 768, 1024, 1080, true,
         start + "1024x1080, not the 1024x768 of README.txt" + inLowerLeft +
             "1024x768 and the rest is black"},
        {1920, 1080, 1280, 1024, true,
         start + "1280x1024, not the 1920x1080 of README.txt" + cutOff},
        {1024, 1200, 1920, 1080, true,
         start + "1920x1080, not the 1024x1200 of README.txt" + cutOff + ", and the rest is black"},
        // No area to draw in: the window's own viewport stays.
        {0, 0, 0, 0, false, ""},
        {0, 0, 640, 480, false,
         start + "640x480, not the 0x0 of README.txt; texels will not fall one to one on "
                 "display pixels"},
        {-640, 480, 800, 600, false,
         start + "800x600, not the -640x480 of README.txt; texels will not fall one to one on "
                 "display pixels"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.warning);
        const PictureArea area =
            pictureArea(c.wantedWidth, c.wantedHeight, c.gotWidth, c.gotHeight);
        EXPECT_EQ(area.warning, c.warning);
        EXPECT_EQ(area.setViewport, c.setViewport);
        if (c.setViewport) {
            EXPECT_EQ(area.width, c.wantedWidth);
            EXPECT_EQ(area.height, c.wantedHeight);
        }
    }
}

} // namespace
