// SPDX-License-Identifier: MIT
// Fuzzes readScreenSize, the reading of README.txt, against a model written
// with strtoll: white space skipped before each item, a decimal int32 with an
// optional sign, any one separator byte, a second int32; a failed item leaves
// its field and every later field at 0. The game-mode string built from the
// result must read back as the same size.
#include "startup.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One item at text[pos]: its value, or false when it cannot be read.
bool readInt(const std::string &text, std::size_t &pos, std::int32_t &value) {
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    const char *start = text.c_str() + pos;
    char *end = nullptr;
    errno = 0;
    const long long v = std::strtoll(start, &end, 10);
    if (end == start || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) {
        return false;
    }
    pos += static_cast<std::size_t>(end - start);
    value = static_cast<std::int32_t>(v);
    return true;
}

void model(const std::string &text, std::int32_t &width, std::int32_t &height) {
    width = 0;
    height = 0;
    std::size_t pos = 0;
    if (!readInt(text, pos, width)) {
        return;
    }
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    if (pos == text.size()) {
        return;
    }
    ++pos; // the separator, whatever byte it is
    std::int32_t h = 0;
    if (readInt(text, pos, h)) {
        height = h;
    }
}

[[noreturn]] void fail(const char *what, std::int32_t gotW, std::int32_t gotH, std::int32_t wantW,
                       std::int32_t wantH) {
    std::fprintf(stderr, "%s: got %d x %d, want %d x %d\n", what, gotW, gotH, wantW, wantH);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    std::istringstream in(text);
    std::int32_t width = -7;
    std::int32_t height = -7;
    readScreenSize(in, width, height);

    std::int32_t wantW = 0;
    std::int32_t wantH = 0;
    model(text, wantW, wantH);
    if (width != wantW || height != wantH) {
        fail("readScreenSize", width, height, wantW, wantH);
    }

    // The game-mode string holds the size in decimal with "x" between, so it
    // reads back as the same size.
    std::istringstream again(gameModeString(width, height));
    std::int32_t w2 = -7;
    std::int32_t h2 = -7;
    readScreenSize(again, w2, h2);
    if (w2 != width || h2 != height) {
        fail("game-mode string read back", w2, h2, width, height);
    }
    return 0;
}
