// SPDX-License-Identifier: MIT
#include "picture.h"

#include "plain_ppm.h"

#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

namespace moiravel::images {

namespace {

std::uint8_t toByte(float value) {
    const float rounded = std::round(value);
    return static_cast<std::uint8_t>(std::clamp(rounded, 0.0f, 255.0f));
}

[[noreturn]] void fail(const std::string &path, const std::string &reason) {
    throw std::runtime_error(path + ": " + reason);
}

// The start of a text for a message: printable ASCII kept, the rest as \xNN, at most 24 bytes.
std::string shown(const std::string &text) {
    std::string out;
    for (std::size_t i = 0; i < text.size() && i < 24; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", c);
            out += code;
        }
    }
    return text.size() > 24 ? out + "..." : out;
}

std::string readWholeFile(const std::string &path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        fail(path, std::string("cannot open: ") + std::strerror(errno));
    }
    if (S_ISDIR(status.st_mode)) {
        fail(path, "is a directory, not a picture");
    }
    if (!S_ISREG(status.st_mode)) {
        fail(path, "is not a regular file");
    }
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        fail(path, std::string("cannot open: ") + std::strerror(errno));
    }
    std::string data;
    char buffer[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        data.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) {
        fail(path, std::string("cannot read: ") + std::strerror(error));
    }
    return data;
}

// Parser for the PPM header and plain samples: whitespace and '#' comments between tokens.
// Failures name the line and what was expected there.
class PpmScanner {
  public:
    PpmScanner(const std::string &data, const std::string &path) : data_(data), path_(path) {}

    void skipSpace() {
        while (pos_ < data_.size()) {
            const char c = data_[pos_];
            if (c == '#') {
                while (pos_ < data_.size() && data_[pos_] != '\n') {
                    ++pos_;
                }
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++pos_;
            } else {
                return;
            }
        }
    }

    // A whole number from low to high; what names it in a failure ("the width").
    long number(const std::string &what, long low, long high) {
        skipSpace();
        const std::size_t start = pos_;
        long long value = 0; // wider than long on Windows, where long has 32 bits
        while (pos_ < data_.size() && std::isdigit(static_cast<unsigned char>(data_[pos_]))) {
            value = std::min(value * 10 + (data_[pos_] - '0'), 1'000'000'000'000LL);
            ++pos_;
        }
        if (pos_ == start) {
            if (pos_ >= data_.size()) {
                fail("expected " + what + ", found the end of the file");
            }
            std::size_t end = start;
            while (end < data_.size() && !std::isspace(static_cast<unsigned char>(data_[end]))) {
                ++end;
            }
            fail("expected " + what + ", found '" + shown(data_.substr(start, end - start)) + "'");
        }
        if (value < low || value > high) {
            pos_ = start;
            fail("expected " + what + " from " + std::to_string(low) + " to " +
                 std::to_string(high) + ", found " +
                 (value >= 1'000'000'000'000LL ? std::string("a longer number")
                                               : std::to_string(value)));
        }
        return static_cast<long>(value);
    }

    std::size_t position() const { return pos_; }
    int line() const {
        return 1 + static_cast<int>(std::count(
                       data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(pos_), '\n'));
    }

    [[noreturn]] void fail(const std::string &what) const {
        images::fail(path_, "line " + std::to_string(line()) + ": " + what);
    }

  private:
    const std::string &data_;
    const std::string &path_;
    std::size_t pos_ = 2; // after the magic number
};

Picture parsePpm(const std::string &data, const std::string &path) {
    PpmScanner scan(data, path);
    const bool plain = data[1] == '3';
    constexpr long largest = 100'000'000;
    const long width = scan.number("the width", 1, largest);
    const long height = scan.number("the height", 1, largest);
    if (width * height > 400'000'000L / 3) {
        scan.fail("the picture is " + std::to_string(width) + " x " + std::to_string(height) +
                  "; at most 133 million pixels are supported");
    }
    const long maxval = scan.number("the maxval", 1, 65535);
    Picture picture(static_cast<int>(width), static_cast<int>(height));
    const float scale = 255.0f / static_cast<float>(maxval);
    const std::size_t count = picture.samples.size();
    if (plain) {
        const std::string of = " of " + std::to_string(count);
        for (std::size_t i = 0; i < count; ++i) {
            const long value = scan.number("sample " + std::to_string(i + 1) + of, 0, maxval);
            picture.samples[i] = static_cast<float>(value) * scale;
        }
        return picture;
    }
    // Raw samples follow exactly one whitespace character after the maxval.
    const std::size_t start = scan.position() + 1;
    const std::size_t bytesPerSample = maxval < 256 ? 1 : 2;
    const std::size_t needed = count * bytesPerSample;
    const std::size_t have = data.size() > start ? data.size() - start : 0;
    if (have < needed) {
        scan.fail("expected " + std::to_string(needed) + " bytes of samples after the maxval, " +
                  "found " + std::to_string(have));
    }
    const auto *bytes = reinterpret_cast<const unsigned char *>(data.data() + start);
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned value =
            bytesPerSample == 1 ? bytes[i] : (bytes[2 * i] << 8) | bytes[2 * i + 1];
        picture.samples[i] = static_cast<float>(value) * scale;
    }
    return picture;
}

// libpng reports errors by longjmp; the functions that call into it keep only trivially
// destructible locals, and the message is kept here for the exception thrown afterwards.
struct PngErrorState {
    char message[200] = "";
};

void pngFail(png_structp png, png_const_charp message) {
    auto *state = static_cast<PngErrorState *>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message);
    png_longjmp(png, 1);
}

void pngWarn(png_structp, png_const_charp) {}

// libpng's and zlib's messages in the words of someone who does not know the format's inside.
std::string pngReason(const std::string &message) {
    const auto has = [&message](const char *part) {
        return message.find(part) != std::string::npos;
    };
    if (has("file too short")) {
        return "the file is cut short (truncated PNG)";
    }
    if (has("CRC")) {
        return "corrupt file: a chunk's checksum does not match its contents";
    }
    if (has("IHDR")) {
        return "invalid image header";
    }
    if (has("IDAT") || has("image data") || has("invalid") || has("incorrect") ||
        has("ecompress") || has("zlib") || has("stream")) {
        return "corrupt image data";
    }
    return "corrupt or unsupported PNG file";
}

struct PngMemoryReader {
    const std::string *data;
    std::size_t pos;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto *reader = static_cast<PngMemoryReader *>(png_get_io_ptr(png));
    if (reader->pos + length > reader->data->size()) {
        png_error(png, "file too short");
    }
    std::copy_n(reader->data->data() + reader->pos, length, out);
    reader->pos += length;
}

bool pngReadHeader(png_structp png, png_infop info, PngMemoryReader *reader, png_uint_32 *width,
                   png_uint_32 *height, std::size_t *rowBytes, bool *hadAlpha) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_read_fn(png, reader, readFromMemory);
    png_read_info(png, info);
    *hadAlpha = (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) != 0 ||
                png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    *width = png_get_image_width(png, info);
    *height = png_get_image_height(png, info);
    *rowBytes = png_get_rowbytes(png, info);
    return true;
}

bool pngReadRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_image(png, rows);
    return true;
}

bool pngReadEnd(png_structp png) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_end(png, nullptr);
    return true;
}

Picture parsePng(const std::string &data, const std::string &path,
                 std::vector<std::string> *notes) {
    PngErrorState errors;
    struct ReadStructs {
        png_structp png = nullptr;
        png_infop info = nullptr;
        ~ReadStructs() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
    } handles;
    handles.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &errors, pngFail, pngWarn);
    handles.info = handles.png ? png_create_info_struct(handles.png) : nullptr;
    if (!handles.info) {
        throw std::bad_alloc();
    }
    png_structp png = handles.png;
    png_infop info = handles.info;
    PngMemoryReader reader{&data, 0};
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    std::size_t rowBytes = 0;
    bool hadAlpha = false;
    if (!pngReadHeader(png, info, &reader, &width, &height, &rowBytes, &hadAlpha)) {
        fail(path, pngReason(errors.message));
    }
    if (rowBytes != static_cast<std::size_t>(width) * 3 ||
        static_cast<double>(width) * height > 400e6 / 3) {
        fail(path, "the picture is " + std::to_string(width) + " x " + std::to_string(height) +
                       "; at most 133 million pixels are supported");
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * height * 3);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) {
        rows[y] = bytes.data() + static_cast<std::size_t>(y) * width * 3;
    }
    if (!pngReadRows(png, rows.data())) {
        fail(path, pngReason(errors.message));
    }
    if (notes != nullptr) {
        if (!pngReadEnd(png)) {
            notes->push_back("warning: the file has no end chunk; it may be cut short");
        }
        if (hadAlpha) {
            notes->push_back("note: the alpha channel is dropped; the picture is used as if "
                             "it were opaque");
        }
    }
    Picture picture(static_cast<int>(width), static_cast<int>(height));
    std::copy(bytes.begin(), bytes.end(), picture.samples.begin());
    return picture;
}

} // namespace

Image8 toImage8(const Picture &picture) {
    Image8 image{picture.width, picture.height, {}};
    image.samples.resize(picture.samples.size());
    std::transform(picture.samples.begin(), picture.samples.end(), image.samples.begin(), toByte);
    return image;
}

Picture toPicture(const Image8 &image) {
    Picture picture(image.width, image.height);
    std::copy(image.samples.begin(), image.samples.end(), picture.samples.begin());
    return picture;
}

Picture crop(const Picture &picture, int x, int y, int width, int height) {
    Picture out(width, height);
    for (int row = 0; row < height; ++row) {
        const float *from = picture.pixel(x, y + row);
        std::copy(from, from + static_cast<std::size_t>(width) * 3, out.pixel(0, row));
    }
    return out;
}

Picture readPicture(const std::string &path, std::vector<std::string> *notes) {
    const std::string data = readWholeFile(path);
    static const unsigned char pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (data.size() >= 8 && std::equal(pngSignature, pngSignature + 8,
                                       reinterpret_cast<const unsigned char *>(data.data()))) {
        return parsePng(data, path, notes);
    }
    if (data.size() >= 2 && data[0] == 'P' && (data[1] == '3' || data[1] == '6')) {
        return parsePpm(data, path);
    }
    if (data.empty()) {
        fail(path, "the file is empty");
    }
    fail(path, "not a PNG or a P3/P6 PPM picture: it starts with \"" + shown(data) + "\"");
}

std::string formatPlainPpm(const Image8 &image) {
    return moiravel::formatPlainPpm(image.width, image.height, image.samples.data());
}

void writePlainPpm(const std::string &path, const Image8 &image) {
    std::string reason;
    if (!writePlainPpmFile(path, image.width, image.height, image.samples.data(), reason)) {
        fail(path, "cannot write: " + reason);
    }
}

namespace {

// No exception may cross libpng's C frames: a failure to grow the text becomes libpng's error.
void appendToString(png_structp png, png_bytep data, png_size_t length) {
    bool appended = true;
    try {
        static_cast<std::string *>(png_get_io_ptr(png))
            ->append(reinterpret_cast<const char *>(data), length);
    } catch (const std::bad_alloc &) {
        appended = false;
    }
    if (!appended) {
        png_error(png, "out of memory");
    }
}

void flushNothing(png_structp) {}

bool pngWriteAll(png_structp png, png_infop info, std::string *bytes, const Image8 *image) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_write_fn(png, bytes, appendToString, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image->width),
                 static_cast<png_uint_32>(image->height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image->height; ++y) {
        png_write_row(png, image->samples.data() + static_cast<std::size_t>(y) * image->width * 3);
    }
    png_write_end(png, info);
    return true;
}

} // namespace

bool encodePng(const Image8 &image, std::string &bytes) {
    bytes.clear();
    PngErrorState errors;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &errors, pngFail, pngWarn);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool written = info && pngWriteAll(png, info, &bytes, &image);
    png_destroy_write_struct(&png, &info);
    return written;
}

void writePng(const std::string &path, const Image8 &image) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) {
        fail(path, std::string("cannot write: ") + std::strerror(errno));
    }
    std::string bytes;
    const bool written =
        encodePng(image, bytes) && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        fail(path, "cannot write the PNG file");
    }
}

} // namespace moiravel::images
