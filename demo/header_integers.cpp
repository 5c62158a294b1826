// SPDX-License-Identifier: MIT
// Header numbers as glibc's sscanf(text, "%i %i ...") converts them, digit by
// digit, without the C library: no locale, no allocation. Knows nothing of
// the header's lines or of what the numbers stand for.
#include "header_integers.h"

#include <algorithm>

namespace {

bool isSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

bool isDigitInBase(unsigned char c, unsigned base, unsigned &digit) {
    if (isDigit(c)) {
        digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
    } else {
        return false;
    }
    return digit < base;
}

// One "%i" conversion as glibc's scanf makes it: leading white space
// skipped, an optional sign, then hexadecimal after 0x (a 0x with no hex digit
// after it reads as 0, the x consumed), octal after a leading 0, decimal
// otherwise. The value saturates at the range of a 64-bit long, and its low
// 32 bits are stored. Returns 1 when converted, 0 when no number stands at
// text, -1 when text ends first; text then points past the number.
int scanInteger(const char *&text, std::uint32_t &value) {
    const char *p = text;
    while (isSpace(static_cast<unsigned char>(*p))) {
        ++p;
    }
    if (*p == '\0') {
        return -1;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    unsigned base = 10;
    bool converted = false;
    if (*p == '0') {
        converted = true;
        ++p;
        base = 8;
        if (*p == 'x' || *p == 'X') {
            base = 16;
            ++p;
        }
    }
    constexpr std::uint64_t saturated = ~std::uint64_t{0};
    std::uint64_t magnitude = 0;
    unsigned digit = 0;
    while (isDigitInBase(static_cast<unsigned char>(*p), base, digit)) {
        converted = true;
        magnitude = magnitude > (saturated - digit) / base ? saturated : magnitude * base + digit;
        ++p;
    }
    if (!converted) {
        return 0;
    }
    constexpr std::uint64_t longMinMagnitude = std::uint64_t{1} << 63;
    const std::uint64_t asLong =
        negative ? (magnitude >= longMinMagnitude ? longMinMagnitude : 0 - magnitude)
                 : std::min(magnitude, longMinMagnitude - 1);
    value = static_cast<std::uint32_t>(asLong);
    text = p;
    return 1;
}

} // namespace

int scanHeaderIntegers(const char *text, std::uint32_t *const targets[], int count) {
    for (int converted = 0; converted < count; ++converted) {
        const int result = scanInteger(text, *targets[converted]);
        if (result <= 0) {
            return converted == 0 ? result : converted;
        }
    }
    return count;
}
