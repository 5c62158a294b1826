// SPDX-License-Identifier: MIT
// The real moiravel-make-images on bad input: one line naming the file and the reason in plain
// words, exit status 1 (2 for a usage error), and no text of a library's exception.
#include "temp_dir.h"
#include "tool_run.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace moiravel::images {
namespace {

namespace fs = std::filesystem;

void writeBytes(const fs::path &file, const std::string &bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

// A PNG of the given size and format (PNG_FORMAT_RGB, PNG_FORMAT_RGBA) with noise in it, so that
// its image data does not compress away.
std::string pngBytes(int width, int height, png_uint_32 format = PNG_FORMAT_RGB) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = format;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
    }
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
    std::string bytes(size, '\0');
    png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), 0, nullptr);
    bytes.resize(size);
    return bytes;
}

std::uint32_t crc32(const std::string &bytes, std::size_t from, std::size_t to) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = from; i < to; ++i) {
        crc ^= static_cast<unsigned char>(bytes[i]);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

// The PNG with its first image data chunk's compressed bytes scrambled and its checksum made
// right again, so that only the decompression can find the fault.
std::string corruptImageData(std::string png) {
    const std::size_t type = png.find("IDAT");
    const std::size_t length = (std::size_t(std::uint8_t(png[type - 4])) << 24) |
                               (std::size_t(std::uint8_t(png[type - 3])) << 16) |
                               (std::size_t(std::uint8_t(png[type - 2])) << 8) |
                               std::uint8_t(png[type - 1]);
    for (std::size_t i = type + 4 + 2; i < type + 4 + length; i += 3) {
        png[i] = static_cast<char>(png[i] ^ 0x5A);
    }
    const std::uint32_t crc = crc32(png, type, type + 4 + length);
    for (int b = 0; b < 4; ++b) {
        png[type + 4 + length + b] = static_cast<char>(crc >> (24 - 8 * b));
    }
    return png;
}

struct BadInput {
    const char *name;
    const char *file; // written into the working directory with these contents, unless null
    std::string contents;
    std::vector<std::string> arguments;
    int code;
    const char *line; // the start of stderr's first line, after "moiravel-make-images: "
};

const BadInput badInputs[] = {
    {"missing",
     nullptr,
     "",
     {"missing.png"},
     1,
     "missing.png: cannot open: No such file or directory"},
    {"a directory", nullptr, "", {"."}, 1, ".: is a directory, not a picture"},
    {"empty", "empty.png", "", {"empty.png"}, 1, "empty.png: the file is empty"},
    {"text",
     "notes.txt",
     "hello\nworld\n",
     {"notes.txt"},
     1,
     "notes.txt: not a PNG or a P3/P6 PPM picture: it starts with \"hello\\nworld\\n\""},
    {"truncated PNG",
     "cut.png",
     pngBytes(64, 32).substr(0, pngBytes(64, 32).size() / 2),
     {"cut.png"},
     1,
     "cut.png: the file is cut short (truncated PNG)"},
    {"corrupt PNG",
     "corrupt.png",
     corruptImageData(pngBytes(64, 32)),
     {"corrupt.png"},
     1,
     "corrupt.png: corrupt image data"},
    {"short P3",
     "short.ppm",
     "P3\n2 2\n255\n1 2 3\n4 5\n",
     {"short.ppm"},
     1,
     "short.ppm: line 6: expected sample 6 of 12, found the end of the file"},
    {"P6 size line",
     "size.ppm",
     "P6\n# made by hand\n16 x8\n255\n",
     {"size.ppm"},
     1,
     "size.ppm: line 3: expected the height, found 'x8'"},
    {"too small a picture",
     "tiny.ppm",
     "P3\n2 1\n255\n1 2 3 4 5 6\n",
     {"tiny.ppm"},
     1,
     "tiny.ppm: the picture is too small"},
    {"unwritable --out",
     "file",
     "x",
     {"--out", "file/images", "missing.png"},
     1,
     "file/images: cannot create the directory: Not a directory"},
    {"unknown option", nullptr, "", {"--fast"}, 2, "unknown option --fast"},
    {"bad transfer",
     nullptr,
     "",
     {"--transfer", "gamma:x"},
     2,
     "--transfer needs srgb, code or gamma:G"},
};

TEST(MakeImagesErrors, EachBadInputGetsOneLineWithTheFileAndTheReason) {
    for (const BadInput &bad : badInputs) {
        SCOPED_TRACE(bad.name);
        xtest::TempDir work("moiravel-images-cli");
        if (bad.file != nullptr) {
            writeBytes(work / bad.file, bad.contents);
        }
        const ToolRun run = runTool(work, bad.arguments);
        EXPECT_EQ(run.code, bad.code) << run.err;
        const std::string first = run.err.substr(0, run.err.find('\n'));
        EXPECT_EQ(first.rfind(std::string("moiravel-make-images: ") + bad.line, 0), 0u) << first;
        if (bad.code == 1) {
            EXPECT_EQ(run.err, first + "\n"); // one line, and no work started
            EXPECT_EQ(run.out, "");
        } else {
            EXPECT_NE(run.err.find("usage: moiravel-make-images"), std::string::npos) << run.err;
        }
    }
}

TEST(MakeImagesErrors, APngWithoutEndChunkGetsAWarningAndDroppedAlphaANote) {
    xtest::TempDir work("moiravel-images-cli");
    const std::string png = pngBytes(16, 8);
    writeBytes(work / "noend.png", png.substr(0, png.size() - 12)); // the IEND chunk
    writeBytes(work / "alpha.png", pngBytes(16, 8, PNG_FORMAT_RGBA));
    const std::pair<const char *, const char *> cases[] = {
        {"noend.png", "moiravel-make-images: noend.png: warning: the file has no end chunk"},
        {"alpha.png", "moiravel-make-images: alpha.png: note: the alpha channel is dropped"},
    };
    for (const auto &[file, line] : cases) {
        const ToolRun run = runTool(work, {file, "--out", "out", "--iterations", "3"});
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(run.err.rfind(line, 0), 0u) << run.err;
    }
}

TEST(MakeImagesErrors, HelpAndVersionGoToStandardOutput) {
    xtest::TempDir work("moiravel-images-cli");
    const ToolRun help = runTool(work, {"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("--display MODEL"), std::string::npos) << help.out;
    const ToolRun version = runTool(work, {"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out.rfind("moiravel-make-images ", 0), 0u) << version.out;
}

} // namespace
} // namespace moiravel::images
