// SPDX-License-Identifier: MIT
// The files the tool reads and writes, checked with the viewer's own reader where it exists.
#include "make_images.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#if MOIRAVEL_HAVE_PPM_READER
#include "ppm_reader.h"
#endif
#if MOIRAVEL_HAVE_VIEWER_FRAME
#include "overlay.h"
#endif

namespace moiravel::images {
namespace {

namespace fs = std::filesystem;

class TempDirectory {
  public:
    TempDirectory() {
        static int counter = 0;
        path_ = fs::temp_directory_path() / ("moiravel-images-test-" + std::to_string(::getpid()) +
                                             "-" + std::to_string(counter++));
        fs::create_directories(path_);
    }
    ~TempDirectory() { fs::remove_all(path_); }
    fs::path operator/(const std::string &name) const { return path_ / name; }
    const fs::path &path() const { return path_; }

  private:
    fs::path path_;
};

void writeBytes(const fs::path &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

Image8 randomImage(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    Image8 image{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 3)};
    for (auto &s : image.samples) {
        s = static_cast<std::uint8_t>(random());
    }
    return image;
}

TEST(PlainPpm, HasTheViewersHeaderLinesOfAtMost70CharactersAndEverySample) {
    const Image8 image = randomImage(13, 5, 1);
    const std::string text = formatPlainPpm(image);
    EXPECT_EQ(text.rfind("P3\n13 5\n255\n", 0), 0u);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        EXPECT_LE(line.size(), 70u) << line;
    }
    std::istringstream tokens(text.substr(std::string("P3\n13 5\n255\n").size()));
    for (std::uint8_t expected : image.samples) {
        int value = -1;
        ASSERT_TRUE(tokens >> value);
        EXPECT_EQ(value, expected);
    }
    int extra;
    EXPECT_FALSE(tokens >> extra);
}

#if MOIRAVEL_HAVE_PPM_READER
TEST(PlainPpm, LoadsWithTheViewersReader) {
    TempDirectory dir;
    const Image8 image = randomImage(20, 7, 2);
    writePlainPpm((dir / "0Image.ppm").string(), image);
    PixelBuffer pixels;
    std::uint32_t width = 0, height = 0;
    ASSERT_TRUE(loadPpmImage((dir / "0Image.ppm").c_str(), pixels, width, height));
    EXPECT_EQ(width, 20u);
    EXPECT_EQ(height, 7u);
    EXPECT_EQ(pixels, image.samples);
}
#endif

TEST(ReadPicture, ReadsPlainAndRawPpmAndPngAlike) {
    TempDirectory dir;
    const Image8 image = randomImage(5, 3, 3);
    writePlainPpm((dir / "plain.ppm").string(), image);
    writeBytes(dir / "raw.ppm", "P6\n# a comment\n5 3\n255\n" +
                                    std::string(image.samples.begin(), image.samples.end()));
    std::string wide = "P6 5 3 65535\n";
    for (std::uint8_t s : image.samples) {
        wide += static_cast<char>(s); // 257 * s: the same value at 16 bits
        wide += static_cast<char>(s);
    }
    writeBytes(dir / "wide.ppm", wide);
    writePng((dir / "picture.png").string(), image);
    for (const char *name : {"plain.ppm", "raw.ppm", "wide.ppm", "picture.png"}) {
        const Picture picture = readPicture((dir / name).string());
        EXPECT_EQ(picture.width, 5) << name;
        EXPECT_EQ(picture.height, 3) << name;
        EXPECT_EQ(toImage8(picture).samples, image.samples) << name;
    }
}

TEST(ReadPicture, ReportsMissingTruncatedAndForeignFiles) {
    TempDirectory dir;
    writeBytes(dir / "short.ppm", "P6\n4 4\n255\nabc");
    writeBytes(dir / "text.txt", "hello");
    writeBytes(dir / "bad.png", std::string("\x89PNG\r\n\x1a\n", 8) + "garbage");
    writeBytes(dir / "maxval.ppm", "P3\n1 1\n255\n1 2 300\n");
    for (const char *name : {"missing.ppm", "short.ppm", "text.txt", "bad.png", "maxval.ppm"}) {
        EXPECT_THROW(readPicture((dir / name).string()), std::runtime_error) << name;
    }
}

TEST(CropToDisplayGrid, KeepsWholeDisplayPixelsAndAWidthThatIsAMultipleOfFour) {
    std::vector<std::string> notes;
    Picture picture(2 * 1366 + 1, 2 * 768 + 1);
    picture.pixel(5, 7)[1] = 42.0f;
    const Picture cropped = cropToDisplayGrid(picture, 2, notes);
    EXPECT_EQ(cropped.width, 2 * 1364);
    EXPECT_EQ(cropped.height, 2 * 768);
    EXPECT_EQ(cropped.pixel(5, 7)[1], 42.0f); // cut from the top-left corner
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("1364x768"), std::string::npos) << notes[0];

    notes.clear();
    EXPECT_EQ(cropToDisplayGrid(Picture(3 * 8, 3 * 2), 3, notes).width, 24);
    EXPECT_TRUE(notes.empty());
    EXPECT_THROW(cropToDisplayGrid(Picture(7, 10), 2, notes), std::runtime_error);
}

TEST(ImageSetFiles, AreFourEquallySizedImagesAndAReadmeTheViewerReads) {
    TempDirectory dir;
    std::vector<std::string> notes;
    const Picture picture = cropToDisplayGrid(makeTestPattern(84, 40, 2).picture, 2, notes);
    const EyeModel model(picture.width / 2, picture.height / 2, 2);
    FitOptions options;
    options.maxIterations = 20;
    const ImageSet set = makeImageSet(model, picture, options);
    const std::string out = (dir / "out").string();
    fs::create_directories(out);
    FileSet files(imagePaths(out));
    ASSERT_EQ(files.create(), std::nullopt);
    ASSERT_EQ(writeImageSet(files, out, set), std::nullopt);
    ASSERT_EQ(files.commit(), std::nullopt);
    for (int i = 0; i < imageCount; ++i) {
        const fs::path file = dir / "out" / imageFileName(i);
        ASSERT_TRUE(fs::exists(file)) << file;
        const Image8 written = toImage8(readPicture(file.string()));
        EXPECT_EQ(written.width, 40);
        EXPECT_EQ(written.height, 20);
        EXPECT_EQ(written.samples, toImage8(set.images[i]).samples);
#if MOIRAVEL_HAVE_PPM_READER
        PixelBuffer pixels;
        std::uint32_t width = 0, height = 0;
        EXPECT_TRUE(loadPpmImage(file.c_str(), pixels, width, height)) << file;
        EXPECT_EQ(width % 4, 0u);
#endif
    }
    const std::string readme = readmeText({1366, 768, 2, "photo.png", "display hold, transfer srgb",
                                           modeFigures(model, set, picture)});
    int width = 0, height = 0;
    char separator = 0;
    ASSERT_EQ(std::sscanf(readme.c_str(), " %d %c %d", &width, &separator, &height), 3);
    EXPECT_EQ(width, 1366);
    EXPECT_EQ(height, 768);
    EXPECT_EQ(readme.find('\n'), readme.find("768") + 3); // the size stands alone on line 1
#if MOIRAVEL_HAVE_VIEWER_FRAME
    // The modes are described by the names the viewer's overlay shows.
    for (int mode = 0; mode < modeCount; ++mode) {
        EXPECT_NE(readme.find("mode " + std::to_string(mode) + " "), std::string::npos);
        EXPECT_NE(readme.find(::modeName(mode)), std::string::npos) << mode;
    }
#endif
}

} // namespace
} // namespace moiravel::images
