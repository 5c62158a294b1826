// SPDX-License-Identifier: MIT
// The image reader's sample loop: the pixel samples after the header, read as
// decimal integers into bytes, with an SSE2 path for the common short
// unsigned samples. It reads no header and reports no reason; the reader
// (ppm_reader.cpp) does both.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Character classes for the sample loop.
enum CharClass : std::uint8_t { otherChar = 0, spaceChar = 1, digitChar = 2 };

inline constexpr auto characterClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) {
        classes[c] = spaceChar;
    }
    for (int c = '0'; c <= '9'; ++c) {
        classes[static_cast<std::size_t>(c)] = digitChar;
    }
    return classes;
}();

inline std::uint8_t classOf(char c) {
    return characterClasses[static_cast<unsigned char>(c)];
}

// The sample loop: decimal integers with an optional sign, separated by any
// white space. Stores the low 8 bits of each; stops at the first token that is
// not an integer in the signed 32-bit range. Returns the count stored and
// where it stopped: at the end, or at the digits (or other character) after
// the failed token's sign, if it has one.
struct SampleRun {
    std::size_t stored;
    const char *stop;
};
SampleRun readSamples(const char *p, const char *end, std::uint8_t *out, std::size_t count);
