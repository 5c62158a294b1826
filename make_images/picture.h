// SPDX-License-Identifier: MIT
// Pictures in memory and the file formats the image tool reads and writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace moiravel::images {

// An RGB picture with float samples on the 0..255 scale, pixels interleaved (r, g, b), rows
// from the top down.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<float> samples;

    Picture() = default;
    Picture(int w, int h, float fill = 0.0f)
        : width(w), height(h), samples(static_cast<std::size_t>(w) * h * 3, fill) {}

    std::size_t index(int x, int y) const { return (static_cast<std::size_t>(y) * width + x) * 3; }
    float *pixel(int x, int y) { return samples.data() + index(x, y); }
    const float *pixel(int x, int y) const { return samples.data() + index(x, y); }
};

// An RGB picture with 8-bit samples, laid out like Picture.
struct Image8 {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> samples;
};

// Rounds every sample to the nearest integer and clamps it to 0..255.
Image8 toImage8(const Picture &picture);
Picture toPicture(const Image8 &image);

// Copies the rectangle [x, x + width) x [y, y + height), which must lie inside the picture.
Picture crop(const Picture &picture, int x, int y, int width, int height);

// Reads a PPM (P3 or P6, any maxval up to 65535) or a PNG file, chosen by its content.
// Samples are scaled to 0..255. Throws std::runtime_error with "PATH: reason" in plain words on
// failure (for a PPM with the line and what was expected there). Warnings and notes that do not
// stop the reading ("warning: ...", "note: ...") go to notes when it is given.
Picture readPicture(const std::string &path, std::vector<std::string> *notes = nullptr);

// Writes a plain PPM: magic P3, maxval 255, no line longer than 70 characters.
void writePlainPpm(const std::string &path, const Image8 &image);
// Formats the same file contents in memory.
std::string formatPlainPpm(const Image8 &image);

// An 8-bit RGB PNG of the image, in memory; false when libpng cannot make one.
bool encodePng(const Image8 &image, std::string &bytes);
// Writes that PNG to the file.
void writePng(const std::string &path, const Image8 &image);

} // namespace moiravel::images
