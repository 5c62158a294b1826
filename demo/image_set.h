// SPDX-License-Identifier: MIT
// The image set the viewer shows and moiravel-make-images writes: the four file names, the
// three modes' names and which files each mode alternates. Only facts, no loading or drawing.
#pragma once

#include <array>
#include <string>

namespace moiravel {

inline constexpr int imageCount = 4;
inline constexpr int modeCount = 3;

// The file of image index (0 to 3): "0Image.ppm" with its first character set to the digit.
inline std::string imageFileName(int index) {
    std::string name = "0Image.ppm";
    name[0] = static_cast<char>('0' + index);
    return name;
}

// The files each mode shows as subimage 0 and subimage 1; mode 2 shows file 3 in both slots.
inline constexpr std::array<std::array<int, 2>, modeCount> modeImages = {{{0, 1}, {2, 3}, {3, 3}}};

// The names the overlay gives the modes.
inline constexpr std::array<const char *, modeCount> modeNames = {
    "Our algorithm",
    "Lanczos - postfiltering (filter subpixels inside display pixel)",
    "Lanczos - prefiltering",
};

} // namespace moiravel
