// SPDX-License-Identifier: MIT
// The one type of an image's pixels in memory, shared by the image reader and
// the viewer's state. Only the type: nothing here reads or draws an image.
#pragma once

#include <cstdint>
#include <vector>

// RGB samples of one image, 3 bytes per pixel, rows from the top down.
using PixelBuffer = std::vector<std::uint8_t>;
