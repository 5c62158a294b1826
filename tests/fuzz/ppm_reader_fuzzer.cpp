// SPDX-License-Identifier: MIT
// Fuzzes loadPpmImage: each input is written to a file and loaded twice, into
// an empty buffer and into one that already holds bytes, and every output is
// compared with a plain model of the file format built on the standard
// library (std::istream for the header lines, sscanf for the header numbers,
// strtoll for the samples). The reader's own fast paths (memory mapping,
// block-wise sample scanning) thus meet an independent implementation on
// every input.
#include "c11_scanf.h"
#include "ppm_reader.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

struct Outputs {
    bool loaded = false;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    PixelBuffer pixels;

    friend bool operator==(const Outputs &, const Outputs &) = default;
};

// Header integers as C11's "%i" converts them, by the C library's sscanf itself. Always
// decided; the optional stays for callers that once had to skip inputs.
struct HeaderInt {
    bool converted = false;
    std::uint32_t value = 0;
};
std::optional<HeaderInt> scanHeaderInt(const char *&text) {
    int value = 0;
    int length = 0;
    if (c11ScanInteger(text, &value, &length) != 1) {
        return HeaderInt{};
    }
    text += length;
    return HeaderInt{true, static_cast<std::uint32_t>(value)};
}

// The model: text-mode line ends, header lines through a 256-character
// std::istream::getline, samples through strtoll. Empty when undecided.
std::optional<Outputs> model(const std::string &file, Outputs out) {
    std::string text;
    text.reserve(file.size());
    for (std::size_t i = 0; i < file.size(); ++i) {
        if (!(file[i] == '\r' && i + 1 < file.size() && file[i + 1] == '\n')) {
            text += file[i];
        }
    }
    std::istringstream in(text);
    char line[256];
    out.loaded = false;
    for (;;) {
        const int c = in.peek();
        if (c == 'P') {
            break;
        }
        if (c == std::char_traits<char>::eof()) {
            return out;
        }
        in.getline(line, sizeof line);
    }
    in.getline(line, sizeof line);
    if (line[1] != '3') {
        return out;
    }
    auto skipComments = [&] {
        while (in && in.peek() == '#') {
            in.getline(line, sizeof line);
        }
    };
    skipComments();
    in.getline(line, sizeof line);
    const char *p = line;
    std::optional<HeaderInt> width = scanHeaderInt(p);
    if (!width) {
        return std::nullopt;
    }
    if (!width->converted) {
        return out;
    }
    out.width = width->value;
    std::optional<HeaderInt> height = scanHeaderInt(p);
    if (!height) {
        return std::nullopt;
    }
    if (!height->converted) {
        return out;
    }
    out.height = height->value;
    skipComments();
    in.getline(line, sizeof line);
    p = line;
    std::optional<HeaderInt> maxval = scanHeaderInt(p);
    if (!maxval) {
        return std::nullopt;
    }
    if (!maxval->converted || maxval->value != 255) {
        return out;
    }
    // Sizes the viewer cannot show, and (beyond largeImageSampleCount) sizes
    // that no input of a fuzzing run is long enough to fill. The pixel count
    // is compared before it is tripled, which could wrap 64 bits.
    const std::uint64_t pixelCount = std::uint64_t{out.width} * out.height;
    if (pixelCount == 0 || pixelCount > largeImageSampleCount / 3) {
        return out;
    }
    const std::uint64_t count = pixelCount * 3;
    out.pixels.resize(static_cast<std::size_t>(count));
    if (!in || in.eof()) {
        return out;
    }
    const char *s = text.c_str() + static_cast<std::size_t>(in.tellg());
    for (std::size_t i = 0; i < out.pixels.size(); ++i) {
        char *end = nullptr;
        errno = 0;
        const long long value = std::strtoll(s, &end, 10);
        if (end == s || value < INT32_MIN || value > INT32_MAX) {
            return out;
        }
        out.pixels[i] = static_cast<std::uint8_t>(value);
        s = end;
    }
    out.loaded = true;
    return out;
}

std::string describe(const Outputs &o) {
    return std::string(o.loaded ? "loaded" : "failed") + ", " + std::to_string(o.width) + "x" +
           std::to_string(o.height) + ", " + std::to_string(o.pixels.size()) + " bytes";
}

[[noreturn]] void mismatch(const char *what, const Outputs &got, const Outputs &want) {
    std::fprintf(stderr, "loadPpmImage %s: got %s, want %s\n", what, describe(got).c_str(),
                 describe(want).c_str());
    for (std::size_t i = 0; i < got.pixels.size() && i < want.pixels.size(); ++i) {
        if (got.pixels[i] != want.pixels[i]) {
            std::fprintf(stderr, "first differing byte %zu: got %d, want %d\n", i, got.pixels[i],
                         want.pixels[i]);
            break;
        }
    }
    std::abort();
}

std::string scratchFile;

void removeScratch() {
    std::remove(scratchFile.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    char pattern[] = "/tmp/moiravel-ppm-fuzz-XXXXXX";
    const int fd = ::mkstemp(pattern);
    if (fd < 0) {
        std::perror("mkstemp");
        std::abort();
    }
    ::close(fd);
    scratchFile = pattern;
    std::atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string file(reinterpret_cast<const char *>(data), size);
    std::FILE *f = std::fopen(scratchFile.c_str(), "wb");
    if (f == nullptr || std::fwrite(file.data(), 1, file.size(), f) != file.size() ||
        std::fclose(f) != 0) {
        std::perror(scratchFile.c_str());
        std::abort();
    }

    // Outputs start from sentinels so that what the reader leaves untouched
    // is checked too; the second run starts from a buffer longer than most
    // images of the corpus and with bytes the reader must not keep.
    const Outputs fresh{false, 0xDEADBEEF, 0xCAFEF00D, {}};
    const Outputs used{false, 1, 2, PixelBuffer(97, 0xA5)};
    for (const Outputs *start : {&fresh, &used}) {
        Outputs got = *start;
        got.loaded = loadPpmImage(scratchFile.c_str(), got.pixels, got.width, got.height);
        if (got.loaded && got.pixels.size() != std::uint64_t{got.width} * got.height * 3) {
            mismatch("buffer size", got, got);
        }
        Outputs inMemory = *start;
        inMemory.loaded = parsePpmImage(file.data(), file.size(), inMemory.pixels, inMemory.width,
                                        inMemory.height);
        if (!(inMemory == got)) {
            mismatch("from memory differs from the file", inMemory, got);
        }
        if (std::optional<Outputs> want = model(file, *start)) {
            if (!(got == *want)) {
                mismatch(start == &fresh ? "into an empty buffer" : "into a used buffer", got,
                         *want);
            }
        }
    }
    return 0;
}
