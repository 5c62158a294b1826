// The real viewer on bad input files: every kind of broken README.txt or image
// ends the program with status 255 within a bounded time, without a crash or
// a hang and with nothing on standard output beyond the start-up lines; images
// whose width is not a multiple of 4 still show texel for pixel.
#include "viewer_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

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

// A plain PPM file in every respect but one.
struct BadImage {
    const char *what;
    std::function<void(const fs::path &)> make;
};

std::function<void(const fs::path &)> contents(const std::string &text) {
    return [text](const fs::path &file) { xtest::writeTextFile(file, text); };
}

std::vector<BadImage> badImages() {
    const std::string header = "P3\n8 8\n255\n";
    const std::string valid = header + samples8x8();
    return {
        {"missing", [](const fs::path &file) { fs::remove(file); }},
        {"empty", contents("")},
        {"cut off in the header", contents("P3\n8 8\n")},
        {"cut off in the samples", contents(valid.substr(0, valid.size() / 2))},
        {"one sample short", contents(header + samples8x8().substr(0, 64 * 9 - 4))},
        {"binary PPM (P6)", contents("P6\n8 8\n255\n" + std::string(192, '\x40'))},
        {"grey map (P2)", contents("P2\n8 8\n255\n" + samples8x8())},
        {"maxval 65535", contents("P3\n8 8\n65535\n" + samples8x8())},
        {"maxval 1", contents("P3\n8 8\n1\n" + samples8x8())},
        {"65535 x 65535", contents("P3\n65535 65535\n255\n" + samples8x8())},
        {"4294967295 x 1", contents("P3\n4294967295 1\n255\n" + samples8x8())},
        // 3 x 1431655766 is 2 modulo 2^32: a reader counting in 32 bits would
        // take the two samples as the whole image and upload from a 2-byte buffer.
        {"sample count wrapping 32 bits", contents("P3\n1431655766 1\n255\n1 2\n")},
        {"4 billion samples, short file", contents("P3\n37000 37000\n255\n1 2 3\n")},
        {"width 0", contents("P3\n0 8\n255\n" + samples8x8())},
        {"negative width", contents("P3\n-8 8\n255\n" + samples8x8())},
        {"header line over 255 characters",
         contents("P3\n#" + std::string(300, 'c') + "\n8 8\n255\n" + samples8x8())},
        {"comment among the samples", contents(header + "# pixels\n" + samples8x8())},
        {"a word among the samples", contents(header + "10 20 thirty\n" + samples8x8())},
        {"no magic line", contents("8 8\n255\n" + samples8x8())},
        {"a directory", [](const fs::path &file) { fs::create_directory(file); }},
        // Opening a FIFO for reading waits for a writer unless done with care.
        {"a FIFO", [](const fs::path &file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }},
        // Reads from /dev/zero never end.
        {"a character device", [](const fs::path &file) { fs::create_symlink("/dev/zero", file); }},
    };
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
        removeEntry(name);
    }
    for (int slot = 1; slot < 4; ++slot) {
        SCOPED_TRACE(std::to_string(slot) + "Image.ppm missing");
        writeImages(8, 8);
        removeEntry(std::to_string(slot) + "Image.ppm");
        expectFailure(expectedStartupOutput(800, 600));
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

TEST_F(BadInputE2eTest, UnreadableSizeCountsAsZero) {
    // Without images the run ends at the first image, so only the reading of
    // README.txt shows.
    const std::string cases[] = {
        "",
        "\xEF\xBB\xBF"
        "800 x 600\n", // byte-order mark
        "width x height\n",
        std::string("\x00\x01\x02\xFF garbage", 12),
        "99999999999 x 600\n", // beyond 32 bits
    };
    for (const std::string &readme : cases) {
        SCOPED_TRACE("README.txt: " + readme);
        writeReadme(readme);
        expectFailure(expectedStartupOutput(0, 0));
    }
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
