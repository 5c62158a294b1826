// SPDX-License-Identifier: MIT
// The real viewer on bad input files: every kind of broken README.txt or image
// ends the program with status 255 within a bounded time, without a crash or
// a hang, with nothing on standard output beyond the start-up lines and with
// one line on standard error that says which image failed and why; images
// whose width is not a multiple of 4 still show texel for pixel.
#include "viewer_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <sstream>

namespace moiravel::e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char *noReadme = "no README.txt found\n";

// Samples of an 8x8 image, enough for any of the headers below that asks for
// at most 64 pixels.
std::string samples8x8() {
    std::string text;
    for (int i = 0; i < 8 * 8; ++i) {
        text += "10 20 30\n";
    }
    return text;
}

// A plain PPM file in every respect but one, and a part of the reason the
// viewer gives for it after "moiravel-demo: NImage.ppm: ".
struct BadImage {
    const char *what;
    std::function<void(const fs::path &)> make;
    const char *reason = "";
};

std::function<void(const fs::path &)> contents(const std::string &text) {
    return [text](const fs::path &file) { xtest::writeTextFile(file, text); };
}

std::vector<BadImage> badImages() {
    const std::string header = "P3\n8 8\n255\n";
    const std::string valid = header + samples8x8();
    return {
        {"missing", [](const fs::path &file) { fs::remove(file); },
         "cannot open: No such file or directory"},
        {"empty", contents(""), "no line starting with P3: the file is empty"},
        {"cut off in the header", contents("P3\n8 8\n"), "the file ends before the maxval line"},
        {"cut off in the samples", contents(valid.substr(0, valid.size() / 2)),
         "the file ends after "},
        {"one sample short", contents(header + samples8x8().substr(0, 64 * 9 - 4)),
         "the file ends after 191 of 192 samples"},
        {"binary PPM (P6)", contents("P6\n8 8\n255\n" + std::string(192, '\x40')),
         "line 1: no line starting with P3; found \"P6\""},
        {"grey map (P2)", contents("P2\n8 8\n255\n" + samples8x8()),
         "line 1: no line starting with P3; found \"P2\""},
        {"maxval 65535", contents("P3\n8 8\n65535\n" + samples8x8()),
         "line 3: maxval is 65535; only 255 is supported"},
        {"maxval 1", contents("P3\n8 8\n1\n" + samples8x8()), "line 3: maxval is 1; "},
        {"no maxval number", contents("P3\n8 8\nmaxval\n" + samples8x8()),
         "line 3: maxval line \"maxval\" holds no number"},
        {"size line with one number", contents("P3\n8\n255\n" + samples8x8()),
         "line 2: size line \"8\" does not hold two numbers"},
        {"65535 x 65535", contents("P3\n65535 65535\n255\n" + samples8x8()),
         "line 2: size 65535 x 65535 is 4294836225 pixels"},
        {"4294967295 x 1", contents("P3\n4294967295 1\n255\n" + samples8x8()),
         "line 2: size 4294967295 x 1 is 4294967295 pixels"},
        // 3 x 1431655766 is 2 modulo 2^32: a reader counting in 32 bits would
        // take the two samples as the whole image and upload from a 2-byte buffer.
        {"sample count wrapping 32 bits", contents("P3\n1431655766 1\n255\n1 2\n"),
         "line 2: size 1431655766 x 1 is 1431655766 pixels"},
        // Beyond the range of long the C library saturates: 4294967295, not 2.
        {"width beyond 64 bits", contents("P3\n18446744073709551618 8\n255\n" + samples8x8()),
         "line 2: size 4294967295 x 8 is "},
        {"4 billion samples, short file", contents("P3\n37000 37000\n255\n1 2 3\n"),
         "line 2: size 37000 x 37000 needs 4107000000 samples, more than the 6 bytes"},
        {"width 0", contents("P3\n0 8\n255\n" + samples8x8()), "line 2: size 0 x 8 has no pixels"},
        {"negative width", contents("P3\n-8 8\n255\n" + samples8x8()),
         "line 2: size 4294967288 x 8 is "},
        {"header line over 255 characters",
         contents("P3\n#" + std::string(300, 'c') + "\n8 8\n255\n" + samples8x8()),
         "line 2: header line longer than 255 characters"},
        {"comment among the samples", contents(header + "# pixels\n" + samples8x8()),
         "line 4, column 1: sample 1 of 192 is not a 32-bit decimal number: \"#\""},
        {"a word among the samples", contents(header + "10 20 thirty\n" + samples8x8()),
         "line 4, column 7: sample 3 of 192 is not a 32-bit decimal number: \"thirty\""},
        {"a sample beyond 32 bits", contents(header + "10 20 2147483648\n" + samples8x8()),
         "line 4, column 7: sample 3 of 192 is not a 32-bit decimal number: \"2147483648\""},
        {"no magic line", contents("8 8\n255\n" + samples8x8()),
         "no line starting with P3; the first line holds \"8 8\""},
        {"a directory", [](const fs::path &file) { fs::create_directory(file); },
         "not a regular file but a directory"},
        // Opening a FIFO for reading waits for a writer unless done with care.
        {"a FIFO", [](const fs::path &file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); },
         "not a regular file but a FIFO"},
        // Reads from /dev/zero never end.
        {"a character device", [](const fs::path &file) { fs::create_symlink("/dev/zero", file); },
         "not a regular file but a character device"},
    };
}

// The lines of standard error that name an image file.
std::vector<std::string> imageReasonLines(const std::string &err) {
    std::vector<std::string> lines;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("moiravel-demo: ", 0) == 0 &&
            line.find("Image.ppm: ") != std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

class BadInputE2eTest : public ViewerTest {
  protected:
    // Starts the viewer and expects it to end with status 255 and exactly
    // `output` on standard output.
    void expectFailure(const std::string &output) {
        start();
        auto status = viewer().waitFor(exitTimeout);
        ASSERT_TRUE(status.has_value())
            << "the viewer still runs after " << exitTimeout.count() << " s; standard output:\n"
            << viewer().out();
        EXPECT_TRUE(status->exited && status->code == 255)
            << status->describe() << "\nstandard error:\n"
            << viewer().err();
        EXPECT_EQ(viewer().out(), output);
    }

    void removeEntry(const std::string &name) { fs::remove_all(workDir() / name); }

    // After expectFailure: standard error holds one reason line, for `name`
    // (no later file was tried), with `reason` in it.
    void expectReason(const std::string &name, const std::string &reason) {
        const std::vector<std::string> lines = imageReasonLines(viewer().err());
        ASSERT_EQ(lines.size(), 1u) << "standard error:\n" << viewer().err();
        EXPECT_EQ(lines[0].rfind("moiravel-demo: " + name + ": ", 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find(reason), std::string::npos) << lines[0];
    }
};

TEST_F(BadInputE2eTest, EachBadImageEndsTheViewerWith255) {
    writeReadme("800 x 600\n");
    const std::vector<BadImage> cases = badImages();
    // Every kind is tried in one of the four slots, in turn; a missing file in
    // every slot.
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const int slot = static_cast<int>(i % 4);
        SCOPED_TRACE(std::to_string(slot) + "Image.ppm: " + cases[i].what);
        writeImages(8, 8);
        const std::string name = std::to_string(slot) + "Image.ppm";
        removeEntry(name);
        cases[i].make(workDir() / name);
        expectFailure(expectedStartupOutput(800, 600));
        // Windows tells a file, a directory and a device apart, and Wine shows it a FIFO
        // as a device too.
        const std::string_view reason = cases[i].reason;
        const bool device =
            reason.starts_with("not a regular file") && !reason.ends_with("a directory");
        expectReason(name, device && viewerIsWindowsBuild() ? "not a regular file but a device"
                                                            : cases[i].reason);
        EXPECT_EQ(viewer().err().find("warning: README.txt: "), std::string::npos)
            << viewer().err();
        removeEntry(name);
    }
    for (int slot = 1; slot < 4; ++slot) {
        SCOPED_TRACE(std::to_string(slot) + "Image.ppm missing");
        writeImages(8, 8);
        const std::string name = std::to_string(slot) + "Image.ppm";
        removeEntry(name);
        expectFailure(expectedStartupOutput(800, 600));
        expectReason(name, "cannot open: No such file or directory");
    }
    if (::geteuid() != 0) {
        SCOPED_TRACE("0Image.ppm without read permission");
        writeImages(8, 8);
        fs::permissions(workDir() / "0Image.ppm", fs::perms::none);
        expectFailure(expectedStartupOutput(800, 600));
        expectReason("0Image.ppm", "cannot open: Permission denied");
    }
}

TEST_F(BadInputE2eTest, ReadmeThatCannotBeOpenedEndsWith255AndOneLine) {
    writeImages(8, 8);
    fs::remove(workDir() / "README.txt");
    {
        SCOPED_TRACE("no README.txt");
        expectFailure(noReadme);
    }
    {
        SCOPED_TRACE("README.txt a symbolic link to itself");
        fs::create_symlink("README.txt", workDir() / "README.txt");
        expectFailure(noReadme);
        removeEntry("README.txt");
    }
    {
        SCOPED_TRACE("README.txt a dangling symbolic link");
        fs::create_symlink("nowhere.txt", workDir() / "README.txt");
        expectFailure(noReadme);
        removeEntry("README.txt");
    }
    if (::geteuid() != 0) {
        SCOPED_TRACE("README.txt without read permission");
        writeReadme("800 x 600\n");
        fs::permissions(workDir() / "README.txt", fs::perms::none);
        expectFailure(noReadme);
        removeEntry("README.txt");
    }
}

TEST_F(BadInputE2eTest, ReadmeThatIsNoRegularFileCountsAsMissing) {
    // A FIFO that no process writes to must not make the viewer wait, and
    // neither a directory nor a device is a resolution file. Without images a
    // viewer that took one anyway would end at the first image.
    const std::vector<BadImage> cases = {
        {"a FIFO", [](const fs::path &file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }},
        {"a directory", [](const fs::path &file) { fs::create_directory(file); }},
        {"a character device", [](const fs::path &file) { fs::create_symlink("/dev/zero", file); }},
    };
    for (const BadImage &c : cases) {
        SCOPED_TRACE(std::string("README.txt: ") + c.what);
        removeEntry("README.txt");
        c.make(workDir() / "README.txt");
        expectFailure(noReadme);
    }
}

TEST_F(BadInputE2eTest, UnreadableSizeCountsAsZeroAndIsNamed) {
    // Without images the run ends at the first image, so only the reading of
    // README.txt shows. Standard error names what the file starts with.
    struct Case {
        std::string readme;
        const char *warning;
    };
    const Case cases[] = {
        {"", "README.txt: the file is empty; using 0 x 0"},
        {"\xEF\xBB\xBF"
         "800 x 600\n",
         "README.txt: the file starts with a UTF-8 byte-order mark, which hides the resolution "
         "(\"\\xEF\\xBB\\xBF800 x 600\")"},
        {"width x height\n", "README.txt: no resolution at the start of the file "
                             "(\"width x height\"); using 0 x 0"},
        {std::string("\x00\x01\x02\xFF garbage", 12),
         "README.txt: no resolution at the start of the file "
         "(\"\\x00\\x01\\x02\\xFF garbage\")"},
        {"99999999999 x 600\n",
         "README.txt: the width at the start of the file does not fit 32 bits "
         "(\"99999999999 x 600\"); using 0 x 0"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("README.txt: " + c.readme);
        writeReadme(c.readme);
        expectFailure(expectedStartupOutput(0, 0));
        const std::string line = "moiravel-demo: warning: ";
        EXPECT_NE(viewer().err().find(line + c.warning), std::string::npos) << viewer().err();
        expectReason("0Image.ppm", "cannot open: No such file or directory");
    }
    // A size that reads, even 0 x 0, gets no warning.
    writeReadme("0 x 0\n");
    expectFailure(expectedStartupOutput(0, 0));
    EXPECT_EQ(viewer().err().find("warning: README.txt: "), std::string::npos) << viewer().err();
}

TEST_F(BadInputE2eTest, GarbageReadmeStillRunsUntilEscape) {
    // Size 0 x 0 cannot be a game mode: the viewer goes on in a window of its
    // own, and nothing it draws at that size may crash it. Escape is repeated
    // until the window exists and takes it.
    writeReadme("\xEF\xBB\xBF garbage\n");
    writeImages(16, 16);
    start();
    std::optional<xtest::ExitStatus> status;
    for (auto waited = 0s; waited < exitTimeout && !status; waited += 1s) {
        status = viewer().waitFor(1s);
        if (!status) {
            client().tapChar(27);
        }
    }
    ASSERT_TRUE(status.has_value()) << "the viewer did not end after Escape";
    EXPECT_TRUE(status->exited && status->code == 0) << status->describe() << "\n"
                                                     << viewer().err();
    EXPECT_EQ(viewer().out(), expectedStartupOutput(0, 0));
}

TEST_F(BadInputE2eTest, WidthsThatAreNoMultipleOf4ShowTexelForPixel) {
    // Rows of 3 x width bytes are not 4-byte aligned here; rows taken as padded
    // would shear the picture.
    writeReadme("800 x 600\n");
    for (int width : {201, 202, 203}) {
        SCOPED_TRACE("width " + std::to_string(width));
        writeImages(width, 97);
        start();
        waitForFirstFrame();
        EXPECT_GE(settleFrozenAtOrigin(), 0);
        escapeAndExpectCleanExit();
    }
}

} // namespace
} // namespace moiravel::e2e
