#include "ppm_reader.h"

#include <cstdio>
#include <new>

#ifdef _WIN32
#include <cstdlib>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Header lines go through a line buffer of this many characters, so a line
// may hold one less before its line break.
constexpr int lineBufferSize = 256;

bool isSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

// A text stream over the file's bytes with the conventions of a stream opened
// in text mode: a carriage return right before a line feed is dropped. Once a
// read has failed every later read fails too.
class TextCursor {
  public:
    TextCursor(const char *data, std::size_t size) : pos_(data), end_(data + size) {}

    bool failed() const { return failed_; }
    bool atEnd() const { return eof_ || failed_; }

    // The next character without consuming it; -1 at the end or after a failure.
    int peek() {
        if (failed_) {
            return -1;
        }
        if (pos_ == end_) {
            eof_ = true;
            return -1;
        }
        return translated();
    }

    // Reads one line into line (NUL-terminated, at most lineBufferSize - 1
    // characters). Of a longer line the first characters stand for the line
    // and the stream is left failed. A failed read leaves line empty.
    void readLine(char (&line)[lineBufferSize]) {
        int count = 0;
        line[0] = '\0';
        if (failed_) {
            return;
        }
        for (;;) {
            if (pos_ == end_) {
                eof_ = true;
                if (count == 0) {
                    failed_ = true;
                }
                break;
            }
            char c = translated();
            if (c == '\n') {
                advance();
                break;
            }
            if (count == lineBufferSize - 1) {
                failed_ = true;
                break;
            }
            line[count++] = c;
            advance();
        }
        line[count] = '\0';
    }

    const char *position() const { return pos_; }
    const char *end() const { return end_; }

  private:
    // The character at pos_, with "\r\n" seen as "\n".
    char translated() const {
        if (*pos_ == '\r' && pos_ + 1 != end_ && pos_[1] == '\n') {
            return '\n';
        }
        return *pos_;
    }
    void advance() {
        if (*pos_ == '\r' && pos_ + 1 != end_ && pos_[1] == '\n') {
            ++pos_;
        }
        ++pos_;
    }

    const char *pos_;
    const char *end_;
    bool eof_ = false;
    bool failed_ = false;
};

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

// One integer as scanf's "%i" converts it: leading white space skipped, an
// optional sign, then hexadecimal after 0x, octal after a leading 0, decimal
// otherwise. The result is the converted value reduced to 32 bits.
bool scanInteger(const char *&text, std::uint32_t &value) {
    const char *p = text;
    while (isSpace(static_cast<unsigned char>(*p))) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    unsigned base = 10;
    unsigned digit = 0;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
        isDigitInBase(static_cast<unsigned char>(p[2]), 16, digit)) {
        base = 16;
        p += 2;
    } else if (p[0] == '0') {
        base = 8;
    }
    if (!isDigitInBase(static_cast<unsigned char>(*p), base, digit)) {
        return false;
    }
    std::uint32_t result = 0;
    while (isDigitInBase(static_cast<unsigned char>(*p), base, digit)) {
        result = result * base + digit;
        ++p;
    }
    value = negative ? 0u - result : result;
    text = p;
    return true;
}

// The sample loop: decimal integers with an optional sign, separated by any
// white space. Stores the low 8 bits of each; stops at the first token that is
// not an integer in the signed 32-bit range. Returns the count stored.
std::size_t readSamples(const char *p, const char *end, std::uint8_t *out, std::size_t count) {
    std::size_t stored = 0;
    while (stored < count) {
        while (p != end && isSpace(static_cast<unsigned char>(*p))) {
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
        if (p == end || !isDigit(static_cast<unsigned char>(*p))) {
            break;
        }
        // Magnitudes are capped just above the int32 range so that the
        // range test below cannot be fooled by overflow.
        std::uint64_t magnitude = 0;
        do {
            magnitude = magnitude * 10 + static_cast<unsigned>(*p - '0');
            if (magnitude > 0x80000000u) {
                magnitude = 0x80000001u;
            }
            ++p;
        } while (p != end && isDigit(static_cast<unsigned char>(*p)));
        if (magnitude > (negative ? 0x80000000u : 0x7FFFFFFFu)) {
            break;
        }
        std::uint32_t value = static_cast<std::uint32_t>(magnitude);
        out[stored++] = static_cast<std::uint8_t>(negative ? 0u - value : value);
    }
    return stored;
}

} // namespace

bool parsePpmImage(const char *data, std::size_t size, PixelBuffer &pixels, std::uint32_t &width,
                   std::uint32_t &height) {
    TextCursor in(data, size);
    char line[lineBufferSize];

    // Lines before the magic line are skipped whatever they hold.
    for (;;) {
        int c = in.peek();
        if (c == 'P') {
            break;
        }
        if (c < 0) {
            return false;
        }
        in.readLine(line);
    }
    // The header lines are parsed from whatever the line buffer holds: an
    // over-long line still counts by its first characters, and only the
    // reads after it fail.
    in.readLine(line);
    if (line[0] == '\0' || line[1] != '3') {
        return false;
    }

    auto skipComments = [&] {
        while (!in.atEnd() && in.peek() == '#') {
            in.readLine(line);
        }
    };

    skipComments();
    in.readLine(line);
    const char *text = line;
    if (!scanInteger(text, width) || !scanInteger(text, height)) {
        return false;
    }

    skipComments();
    std::uint32_t maxval = 0;
    in.readLine(line);
    text = line;
    if (!scanInteger(text, maxval) || maxval != 255) {
        return false;
    }

    // Sizes the buffer cannot stand for: an empty image, or a sample count
    // that does not fit 32 bits.
    const std::uint64_t count = std::uint64_t{width} * height * 3;
    if (count == 0 || count > 0xFFFFFFFFu) {
        return false;
    }
    // Each sample takes at least one digit and all but the last a separator,
    // so a file too short for a huge header is refused before allocating.
    const char *samples = in.failed() ? in.end() : in.position();
    const std::uint64_t available = static_cast<std::uint64_t>(in.end() - samples);
    if (count > largeImageSampleCount && available < 2 * count - 1) {
        return false;
    }
    try {
        pixels.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc &) {
        return false;
    }
    if (in.failed()) {
        return false;
    }
    return readSamples(samples, in.end(), pixels.data(), pixels.size()) == pixels.size();
}

#ifdef _WIN32

bool loadPpmImage(const char *fileName, PixelBuffer &pixels, std::uint32_t &width,
                  std::uint32_t &height) {
    std::FILE *file = std::fopen(fileName, "rb");
    if (!file) {
        return false;
    }
    std::vector<char> contents;
    char chunk[1 << 16];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        contents.insert(contents.end(), chunk, chunk + got);
    }
    std::fclose(file);
    return parsePpmImage(contents.data(), contents.size(), pixels, width, height);
}

#else

bool loadPpmImage(const char *fileName, PixelBuffer &pixels, std::uint32_t &width,
                  std::uint32_t &height) {
    // Non-blocking open so that a FIFO without a writer cannot hang the
    // viewer; anything but a regular file is refused.
    int fd = ::open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    const std::size_t size = static_cast<std::size_t>(info.st_size);
    if (size == 0) {
        ::close(fd);
        return parsePpmImage("", 0, pixels, width, height);
    }
    void *mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (mapped == MAP_FAILED) {
        return false;
    }
    ::madvise(mapped, size, MADV_SEQUENTIAL);
    bool loaded = parsePpmImage(static_cast<const char *>(mapped), size, pixels, width, height);
    ::munmap(mapped, size);
    return loaded;
}

#endif
