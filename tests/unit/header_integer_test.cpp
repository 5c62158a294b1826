// SPDX-License-Identifier: MIT
// The reader's header numbers against the C library itself: every generated
// size or maxval line is converted by the C library's sscanf (with C11's "%i",
// see c11_scanf.c) as the oracle and by the
// reader, and the values, the conversion count and the outcome of loading a
// file with that line must agree.
#include "c11_scanf.h"
#include "header_integers.h"
#include "ppm_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

// Builds header lines from the pieces where "%i" implementations differ.
class LineGenerator {
  public:
    explicit LineGenerator(std::uint64_t seed) : random_(seed) {}

    std::string line() {
        std::string text;
        if (chance(8)) {
            text += pick({"x", "abc", "-", "+", "0x", "#", "\xC3\xA9"}); // no number at all
        }
        text += blanks(chance(3) ? 0 : 3);
        text += number();
        const int more = static_cast<int>(below(3));
        for (int i = 0; i < more; ++i) {
            text += blanks(chance(6) ? 0 : 1 + below(3));
            text += number();
        }
        if (chance(2)) {
            text += pick({" abc", "garbage", "x", " #c", " 17 18", "\xC3\xA9", "-", ".5", "\t", "g",
                          "0x", " 0X"});
        }
        // A header line stands on its own line, holds no NUL, does not start
        // a comment, fits the line buffer and loses a carriage return before
        // its line feed: keep to lines the reader sees unchanged.
        if (!text.empty() && text[0] == '#') {
            text.insert(0, " ");
        }
        if (!text.empty() && text.back() == '\r') {
            text += 'z';
        }
        return text.substr(0, 255);
    }

  private:
    bool chance(unsigned oneIn) { return below(oneIn) == 0; }
    std::uint64_t below(std::uint64_t bound) { return random_() % bound; }
    std::string pick(std::initializer_list<const char *> choices) {
        return *(choices.begin() + below(choices.size()));
    }

    std::string blanks(std::uint64_t atLeast) {
        std::string text;
        const std::uint64_t count = atLeast + below(3);
        for (std::uint64_t i = 0; i < count; ++i) {
            text += " \t\v\f\r"[chance(2) ? 0 : below(5)];
        }
        return text;
    }

    std::string number() {
        std::string text = pick({"", "", "", "+", "-", "-", "+-", "--"});
        if (chance(5)) {
            // The edges of the ranges of int, long and unsigned long.
            return text + pick({"255",
                                "0xff",
                                "0XFF",
                                "0377",
                                "000000377",
                                "4294967295",
                                "4294967296",
                                "2147483648",
                                "9223372036854775807",
                                "9223372036854775808",
                                "18446744073709551615",
                                "18446744073709551616",
                                "18446744073709551618",
                                "0x7fffffffffffffff",
                                "0x8000000000000000",
                                "0xffffffffffffffff",
                                "0x10000000000000000",
                                "0777777777777777777777",
                                "01000000000000000000000",
                                "02000000000000000000000"});
        }
        text += pick({"", "", "", "0", "0x", "0X", "00", "0000", "0x0", "00x"});
        static const char *const alphabets[] = {"0123456789", "01234567", "0123456789abcdefABCDEF",
                                                "0123456789abcdefgxABCDEFGX", "89"};
        const std::string digits = alphabets[below(std::size(alphabets))];
        const std::uint64_t lengths[] = {0, 1, 1, 2, 3, 5, 9, 10, 11, 16, 19, 20, 21, 30, 60};
        const std::uint64_t length = lengths[below(std::size(lengths))];
        for (std::uint64_t i = 0; i < length; ++i) {
            text += digits[below(digits.size())];
        }
        return text;
    }

    std::mt19937_64 random_;
};

// What loading a file with `line` as its size line must give, from the
// oracle's conversion.
struct Expected {
    bool loaded;
    PpmFailure failure;
};

Expected expectedForSizeLine(int count, std::uint32_t width, std::uint32_t height,
                             std::uint64_t samplesInFile) {
    if (count < 2) {
        return {false, PpmFailure::badSizeLine};
    }
    const std::uint64_t pixels = std::uint64_t{width} * height;
    if (pixels == 0) {
        return {false, PpmFailure::zeroSize};
    }
    if (pixels > 0xFFFFFFFFu / 3) {
        return {false, PpmFailure::sampleCountTooLarge};
    }
    if (pixels * 3 > largeImageSampleCount) {
        return {false, PpmFailure::tooLargeForFile};
    }
    if (pixels * 3 > samplesInFile) {
        return {false, PpmFailure::tooFewSamples};
    }
    return {true, PpmFailure::none};
}

TEST(HeaderIntegers, AgreeWithGlibcSscanfOnGeneratedLines) {
    constexpr int lineCount = 120000;
    constexpr std::uint64_t samplesInFile = 48;
    std::string samples;
    for (std::uint64_t i = 0; i < samplesInFile; ++i) {
        samples += std::to_string(i) + " ";
    }
    LineGenerator generator(20241208);
    int mismatches = 0;
    int loads = 0;
    for (int i = 0; i < lineCount && mismatches < 10; ++i) {
        const std::string line = generator.line();
        SCOPED_TRACE("line \"" + line + "\"");

        // "%i %i" as on the size line.
        int a = -7;
        int b = -7;
        const int want2 = c11ScanIntegerPair(line.c_str(), &a, &b);
        std::uint32_t width = 0xDEAD;
        std::uint32_t height = 0xBEEF;
        std::uint32_t *const size[] = {&width, &height};
        const int got2 = scanHeaderIntegers(line.c_str(), size, 2);
        const bool sizeAgrees = got2 == want2 &&
                                (want2 < 1 || width == static_cast<std::uint32_t>(a)) &&
                                (want2 < 2 || height == static_cast<std::uint32_t>(b));

        // "%i" as on the maxval line.
        int m = -7;
        int taken = 0;
        const int want1 = c11ScanInteger(line.c_str(), &m, &taken);
        std::uint32_t maxval = 0xDEAD;
        std::uint32_t *const maxvalTarget[] = {&maxval};
        const int got1 = scanHeaderIntegers(line.c_str(), maxvalTarget, 1);
        const bool maxvalAgrees =
            got1 == want1 && (want1 < 1 || maxval == static_cast<std::uint32_t>(m));

        // The reader's outcome with the line as size line, then as maxval line.
        const std::string sizeFile = "P3\n" + line + "\n255\n" + samples;
        PixelBuffer pixels;
        std::uint32_t readWidth = 0xDEAD;
        std::uint32_t readHeight = 0xBEEF;
        PpmLoadError error;
        const bool sizeLoaded = parsePpmImageWithReason(sizeFile.data(), sizeFile.size(), pixels,
                                                        readWidth, readHeight, error);
        const Expected expected = expectedForSizeLine(want2, static_cast<std::uint32_t>(a),
                                                      static_cast<std::uint32_t>(b), samplesInFile);
        const bool sizeOutcomeAgrees =
            sizeLoaded == expected.loaded && error.failure == expected.failure &&
            readWidth == (want2 >= 1 ? static_cast<std::uint32_t>(a) : 0xDEAD) &&
            readHeight == (want2 >= 2 ? static_cast<std::uint32_t>(b) : 0xBEEF);

        const std::string maxvalFile = "P3\n1 1\n" + line + "\n1 2 3\n";
        const bool maxvalLoaded = parsePpmImageWithReason(maxvalFile.data(), maxvalFile.size(),
                                                          pixels, readWidth, readHeight, error);
        const bool maxvalOutcomeAgrees = maxvalLoaded == (want1 == 1 && m == 255);

        loads += sizeLoaded + maxvalLoaded;
        if (!(sizeAgrees && maxvalAgrees && sizeOutcomeAgrees && maxvalOutcomeAgrees)) {
            ++mismatches;
            ADD_FAILURE() << "sscanf \"%i %i\": " << want2 << " (" << a << ", " << b << "), reader "
                          << got2 << " (" << width << ", " << height
                          << "); sscanf \"%i\": " << want1 << " (" << m << "), reader " << got1
                          << " (" << maxval << "); loaded as size line " << sizeLoaded
                          << ", as maxval line " << maxvalLoaded;
        }
    }
    // The generated lines must reach the loading paths, not only the failures.
    EXPECT_GT(loads, lineCount / 100);
}

TEST(HeaderIntegers, CornersWhereTheReaderDifferedFromGlibc) {
    struct Case {
        const char *text;
        int count;
        std::uint32_t first;
        std::uint32_t second;
    };
    const Case cases[] = {
        // Beyond the range of long: saturated to LONG_MAX or LONG_MIN, then
        // the low 32 bits, not the value modulo 2^32.
        {"18446744073709551618 1", 2, 0xFFFFFFFFu, 1},
        {"-18446744073709551618 1", 2, 0, 1},
        {"9223372036854775808 7", 2, 0xFFFFFFFFu, 7},
        {"0x10000000000000002 7", 2, 0xFFFFFFFFu, 7},
        // 0x with no hex digit after it is 0, and the x is consumed.
        {"0x 5", 2, 0, 5},
        {"0x-1 2", 2, 0, 0xFFFFFFFFu},
        {"0X", 1, 0, 0xBEEF},
        {"-0xg", 1, 0, 0xBEEF},
        // White space only is the end of the input, not a matching failure.
        {" \t\v\f\r", -1, 0xDEAD, 0xBEEF},
        {"+ 1", 0, 0xDEAD, 0xBEEF},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        std::uint32_t first = 0xDEAD;
        std::uint32_t second = 0xBEEF;
        std::uint32_t *const targets[] = {&first, &second};
        EXPECT_EQ(scanHeaderIntegers(c.text, targets, 2), c.count);
        if (c.count >= 1) {
            EXPECT_EQ(first, c.first);
            EXPECT_EQ(second, c.second);
        }
    }
}

} // namespace
