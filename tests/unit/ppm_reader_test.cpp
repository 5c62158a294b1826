// SPDX-License-Identifier: MIT
#include "ppm_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class PpmReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("moiravel-ppm-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string write(const std::string &contents, const std::string &name = "image.ppm") {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << contents;
        return path.string();
    }

    // Loads contents; width, height and pixels start with sentinel values so
    // that untouched outputs can be told from written ones.
    bool load(const std::string &contents) {
        width = 777;
        height = 888;
        pixels.assign(5, 0xAB);
        return loadPpmImage(write(contents).c_str(), pixels, width, height);
    }

    bool pixelsUntouched() const { return pixels == PixelBuffer(5, 0xAB); }

    fs::path dir_;
    PixelBuffer pixels;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

const std::string twoPixels = "P3\n2 1\n255\n255 0 0 0 0 255\n";
const PixelBuffer twoPixelBytes{255, 0, 0, 0, 0, 255};

TEST_F(PpmReaderTest, LoadsTheSmallestExample) {
    ASSERT_TRUE(load(twoPixels));
    EXPECT_EQ(width, 2u);
    EXPECT_EQ(height, 1u);
    EXPECT_EQ(pixels, twoPixelBytes);
}

TEST_F(PpmReaderTest, AcceptedHeaderLayouts) {
    const char *variants[] = {
        "P3\n# made by hand\n# twice\n2 1\n# size above\n255\n255 0 0 0 0 255\n",
        "\n\ntitle line\n# comment\n  blank-led line\nP3\n2 1\n255\n255 0 0 0 0 255\n",
        "P33 trailing text\n2 1\n255\n255 0 0 0 0 255",
        "P3\r\n2 1\r\n255\r\n255 0 0\r\n0 0 255\r\n",
        "P3\n0x2 0X1\n0xff\n255 0 0 0 0 255\n",
        "P3\n2\t 1 trailing\n0377 trailing\n255 0 0 0 0 255 7 7 7 extra\n",
        "P3\n  +2 1\n255\n255\n0\n0\n0\n0\n255\n",
        "P3\n2 1\n255\n\t255   0\n\n 0 0\r\n 0\v\f255",
        "P3\n2 1\n255 1 2 3\n255 0 0 0 0 255\n", // samples on the maxval line are lost
    };
    for (const char *variant : variants) {
        SCOPED_TRACE(variant);
        ASSERT_TRUE(load(variant));
        EXPECT_EQ(width, 2u);
        EXPECT_EQ(height, 1u);
        EXPECT_EQ(pixels, twoPixelBytes);
    }
}

TEST_F(PpmReaderTest, SampleValues) {
    // Decimal only, optional sign, low 8 bits kept, no comparison with maxval.
    ASSERT_TRUE(load("P3\n3 1\n255\n010 300 -1 +7 0256 -2147483648 2147483647 -0 65\n"));
    EXPECT_EQ(pixels, (PixelBuffer{10, 44, 255, 7, 0, 0, 255, 0, 65}));
    // A width written 010 on the size line is octal.
    ASSERT_FALSE(load("P3\n010 1\n255\n1 2 3\n"));
    EXPECT_EQ(width, 8u);
}

TEST_F(PpmReaderTest, SampleTokensThatEndTheRead) {
    const char *bad[] = {
        "P3\n2 1\n255\n255 0 0 0x1 0 255\n",           // 0 is read, then x cannot start a sample
        "P3\n2 1\n255\n255 0 0\n# comment\n0 0 255\n", // no comments among samples
        "P3\n2 1\n255\n255 0 0 0 0 2147483648\n",      // outside the int32 range
        "P3\n2 1\n255\n255 0 0 0 0 -2147483649\n",
        "P3\n2 1\n255\n255 0 0 0 0 - 5\n",
        "P3\n2 1\n255\n255 0 0 0 0\n", // one short, line break at the end
        "P3\n2 1\n255\n255 0 0 0 0",   // one short, no line break
    };
    for (const char *file : bad) {
        SCOPED_TRACE(file);
        EXPECT_FALSE(load(file));
        EXPECT_EQ(width, 2u);
        EXPECT_EQ(height, 1u);
        ASSERT_EQ(pixels.size(), 6u);
        EXPECT_EQ(pixels[0], 255);
    }
    // The samples read so far stand at the front; bytes the buffer already
    // had keep their values, bytes added are zero.
    EXPECT_FALSE(load("P3\n2 1\n255\n9 8 7 x\n"));
    EXPECT_EQ(pixels, (PixelBuffer{9, 8, 7, 0xAB, 0xAB, 0}));
}

TEST_F(PpmReaderTest, HeaderFailuresLeaveOutputsAsTheyWere) {
    struct Case {
        const char *file;
        std::uint32_t width;
        std::uint32_t height;
    };
    const Case cases[] = {
        {"", 777, 888},
        {"no magic\nhere\n", 777, 888},
        {" P3\n2 1\n255\n255 0 0 0 0 255\n", 777, 888}, // magic line not at line start
        {"P6\n2 1\n255\n", 777, 888},
        {"P2\n2 1\n255\n", 777, 888},
        {"P\n2 1\n255\n", 777, 888},
        {"P3\n", 777, 888},
        {"P3\n # blank-led comment\n2 1\n255\n", 777, 888},
        {"P3\n\n2 1\n255\n", 777, 888},            // blank line is not skipped
        {"P3 2 1 255\n255 0 0 0 0 255\n", 255, 0}, // one-line header: the size line is the next
        {"P3\n2\n1\n255\n", 2, 888},
        {"P3\n2 x\n255\n", 2, 888},
        {"P3\n2 1\n65535\n1 2 3 4 5 6\n", 2, 1},
        {"P3\n2 1\n1\n1 1 1 1 1 1\n", 2, 1},
        {"P3\n2 1\n\n255\n", 2, 1},
        {"P3\n2 1\n", 2, 1},
        {"P3\n2 1\nmaxval\n", 2, 1},
        // 0x with no hex digit is the number 0 with the x consumed, so the
        // height after it is still read.
        {"P3\n0x 1\n255\n1 2 3\n", 0, 1},
        {"P3\n2 0x\n255\n1 2 3\n", 2, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_FALSE(load(c.file));
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
        EXPECT_TRUE(pixelsUntouched());
    }
}

TEST_F(PpmReaderTest, NonAsciiLineBeforeTheMagicLineIsSkipped) {
    ASSERT_TRUE(load("\xC3\x9C"
                     "ber\n\xEF\xBB\xBF title\nP3\n2 1\n255\n255 0 0 0 0 255\n"));
    EXPECT_EQ(pixels, twoPixelBytes);
}

TEST_F(PpmReaderTest, HeaderLinesUpTo255Characters) {
    const std::string line255 = "#" + std::string(254, 'c');
    const std::string line256 = "#" + std::string(255, 'c');
    ASSERT_TRUE(
        load(line255 + "\nP3\n" + line255 + "\n2 1\n" + line255 + "\n255\n255 0 0 0 0 255\n"));
    EXPECT_EQ(pixels, twoPixelBytes);
    // The carriage return of a CRLF line end does not count towards the limit.
    ASSERT_TRUE(load("P3\r\n" + line255 + "\r\n2 1\r\n255\r\n255 0 0 0 0 255\r\n"));

    // A longer line fails every read after it, also before the magic line.
    EXPECT_FALSE(load(line256 + "\nP3\n2 1\n255\n255 0 0 0 0 255\n"));
    EXPECT_EQ(width, 777u);
    EXPECT_FALSE(load("P3\n" + line256 + "\n2 1\n255\n255 0 0 0 0 255\n"));
    EXPECT_EQ(width, 777u);
    EXPECT_TRUE(pixelsUntouched());
    // Its first 255 characters still stand for the line: here a valid size
    // line, after which the maxval read fails.
    EXPECT_FALSE(load("P3\n2 1" + std::string(300, ' ') + "\n255\n255 0 0 0 0 255\n"));
    EXPECT_EQ(width, 2u);
    EXPECT_EQ(height, 1u);
    EXPECT_TRUE(pixelsUntouched());
    // An over-long maxval line is accepted, and the sample read after it fails.
    EXPECT_FALSE(load("P3\n2 1\n255" + std::string(300, ' ') + "\n255 0 0 0 0 255\n"));
    EXPECT_EQ(pixels, (PixelBuffer{0xAB, 0xAB, 0xAB, 0xAB, 0xAB, 0}));
    // Sample lines have no length limit.
    std::string longSamples = "P3\n200 1\n255\n";
    for (int i = 0; i < 600; ++i) {
        longSamples += "1 ";
    }
    EXPECT_TRUE(load(longSamples));
}

TEST_F(PpmReaderTest, SizesThatCannotBeAnImage) {
    const char *sizes[] = {"0 1",         "1 0",          "0 0",          "-1 1",
                           "65535 65535", "4294967295 1", "0x55555556 1", "1431655766 1"};
    for (const char *size : sizes) {
        SCOPED_TRACE(size);
        EXPECT_FALSE(load(std::string("P3\n") + size + "\n255\n1 2 3\n"));
        EXPECT_TRUE(pixelsUntouched());
    }
    // Numbers beyond the range of long saturate before their low 32 bits
    // are kept: width 18446744073709551618 is 4294967295, not 2.
    EXPECT_FALSE(load("P3\n18446744073709551618 1\n255\n1 2 3 4 5 6\n"));
    EXPECT_EQ(width, 0xFFFFFFFFu);
    EXPECT_EQ(height, 1u);
    EXPECT_TRUE(pixelsUntouched());
    // 3 x 4291250928 x 2865791255 wraps 64 bits to 688: a count tripled in
    // 64 bits would take 688 samples for the whole image.
    std::string wrapping = "P3\n4291250928 2865791255\n255\n";
    for (int i = 0; i < 688; ++i) {
        wrapping += "1 ";
    }
    EXPECT_FALSE(load(wrapping));
    EXPECT_TRUE(pixelsUntouched());
    // A huge size whose sample count fits 32 bits is refused before any
    // allocation when the file cannot hold that many samples.
    EXPECT_FALSE(load("P3\n37000 37000\n255\n1 2 3\n"));
    EXPECT_TRUE(pixelsUntouched());
}

TEST_F(PpmReaderTest, MissingFilesAndNonRegularFiles) {
    width = 5;
    height = 6;
    pixels.assign(3, 9);
    EXPECT_FALSE(loadPpmImage((dir_ / "absent.ppm").c_str(), pixels, width, height));
    EXPECT_FALSE(loadPpmImage(dir_.c_str(), pixels, width, height));
    const fs::path fifo = dir_ / "0Image.ppm";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Must fail at once rather than wait for a writer.
    EXPECT_FALSE(loadPpmImage(fifo.c_str(), pixels, width, height));
    EXPECT_EQ(width, 5u);
    EXPECT_EQ(height, 6u);
    EXPECT_EQ(pixels, PixelBuffer(3, 9));
}

TEST_F(PpmReaderTest, BufferIsReusedAcrossLoads) {
    ASSERT_TRUE(load("P3\n2 2\n255\n1 2 3 4 5 6 7 8 9 10 11 12\n"));
    ASSERT_EQ(pixels.size(), 12u);
    ASSERT_TRUE(loadPpmImage(write(twoPixels).c_str(), pixels, width, height));
    EXPECT_EQ(pixels, twoPixelBytes);
    EXPECT_EQ(width, 2u);
    EXPECT_EQ(height, 1u);
    // Row layout: rows follow one another with nothing between them.
    ASSERT_TRUE(load("P3\n3 2\n255\n" + std::string("1 1 1 2 2 2 3 3 3\n4 4 4 5 5 5 6 6 6\n")));
    for (std::uint32_t y = 0; y < 2; ++y) {
        for (std::uint32_t x = 0; x < 3; ++x) {
            EXPECT_EQ(pixels[3 * (y * width + x) + 1], 1 + x + 3 * y);
        }
    }
}

TEST_F(PpmReaderTest, FilesMadeByRealTools) {
    // A 5x3 picture with distinct pixels, written as binary PPM and turned
    // into plain PPM by netpbm and ImageMagick when they are installed.
    std::string raw = "P6\n5 3\n255\n";
    PixelBuffer expected;
    for (int i = 0; i < 15; ++i) {
        for (int c = 0; c < 3; ++c) {
            const auto value = static_cast<std::uint8_t>(i * 17 + c * 80);
            raw += static_cast<char>(value);
            expected.push_back(value);
        }
    }
    const std::string source = write(raw, "source.ppm");
    struct Tool {
        const char *name;
        std::string command;
    };
    const Tool tools[] = {
        {"pnmtoplainpnm", "pnmtoplainpnm " + source + " > " + (dir_ / "netpbm.ppm").string()},
        {"convert", "convert " + source + " -compress none " + (dir_ / "magick.ppm").string()},
    };
    int ran = 0;
    for (const Tool &tool : tools) {
        if (std::system((std::string("command -v ") + tool.name + " >/dev/null").c_str()) != 0) {
            continue;
        }
        SCOPED_TRACE(tool.name);
        ASSERT_EQ(std::system(tool.command.c_str()), 0);
        const fs::path output =
            std::string(tool.name) == "convert" ? dir_ / "magick.ppm" : dir_ / "netpbm.ppm";
        ASSERT_TRUE(loadPpmImage(output.c_str(), pixels, width, height));
        EXPECT_EQ(width, 5u);
        EXPECT_EQ(height, 3u);
        EXPECT_EQ(pixels, expected);
        ++ran;
    }
    if (ran == 0) {
        GTEST_SKIP() << "neither netpbm nor ImageMagick is installed";
    }
}

TEST(PpmParse, InMemoryContentsNeedNoTerminator) {
    // The parser must stop at the given size, not at a NUL.
    const std::string text = "P3\n1 1\n255\n1 2 3";
    PixelBuffer pixels;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    EXPECT_FALSE(parsePpmImage(text.data(), text.size() - 1, pixels, width, height));
    EXPECT_TRUE(parsePpmImage(text.data(), text.size(), pixels, width, height));
    EXPECT_EQ(pixels, (PixelBuffer{1, 2, 3}));
}

} // namespace

namespace {

// Sample text of every shape the reader accepts, with separators of every
// kind and length, so that samples fall at every offset of the reader's
// block-wise fast path and across its block boundaries.
TEST(PpmParse, RandomSampleLayoutsMatchTheirValues) {
    std::uint32_t seed = 2024;
    auto next = [&](std::uint32_t bound) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % bound;
    };
    const char separators[] = {' ', '\t', '\n', '\r', '\v', '\f'};
    for (int round = 0; round < 200; ++round) {
        const std::uint32_t count = 1 + next(300);
        std::string text = "P3\n" + std::to_string(count) + " 1\n255\n";
        PixelBuffer expected;
        for (std::uint32_t i = 0; i < count * 3; ++i) {
            const std::uint32_t blanks = next(4) == 0 ? 1 + next(40) : 1 + next(2);
            for (std::uint32_t b = 0; b < blanks; ++b) {
                text += separators[next(next(3) == 0 ? 6 : 1)];
            }
            std::int64_t value;
            std::string token;
            switch (next(8)) {
            case 0: // leading zeros
                value = next(256);
                token = std::string(next(12), '0') + std::to_string(value);
                break;
            case 1: // signed
                value = static_cast<std::int64_t>(next(100000)) - 50000;
                token = (value >= 0 && next(2) ? "+" : "") + std::to_string(value);
                break;
            case 2: // long numbers up to the int32 limits
                value = next(2) ? 2147483647 - next(1000) : -2147483648LL + next(1000);
                token = std::to_string(value);
                break;
            default:
                value = next(256);
                token = std::to_string(value);
                break;
            }
            text += token;
            expected.push_back(static_cast<std::uint8_t>(value));
        }
        if (next(2)) {
            text += next(2) ? "\n" : " 17 garbage";
        }
        SCOPED_TRACE(round);
        PixelBuffer pixels;
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        ASSERT_TRUE(parsePpmImage(text.data(), text.size(), pixels, width, height));
        ASSERT_EQ(pixels, expected);
    }
}

} // namespace
