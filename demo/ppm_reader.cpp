// SPDX-License-Identifier: MIT
// Reader for plain PPM images: the file's grammar (lines before the magic
// line, comments, the size and maxval lines, the samples) and the reason for
// every refusal, on bytes that file_map.h, header_integers.h and
// sample_scanner.h fetch and convert. Prints nothing.
#include "ppm_reader.h"

#include "file_map.h"
#include "header_integers.h"
#include "sample_scanner.h"
#include "text_cursor.h"

#include <new>
#include <string>
#include <string_view>

namespace {

// The line and column, counted from 1, of the byte at `at`.
void placeAt(const char *data, const char *at, PpmLoadError &error) {
    const char *lineStart = data;
    error.line = 1;
    for (const char *p = data; p != at; ++p) {
        if (*p == '\n') {
            ++error.line;
            lineStart = p + 1;
        }
    }
    error.column = static_cast<std::uint64_t>(at - lineStart) + 1;
}

// The token at p, up to the next white space, for a reason's text.
std::string quoteToken(const char *p, const char *end) {
    const char *tokenEnd = p;
    while (tokenEnd != end && tokenEnd - p <= 64 && classOf(*tokenEnd) != spaceChar) {
        ++tokenEnd;
    }
    return quoteFound(std::string_view(p, static_cast<std::size_t>(tokenEnd - p)));
}

// The reader itself, for both entry points. Every path that returns false
// says why in error; the reasons cost nothing until a load fails.
bool readPpm(const char *data, std::size_t size, PixelBuffer &pixels, std::uint32_t &width,
             std::uint32_t &height, PpmLoadError &error) {
    TextCursor in(data, size);
    char line[lineBufferSize];

    // A header line that did not fit the line buffer makes every later read
    // fail, so it is the reason for a check that failed on such a read.
    // lineStart is the start of the header line the failed check looked at,
    // or null when the check failed for want of a line.
    auto fail = [&](PpmFailure failure, const char *lineStart) {
        if (in.overlongLine() != nullptr &&
            (lineStart == nullptr || lineStart > in.overlongLine())) {
            failure = PpmFailure::headerLineTooLong;
            lineStart = in.overlongLine();
            error.found.clear();
        }
        error.failure = failure;
        if (lineStart != nullptr) {
            placeAt(data, lineStart, error);
            error.column = 0;
        }
        return false;
    };

    // Lines before the magic line are skipped whatever they hold.
    for (;;) {
        int c = in.peek();
        if (c == 'P') {
            break;
        }
        if (c < 0) {
            error.found = quoteFound(std::string_view(data, size));
            return fail(size == 0 ? PpmFailure::emptyFile : PpmFailure::noMagicLine, nullptr);
        }
        in.readLine(line);
    }
    // The header lines are parsed from whatever the line buffer holds: an
    // over-long line still counts by its first characters, and only the
    // reads after it fail.
    const char *lineStart = in.position();
    in.readLine(line);
    if (line[0] == '\0' || line[1] != '3') {
        error.found = quoteFound(line);
        return fail(PpmFailure::wrongMagic, lineStart);
    }

    auto skipComments = [&] {
        while (!in.atEnd() && in.peek() == '#') {
            in.readLine(line);
        }
    };

    skipComments();
    lineStart = in.position();
    in.readLine(line);
    std::uint32_t *const size2[] = {&width, &height};
    if (scanHeaderIntegers(line, size2, 2) != 2) {
        if (in.failed()) {
            return fail(PpmFailure::endsBeforeSizeLine, nullptr);
        }
        error.found = quoteFound(line);
        return fail(PpmFailure::badSizeLine, lineStart);
    }
    const char *sizeLine = lineStart;

    skipComments();
    std::uint32_t maxval = 0;
    lineStart = in.position();
    in.readLine(line);
    std::uint32_t *const maxval1[] = {&maxval};
    if (scanHeaderIntegers(line, maxval1, 1) != 1) {
        if (in.failed()) {
            return fail(PpmFailure::endsBeforeMaxvalLine, nullptr);
        }
        error.found = quoteFound(line);
        return fail(PpmFailure::noMaxval, lineStart);
    }
    if (maxval != 255) {
        error.value = maxval;
        return fail(PpmFailure::badMaxval, lineStart);
    }

    // Sizes the buffer cannot stand for: an empty image, or a sample count
    // that does not fit 32 bits. The pixel count is checked first, as three
    // times a 64-bit count can wrap to a small number.
    error.width = width;
    error.height = height;
    const std::uint64_t pixelCount = std::uint64_t{width} * height;
    if (pixelCount == 0) {
        return fail(PpmFailure::zeroSize, sizeLine);
    }
    if (pixelCount > 0xFFFFFFFFu / 3) {
        error.count = pixelCount;
        return fail(PpmFailure::sampleCountTooLarge, sizeLine);
    }
    const std::uint64_t count = pixelCount * 3;
    error.count = count;
    // Each sample takes at least one digit and all but the last a separator,
    // so a file too short for a huge header is refused before allocating.
    const char *samples = in.failed() ? in.end() : in.position();
    const std::uint64_t available = static_cast<std::uint64_t>(in.end() - samples);
    if (count > largeImageSampleCount && available < 2 * count - 1) {
        error.bytes = available;
        return fail(PpmFailure::tooLargeForFile, in.failed() ? nullptr : sizeLine);
    }
    try {
        pixels.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc &) {
        return fail(PpmFailure::tooLargeForMemory, sizeLine);
    }
    if (in.failed()) {
        return fail(PpmFailure::headerLineTooLong, nullptr);
    }
    const SampleRun run = readSamples(samples, in.end(), pixels.data(), pixels.size());
    const std::size_t stored = run.stored;
    if (stored == pixels.size()) {
        return true;
    }
    // A sign is never the last character of a sample read, so one just
    // before the stop belongs to the failed token.
    const char *stop = run.stop;
    if (stop != samples && (stop[-1] == '+' || stop[-1] == '-')) {
        --stop;
    }
    error.value = stored;
    if (stop == in.end()) {
        error.failure = PpmFailure::tooFewSamples;
        return false;
    }
    error.failure = PpmFailure::badSample;
    error.value = stored + 1;
    error.found = quoteToken(stop, in.end());
    placeAt(data, stop, error);
    return false;
}

bool loadPpmFile(const char *fileName, PixelBuffer &pixels, std::uint32_t &width,
                 std::uint32_t &height, PpmLoadError &error) {
    MappedFile file;
    if (!mapFile(fileName, file, error)) {
        return false;
    }
    const bool loaded = readPpm(file.data, file.size, pixels, width, height, error);
    unmapFile(file);
    return loaded;
}

} // namespace

bool parsePpmImage(const char *data, std::size_t size, PixelBuffer &pixels, std::uint32_t &width,
                   std::uint32_t &height) {
    PpmLoadError ignored;
    return readPpm(data, size, pixels, width, height, ignored);
}

bool parsePpmImageWithReason(const char *data, std::size_t size, PixelBuffer &pixels,
                             std::uint32_t &width, std::uint32_t &height, PpmLoadError &error) {
    error = PpmLoadError{};
    return readPpm(data, size, pixels, width, height, error);
}

bool loadPpmImage(const char *fileName, PixelBuffer &pixels, std::uint32_t &width,
                  std::uint32_t &height) {
    PpmLoadError ignored;
    return loadPpmFile(fileName, pixels, width, height, ignored);
}

bool loadPpmImageWithReason(const char *fileName, PixelBuffer &pixels, std::uint32_t &width,
                            std::uint32_t &height, PpmLoadError &error) {
    error = PpmLoadError{};
    return loadPpmFile(fileName, pixels, width, height, error);
}
