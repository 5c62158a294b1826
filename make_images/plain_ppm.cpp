// SPDX-License-Identifier: MIT
#include "plain_ppm.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace moiravel {

std::string formatPlainPpm(int width, int height, const std::uint8_t *rgb) {
    std::string out = "P3\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    const std::size_t count =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
    constexpr std::size_t maxLine = 70;
    out.reserve(out.size() + count * 4);
    std::size_t lineLength = 0;
    char token[4];
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned sample = rgb[i];
        std::size_t length = 0;
        if (sample >= 100) {
            token[length++] = static_cast<char>('0' + sample / 100);
        }
        if (sample >= 10) {
            token[length++] = static_cast<char>('0' + sample / 10 % 10);
        }
        token[length++] = static_cast<char>('0' + sample % 10);
        if (lineLength > 0 && lineLength + 1 + length > maxLine) {
            out.push_back('\n');
            lineLength = 0;
        }
        if (lineLength > 0) {
            out.push_back(' ');
            ++lineLength;
        }
        out.append(token, length);
        lineLength += length;
    }
    out.push_back('\n');
    return out;
}

bool writePlainPpmFile(const std::string &path, int width, int height, const std::uint8_t *rgb,
                       std::string &reason) {
    const std::string text = formatPlainPpm(width, height, rgb);
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        reason = std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        reason = std::strerror(written ? errno : writeError);
        return false;
    }
    return true;
}

} // namespace moiravel
