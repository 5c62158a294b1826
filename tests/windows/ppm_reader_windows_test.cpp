// SPDX-License-Identifier: MIT
// The image reader's Windows file access: only a regular file is read, and a huge size in the
// header of a short file is refused before anything is allocated.
#include "ppm_reader.h"

#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class PpmReaderWindowsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ =
            fs::temp_directory_path() / ("moiravel-ppm-" + std::to_string(GetCurrentProcessId()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    std::string write(const std::string &name, const std::string &contents) {
        std::ofstream(dir_ / name, std::ios::binary) << contents;
        return (dir_ / name).string();
    }

    fs::path dir_;
    PixelBuffer pixels{7, 7};
    std::uint32_t width = 99;
    std::uint32_t height = 99;
};

TEST_F(PpmReaderWindowsTest, RegularFileLoadsWithEitherLineEnd) {
    for (const char *text :
         {"P3\n2 1\n255\n255 0 0 0 0 255\n", "P3\r\n2 1\r\n255\r\n255 0 0 0 0 255\r\n"}) {
        EXPECT_TRUE(loadPpmImage(write("image.ppm", text).c_str(), pixels, width, height));
        EXPECT_EQ(width, 2u);
        EXPECT_EQ(height, 1u);
        EXPECT_EQ(pixels, (PixelBuffer{255, 0, 0, 0, 0, 255}));
    }
    EXPECT_FALSE(loadPpmImage(write("empty.ppm", "").c_str(), pixels, width, height));
}

TEST_F(PpmReaderWindowsTest, AnythingButARegularFileIsRefusedUntouched) {
    fs::create_directory(dir_ / "folder.ppm");
    // Under Wine the Unix file system shows as drive Z:, with its endless device; a reader
    // that read to the end of the file would never return. Elsewhere the name is absent.
    const std::string names[] = {(dir_ / "folder.ppm").string(), (dir_ / "absent.ppm").string(),
                                 "NUL", "CONIN$", "Z:\\dev\\zero"};
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(loadPpmImage(name.c_str(), pixels, width, height));
        EXPECT_EQ(width, 99u);
        EXPECT_EQ(height, 99u);
        EXPECT_EQ(pixels, (PixelBuffer{7, 7}));
    }
}

TEST_F(PpmReaderWindowsTest, HugeSizeInAShortFileIsRefusedBeforeAllocating) {
    // 37000 x 37000 x 3 samples would be 4 GB; the file holds three.
    EXPECT_FALSE(loadPpmImage(write("huge.ppm", "P3\n37000 37000\n255\n1 2 3\n").c_str(), pixels,
                              width, height));
    EXPECT_EQ(width, 37000u);
    EXPECT_EQ(pixels, (PixelBuffer{7, 7}));
}

} // namespace
