// SPDX-License-Identifier: MIT
// Why a load failed: each kind of bad image gives its reason at the right
// place, the reasons read as the viewer writes them, and the entry point with
// reasons gives the same outputs as loadPpmImage.
#include "ppm_reader.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

struct BadFile {
    std::string contents;
    PpmFailure failure;
    std::uint64_t line;
    std::uint64_t column;
    const char *words; // a part of the reason's text
};

std::vector<BadFile> badFiles() {
    const std::string line256 = "#" + std::string(255, 'c');
    return {
        {"", PpmFailure::emptyFile, 0, 0, "no line starting with P3: the file is empty"},
        {"8 8\n255\n", PpmFailure::noMagicLine, 0, 0, "the first line holds \"8 8\""},
        {"title\n\nP6\n2 1\n255\n", PpmFailure::wrongMagic, 3, 0, "found \"P6\""},
        {line256 + "\nP3\n2 1\n255\n1 2 3 4 5 6\n", PpmFailure::headerLineTooLong, 1, 0,
         "header line longer than 255 characters"},
        {"P3\n2 1" + std::string(300, ' ') + "\n255\n1 2 3 4 5 6\n", PpmFailure::headerLineTooLong,
         2, 0, "header line longer"},
        {"P3\n2 1\n255" + std::string(300, ' ') + "\n1 2 3 4 5 6\n", PpmFailure::headerLineTooLong,
         3, 0, "header line longer"},
        // A check on a line read before the over-long one, or on that line
        // itself, still gives its own reason.
        {"P3\n0 1\n255" + std::string(300, ' ') + "\n1 2 3\n", PpmFailure::zeroSize, 2, 0,
         "size 0 x 1 has no pixels"},
        {"P6" + std::string(300, 'x') + "\n2 1\n255\n", PpmFailure::wrongMagic, 1, 0,
         "found \"P6xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...\""},
        {"P3\n37000 37000\n255" + std::string(300, ' ') + "\n1 2 3\n",
         PpmFailure::headerLineTooLong, 3, 0, "header line longer"},
        {"P3\n# only a comment\n", PpmFailure::endsBeforeSizeLine, 0, 0,
         "the file ends before the size line"},
        {"P3\n# c\n2 x\n255\n", PpmFailure::badSizeLine, 3, 0,
         "size line \"2 x\" does not hold two numbers"},
        {"P3\n0 8\n255\n1 2 3\n", PpmFailure::zeroSize, 2, 0, "size 0 x 8 has no pixels"},
        {"P3\n65535 65535\n255\n1 2 3\n", PpmFailure::sampleCountTooLarge, 2, 0,
         "size 65535 x 65535 is 4294836225 pixels"},
        {"P3\n-8 8\n255\n1 2 3\n", PpmFailure::sampleCountTooLarge, 2, 0, "size 4294967288 x 8"},
        {"P3\n37000 37000\n255\n1 2 3\n", PpmFailure::tooLargeForFile, 2, 0,
         "needs 4107000000 samples, more than the 6 bytes after the header can hold"},
        {"P3\n2 1\n", PpmFailure::endsBeforeMaxvalLine, 0, 0, "the file ends before the maxval"},
        {"P3\n2 1\nmaxval\n", PpmFailure::noMaxval, 3, 0, "maxval line \"maxval\" holds no number"},
        {"P3\n2 1\n# c\n65535\n", PpmFailure::badMaxval, 4, 0,
         "maxval is 65535; only 255 is supported"},
        {"P3\n2 1\n255\n1 2 3\n4 thirty 6\n", PpmFailure::badSample, 5, 3,
         "sample 5 of 6 is not a 32-bit decimal number: \"thirty\""},
        {"P3\r\n2 1\r\n255\r\n1 2 3\r\n# no\r\n", PpmFailure::badSample, 5, 1, "sample 4 of 6"},
        {"P3\n2 1\n255\n1 2 3 4 5 2147483648\n", PpmFailure::badSample, 4, 11, "\"2147483648\""},
        // A sign belongs to the token that fails after it.
        {"P3\n2 1\n255\n1 2 3 4 -x 6\n", PpmFailure::badSample, 4, 9,
         "sample 5 of 6 is not a 32-bit decimal number: \"-x\""},
        {"P3\n2 1\n255\n1 2 3 4 5 -2147483649\n", PpmFailure::badSample, 4, 11, "\"-2147483649\""},
        {"P3\n2 1\n255\n1 2 3 4 5 +", PpmFailure::badSample, 4, 11,
         "sample 6 of 6 is not a 32-bit decimal number: \"+\""},
        {"P3\n2 1\n255\n1 2 3 4 5", PpmFailure::tooFewSamples, 0, 0,
         "the file ends after 5 of 6 samples"},
    };
}

class LoadReasonsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("moiravel-reasons-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
};

TEST_F(LoadReasonsTest, EachBadFileSaysWhyAndWhere) {
    const fs::path file = dir_ / "2Image.ppm";
    for (const BadFile &bad : badFiles()) {
        SCOPED_TRACE(bad.contents.substr(0, 60));
        std::ofstream(file, std::ios::binary) << bad.contents;
        // Both entry points start from the same outputs and must leave the
        // same outputs behind.
        PixelBuffer plainPixels(5, 0xAB);
        std::uint32_t plainWidth = 777;
        std::uint32_t plainHeight = 888;
        ASSERT_FALSE(loadPpmImage(file.c_str(), plainPixels, plainWidth, plainHeight));
        PixelBuffer pixels(5, 0xAB);
        std::uint32_t width = 777;
        std::uint32_t height = 888;
        PpmLoadError error;
        error.line = 99;
        ASSERT_FALSE(loadPpmImageWithReason(file.c_str(), pixels, width, height, error));
        EXPECT_EQ(pixels, plainPixels);
        EXPECT_EQ(width, plainWidth);
        EXPECT_EQ(height, plainHeight);

        EXPECT_EQ(error.failure, bad.failure);
        EXPECT_EQ(error.line, bad.line);
        EXPECT_EQ(error.column, bad.column);
        const std::string line = ppmLoadErrorLine("2Image.ppm", error);
        std::string place = "moiravel-demo: 2Image.ppm: ";
        if (bad.line != 0) {
            place += "line " + std::to_string(bad.line) +
                     (bad.column != 0 ? ", column " + std::to_string(bad.column) : "") + ": ";
        }
        EXPECT_EQ(line.rfind(place, 0), 0u) << line;
        EXPECT_NE(line.find(bad.words), std::string::npos) << line;
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    }
}

TEST_F(LoadReasonsTest, FilesThatCannotBeReadSayWhatTheNameIs) {
    PixelBuffer pixels;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    PpmLoadError error;
    ASSERT_FALSE(
        loadPpmImageWithReason((dir_ / "absent.ppm").c_str(), pixels, width, height, error));
    EXPECT_EQ(describePpmLoadError(error), "cannot open: No such file or directory");

    ASSERT_FALSE(loadPpmImageWithReason(dir_.c_str(), pixels, width, height, error));
    EXPECT_EQ(describePpmLoadError(error), "not a regular file but a directory");
    const fs::path fifo = dir_ / "fifo.ppm";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_FALSE(loadPpmImageWithReason(fifo.c_str(), pixels, width, height, error));
    EXPECT_EQ(describePpmLoadError(error), "not a regular file but a FIFO");
    ASSERT_FALSE(loadPpmImageWithReason("/dev/null", pixels, width, height, error));
    EXPECT_EQ(describePpmLoadError(error), "not a regular file but a character device");
}

TEST_F(LoadReasonsTest, SuccessLeavesNoReason) {
    const fs::path file = dir_ / "0Image.ppm";
    std::ofstream(file) << "P3\n1 1\n255\n1 2 3\n";
    PixelBuffer pixels;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    PpmLoadError error;
    error.failure = PpmFailure::badMaxval;
    ASSERT_TRUE(loadPpmImageWithReason(file.c_str(), pixels, width, height, error));
    EXPECT_EQ(error.failure, PpmFailure::none);
    EXPECT_EQ(pixels, (PixelBuffer{1, 2, 3}));
}

TEST(QuoteFound, FirstLineShortenedAndEscaped) {
    EXPECT_EQ(quoteFound("P6\n2 1\n"), "\"P6\"");
    EXPECT_EQ(quoteFound("P6\r\n"), "\"P6\"");
    EXPECT_EQ(quoteFound("\xEF\xBB\xBF"
                         "1920 x 1080\n"),
              "\"\\xEF\\xBB\\xBF1920 x 1080\"");
    EXPECT_EQ(quoteFound("say \"hi\" \\ \t"), "\"say \\\"hi\\\" \\\\ \\x09\"");
    EXPECT_EQ(quoteFound(std::string(100, 'c')), "\"" + std::string(40, 'c') + "...\"");
    EXPECT_EQ(quoteFound(""), "\"\"");
}

TEST(ReadmeSizeWarning, NamesWhatTheFileStartsWith) {
    struct Case {
        std::string start;
        const char *words;
    };
    const Case cases[] = {
        {"", "README.txt: the file is empty; using 0 x 0"},
        {"\xEF\xBB\xBF"
         "1920 x 1080\n",
         "README.txt: the file starts with a UTF-8 byte-order mark, which hides the resolution "
         "(\"\\xEF\\xBB\\xBF1920 x 1080\")"},
        {"\xFF\xFE"
         "1",
         "UTF-16 byte-order mark"},
        {"\n\n  width x height\n",
         "README.txt: no resolution at the start of the file (\"width x height\"); using 0 x 0"},
        {" \n", "no resolution at the start of the file (\"\")"},
        {"99999999999 x 600", "the width at the start of the file does not fit 32 bits "
                              "(\"99999999999 x 600\")"},
        {"-2147483649 x 600", "does not fit 32 bits"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.start);
        const std::string warning = readmeSizeWarning(c.start);
        EXPECT_EQ(warning.rfind("moiravel-demo: warning: README.txt: ", 0), 0u) << warning;
        EXPECT_NE(warning.find(c.words), std::string::npos) << warning;
        EXPECT_NE(warning.find("using 0 x 0"), std::string::npos) << warning;
    }
}

} // namespace
