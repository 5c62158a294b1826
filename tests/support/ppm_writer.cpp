#include "ppm_writer.h"

#include <cstdio>
#include <memory>
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
    std::unique_ptr<FILE, int (*)(FILE *)> out(std::fopen(file.c_str(), "wb"), &std::fclose);
    if (!out) {
        throw std::runtime_error("cannot create " + file.string());
    }
    std::string header =
        "P3\n" + std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n255\n";
    std::fputs(header.c_str(), out.get());
    // Formatted by hand: the benchmark writes four 1920x1080 files (about 90 MB).
    std::string line;
    line.reserve(static_cast<std::size_t>(picture.width) * 12 + 1);
    const std::uint8_t *sample = picture.rgb.data();
    for (int y = 0; y < picture.height; ++y) {
        line.clear();
        for (int s = 0; s < picture.width * 3; ++s) {
            unsigned v = *sample++;
            if (s != 0) {
                line.push_back(' ');
            }
            if (v >= 100) {
                line.push_back(static_cast<char>('0' + v / 100));
            }
            if (v >= 10) {
                line.push_back(static_cast<char>('0' + v / 10 % 10));
            }
            line.push_back(static_cast<char>('0' + v % 10));
        }
        line.push_back('\n');
        std::fwrite(line.data(), 1, line.size(), out.get());
    }
    if (std::ferror(out.get())) {
        throw std::runtime_error("write error on " + file.string());
    }
}

} // namespace moiravel::xtest
