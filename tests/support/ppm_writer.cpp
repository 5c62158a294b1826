// SPDX-License-Identifier: MIT
#include "ppm_writer.h"

#include "plain_ppm.h"

#include <stdexcept>
#include <string>

namespace moiravel::xtest {

Picture::Picture(int w, int h)
    : width(w), height(h), rgb(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3) {}

Picture Picture::generate(int w, int h, const std::function<Rgb(int x, int y)> &pixel) {
    Picture picture(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            picture.set(x, y, pixel(x, y));
        }
    }
    return picture;
}

void Picture::set(int x, int y, Rgb c) {
    const std::size_t i = 3 * (static_cast<std::size_t>(y) * width + x);
    rgb[i] = c.r;
    rgb[i + 1] = c.g;
    rgb[i + 2] = c.b;
}

void writePlainPpm(const std::filesystem::path &file, const Picture &picture) {
    std::string reason;
    if (!writePlainPpmFile(file.string(), picture.width, picture.height, picture.rgb.data(),
                           reason)) {
        throw std::runtime_error("cannot write " + file.string() + ": " + reason);
    }
}

} // namespace moiravel::xtest
