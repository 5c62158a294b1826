// SPDX-License-Identifier: MIT
// Reader for plain PPM images (magic number P3, maxval 255).
#pragma once

#include "load_reasons.h"
#include "pixel_buffer.h"

#include <cstddef>
#include <cstdint>

// Loads the named file into pixels (3 bytes per pixel, red, green, blue, rows
// from the top down) and reports its size. Returns true when the whole image
// was read; prints nothing. width and height are written as soon as the size
// line has been parsed; pixels is touched only once the whole header has been
// accepted.
bool loadPpmImage(const char *fileName, PixelBuffer &pixels, std::uint32_t &width,
                  std::uint32_t &height);

// As loadPpmImage, and when the load fails, error says why and where (see
// load_reasons.h); after a success error holds no failure. Both read through
// one implementation with the same outputs on every path.
bool loadPpmImageWithReason(const char *fileName, PixelBuffer &pixels, std::uint32_t &width,
                            std::uint32_t &height, PpmLoadError &error);

// The same reading rules applied to a file's contents already in memory.
bool parsePpmImage(const char *data, std::size_t size, PixelBuffer &pixels, std::uint32_t &width,
                   std::uint32_t &height);
bool parsePpmImageWithReason(const char *data, std::size_t size, PixelBuffer &pixels,
                             std::uint32_t &width, std::uint32_t &height, PpmLoadError &error);

// Images whose sample count exceeds this are refused before any allocation
// when the rest of the file is too short to hold that many samples.
inline constexpr std::uint64_t largeImageSampleCount = std::uint64_t{1} << 26;
