// SPDX-License-Identifier: MIT
// The one plain PPM writer: what moiravel-make-images writes and what the tests and benchmarks
// feed the viewer. It formats and writes; it does not read.
#pragma once

#include <cstdint>
#include <string>

namespace moiravel {

// "P3", the size line and "255" on lines of their own, then every sample in decimal, with no
// line longer than 70 characters. rgb holds width * height * 3 samples, rows from the top down.
std::string formatPlainPpm(int width, int height, const std::uint8_t *rgb);

// Writes that text to the file. On failure returns false and sets reason to the system's
// reason ("Permission denied").
bool writePlainPpmFile(const std::string &path, int width, int height, const std::uint8_t *rgb,
                       std::string &reason);

} // namespace moiravel
