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

TEST(WindowSizeWarning, NamesBothSizesOnlyWhenTheyDiffer) {
    EXPECT_EQ(windowSizeWarning(1920, 1080, 1920, 1080), "");
    const std::string warning = windowSizeWarning(1920, 1080, 1280, 1024);
    EXPECT_NE(warning.find("1920x1080"), std::string::npos);
    EXPECT_NE(warning.find("1280x1024"), std::string::npos);
    EXPECT_EQ(warning.find('\n'), std::string::npos);
    EXPECT_NE(windowSizeWarning(0, 0, 640, 480), "");
}

} // namespace
