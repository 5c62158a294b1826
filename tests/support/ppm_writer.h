// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "x_client.h"

namespace moiravel::xtest {

// An RGB picture, rows from the top down, as a plain PPM file holds it.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    Picture() = default;
    Picture(int w, int h);
    static Picture generate(int w, int h, const std::function<Rgb(int x, int y)> &pixel);
    Rgb at(int x, int y) const {
        const std::size_t i = 3 * (static_cast<std::size_t>(y) * width + x);
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    void set(int x, int y, Rgb c);
};

// Writes a plain PPM file with the image tool's writer: "P3", the size line, "255", then the
// samples in decimal on lines of at most 70 characters.
void writePlainPpm(const std::filesystem::path &file, const Picture &picture);

} // namespace moiravel::xtest
