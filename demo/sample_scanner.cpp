// SPDX-License-Identifier: MIT
// The sample loop of the image reader: a general loop for any decimal integer
// and, where the compiler targets SSE2, a block-wise fast path for the common
// case in front of it. Both store exactly the same bytes; neither looks at
// the header.
#include "sample_scanner.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

#if defined(__SSE2__)

// Digit and white-space masks of 64 bytes, one bit a byte.
struct BlockMasks {
    std::uint64_t digit;
    std::uint64_t space;
};

BlockMasks classifyBlock(const char *p) {
    const __m128i belowZero = _mm_set1_epi8('0' - 1);
    const __m128i aboveNine = _mm_set1_epi8('9' + 1);
    const __m128i blank = _mm_set1_epi8(' ');
    const __m128i belowTab = _mm_set1_epi8('\t' - 1);
    const __m128i aboveReturn = _mm_set1_epi8('\r' + 1);
    BlockMasks masks{0, 0};
    for (int part = 0; part < 4; ++part) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * part));
        const auto digit = static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpgt_epi8(bytes, belowZero), _mm_cmplt_epi8(bytes, aboveNine)))));
        const auto space =
            static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
                _mm_cmpeq_epi8(bytes, blank), _mm_and_si128(_mm_cmpgt_epi8(bytes, belowTab),
                                                            _mm_cmplt_epi8(bytes, aboveReturn))))));
        masks.digit |= digit << (16 * part);
        masks.space |= space << (16 * part);
    }
    return masks;
}

// The common case, 64 bytes at a time: unsigned samples of one to three
// digits separated by white space. Reads complete samples from cursor on and
// stops, leaving cursor at a token boundary, at anything else (a sign, a
// longer number, another character, the last bytes of the file), which the
// general loop then takes on.
std::size_t readShortSamples(const char *&cursor, const char *end, std::uint8_t *out,
                             std::size_t count) {
    constexpr std::uint64_t allButTop = ~std::uint64_t{0} >> 1;
    const char *p = cursor;
    std::size_t stored = 0;
    // A token starts at most 63 bytes in, and its value is read as 4 bytes.
    while (stored < count && end - p >= 67) {
        BlockMasks masks = classifyBlock(p);
        const std::uint64_t other = ~(masks.digit | masks.space);
        // Only bytes before the first other character take part.
        const int limit = other != 0 ? std::countr_zero(other) : 64;
        std::uint64_t digit =
            limit < 64 ? masks.digit & ((std::uint64_t{1} << limit) - 1) : masks.digit;
        std::uint64_t starts = digit & ~(digit << 1);
        // A token ends where the next byte, inside the block, is no digit.
        std::uint64_t ends = digit & ~(digit >> 1) & allButTop;
        while (ends != 0) {
            const int first = std::countr_zero(starts);
            const int length = std::countr_zero(ends) - first + 1;
            if (length > 3) {
                cursor = p + first;
                return stored;
            }
            std::uint32_t word;
            std::memcpy(&word, p + first, sizeof word);
            // The digits to the top bytes, zeros below, then pairs combined.
            std::uint32_t digits = (word & 0x0F0F0F0Fu) << (8 * (4 - length));
            digits = digits * 10 + (digits >> 8);
            out[stored++] =
                static_cast<std::uint8_t>((digits & 0xFFu) * 100 + ((digits >> 16) & 0xFFu));
            if (stored == count) {
                cursor = p + first + length;
                return stored;
            }
            starts &= starts - 1;
            ends &= ends - 1;
        }
        if (starts != 0) {
            // A token runs past the block: go on from its start.
            const int first = std::countr_zero(starts);
            if (first == 0) {
                break;
            }
            p += first;
        } else if (other != 0) {
            p += limit;
            break;
        } else {
            p += 64;
        }
    }
    cursor = p;
    return stored;
}

#else

std::size_t readShortSamples(const char *&, const char *, std::uint8_t *, std::size_t) {
    return 0;
}

#endif

} // namespace

SampleRun readSamples(const char *p, const char *end, std::uint8_t *out, std::size_t count) {
    std::size_t stored = 0;
    while (stored < count) {
        stored += readShortSamples(p, end, out + stored, count - stored);
        if (stored == count) {
            break;
        }
        while (p != end && classOf(*p) == spaceChar) {
            ++p;
        }
        if (p == end) {
            break;
        }
        bool negative = false;
        if (*p == '+' || *p == '-') {
            negative = *p == '-';
            ++p;
        }
        // Up to nine digits cannot leave the int32 range.
        const char *digits = p;
        std::uint32_t value = 0;
        while (p != end && p - digits < 9 && classOf(*p) == digitChar) {
            value = value * 10 + static_cast<std::uint32_t>(*p - '0');
            ++p;
        }
        if (p == digits) {
            break;
        }
        if (p != end && classOf(*p) == digitChar) {
            // Longer numbers: capped just above the int32 range so that the
            // range test cannot be fooled by overflow.
            std::uint64_t magnitude = value;
            do {
                magnitude = std::min<std::uint64_t>(
                    magnitude * 10 + static_cast<unsigned>(*p - '0'), 0x80000001u);
                ++p;
            } while (p != end && classOf(*p) == digitChar);
            if (magnitude > (negative ? 0x80000000u : 0x7FFFFFFFu)) {
                p = digits;
                break;
            }
            value = static_cast<std::uint32_t>(magnitude);
        }
        out[stored++] = static_cast<std::uint8_t>(negative ? 0u - value : value);
    }
    return {stored, p};
}
