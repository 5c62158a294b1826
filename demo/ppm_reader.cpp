#include "ppm_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
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
        // As an unsigned byte, so that text bytes above 0x7F are not taken
        // for the end of the file.
        return static_cast<unsigned char>(translated());
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
        const char *start = pos_;
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
                overlongLine_ = start;
                break;
            }
            line[count++] = c;
            advance();
        }
        line[count] = '\0';
    }

    const char *position() const { return pos_; }
    const char *end() const { return end_; }
    // The start of the line that was too long for the line buffer, or null.
    const char *overlongLine() const { return overlongLine_; }

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
    const char *overlongLine_ = nullptr;
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

// Character classes for the sample loop.
enum : std::uint8_t { otherChar = 0, spaceChar = 1, digitChar = 2 };

constexpr auto characterClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) {
        classes[c] = spaceChar;
    }
    for (int c = '0'; c <= '9'; ++c) {
        classes[static_cast<std::size_t>(c)] = digitChar;
    }
    return classes;
}();

std::uint8_t classOf(char c) {
    return characterClasses[static_cast<unsigned char>(c)];
}

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

// The sample loop: decimal integers with an optional sign, separated by any
// white space. Stores the low 8 bits of each; stops at the first token that is
// not an integer in the signed 32-bit range. Returns the count stored and
// where it stopped: at the end, or at the digits (or other character) after
// the failed token's sign, if it has one.
struct SampleRun {
    std::size_t stored;
    const char *stop;
};
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

#ifdef _WIN32

namespace {

// The C library's number for a Windows error, so that the reason reads as on
// Linux ("No such file or directory", "Permission denied").
int errnoOf(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EIO;
    }
}

bool loadPpmFile(const char *fileName, PixelBuffer &pixels, std::uint32_t &width,
                 std::uint32_t &height, PpmLoadError &error) {
    auto systemFailure = [&](PpmFailure failure, DWORD code) {
        error.failure = failure;
        error.systemError = errnoOf(code);
        return false;
    };
    // Only a regular file on a disk is read: a device (NUL, a console, under
    // Wine a link to /dev/zero) or a pipe is refused before a byte is read. A
    // directory cannot be opened this way at all. Others may go on reading and
    // writing the file, as with fopen.
    HANDLE file =
        ::CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesA(fileName);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            error.failure = PpmFailure::notRegularFile;
            error.found = "a directory";
            return false;
        }
        return systemFailure(PpmFailure::cannotOpen, code);
    }
    BY_HANDLE_FILE_INFORMATION info;
    LARGE_INTEGER size;
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        ::CloseHandle(file);
        error.failure = PpmFailure::notRegularFile;
        error.found = "a device";
        return false;
    }
    if (!::GetFileInformationByHandle(file, &info) || !::GetFileSizeEx(file, &size) ||
        size.QuadPart < 0) {
        systemFailure(PpmFailure::cannotRead, ::GetLastError());
        ::CloseHandle(file);
        return false;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        ::CloseHandle(file);
        error.failure = PpmFailure::notRegularFile;
        error.found = "a directory";
        return false;
    }
    if (size.QuadPart == 0) {
        ::CloseHandle(file);
        return readPpm("", 0, pixels, width, height, error);
    }
    // The whole file is mapped at once; the reader's own checks then refuse
    // sizes that the rest of the file cannot hold before allocating.
    HANDLE mapping = ::CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr) {
        systemFailure(PpmFailure::cannotRead, ::GetLastError());
        ::CloseHandle(file);
        return false;
    }
    ::CloseHandle(file);
    const void *view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    if (view == nullptr) {
        systemFailure(PpmFailure::cannotRead, ::GetLastError());
        ::CloseHandle(mapping);
        return false;
    }
    ::CloseHandle(mapping);
    const bool loaded =
        readPpm(static_cast<const char *>(view), static_cast<std::size_t>(size.QuadPart), pixels,
                width, height, error);
    ::UnmapViewOfFile(view);
    return loaded;
}

} // namespace

#else

namespace {

const char *fileKind(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a directory";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    return "a socket";
}

bool loadPpmFile(const char *fileName, PixelBuffer &pixels, std::uint32_t &width,
                 std::uint32_t &height, PpmLoadError &error) {
    auto systemFailure = [&](PpmFailure failure) {
        error.failure = failure;
        error.systemError = errno;
        return false;
    };
    // Non-blocking open so that a FIFO without a writer cannot hang the
    // viewer; anything but a regular file is refused.
    int fd = ::open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return systemFailure(PpmFailure::cannotOpen);
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        systemFailure(PpmFailure::cannotRead);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        error.failure = PpmFailure::notRegularFile;
        error.found = fileKind(info.st_mode);
        return false;
    }
    const std::size_t size = static_cast<std::size_t>(info.st_size);
    if (size == 0) {
        ::close(fd);
        return readPpm("", 0, pixels, width, height, error);
    }
    // Files of ordinary size are read ahead in one go; huge ones page in as
    // the reader gets to them.
    const int populate = size <= (std::size_t{1} << 30) ? MAP_POPULATE : 0;
    void *mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | populate, fd, 0);
    if (mapped == MAP_FAILED) {
        systemFailure(PpmFailure::cannotRead);
        ::close(fd);
        return false;
    }
    ::close(fd);
    ::madvise(mapped, size, MADV_SEQUENTIAL);
    bool loaded = readPpm(static_cast<const char *>(mapped), size, pixels, width, height, error);
    ::munmap(mapped, size);
    return loaded;
}

} // namespace

#endif

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
