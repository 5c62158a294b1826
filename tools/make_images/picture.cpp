#include "picture.h"

#include "plain_ppm.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace moiravel::images {

namespace {

std::uint8_t toByte(float value) {
    const float rounded = std::round(value);
    return static_cast<std::uint8_t>(std::clamp(rounded, 0.0f, 255.0f));
}

std::string readWholeFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot open " + path);
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Parser for the PPM header and plain samples: whitespace and '#' comments between tokens.
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

    long number() {
        skipSpace();
        long value = 0;
        std::size_t digits = 0;
        while (pos_ < data_.size() && std::isdigit(static_cast<unsigned char>(data_[pos_]))) {
            value = value * 10 + (data_[pos_] - '0');
            if (value > 1'000'000'000L) {
                fail("number too large");
            }
            ++pos_;
            ++digits;
        }
        if (digits == 0) {
            fail("expected a number");
        }
        return value;
    }

    std::size_t position() const { return pos_; }
    void advance(std::size_t n) { pos_ += n; }

    [[noreturn]] void fail(const std::string &what) const {
        throw std::runtime_error(path_ + ": " + what);
    }

  private:
    const std::string &data_;
    const std::string &path_;
    std::size_t pos_ = 0;
};

Picture parsePpm(const std::string &data, const std::string &path) {
    PpmScanner scan(data, path);
    const bool plain = data[1] == '3';
    scan.advance(2);
    const long width = scan.number();
    const long height = scan.number();
    const long maxval = scan.number();
    if (width <= 0 || height <= 0 || width * height > 400'000'000L / 3) {
        scan.fail("unsupported picture size");
    }
    if (maxval <= 0 || maxval > 65535) {
        scan.fail("maxval must be 1..65535");
    }
    Picture picture(static_cast<int>(width), static_cast<int>(height));
    const float scale = 255.0f / static_cast<float>(maxval);
    const std::size_t count = picture.samples.size();
    if (plain) {
        for (std::size_t i = 0; i < count; ++i) {
            const long value = scan.number();
            if (value > maxval) {
                scan.fail("sample above maxval");
            }
            picture.samples[i] = static_cast<float>(value) * scale;
        }
        return picture;
    }
    // Raw samples follow exactly one whitespace character after the maxval.
    const std::size_t start = scan.position() + 1;
    const std::size_t bytesPerSample = maxval < 256 ? 1 : 2;
    if (data.size() < start + count * bytesPerSample) {
        scan.fail("file too short");
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
                   png_uint_32 *height, std::size_t *rowBytes) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_read_fn(png, reader, readFromMemory);
    png_read_info(png, info);
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

Picture parsePng(const std::string &data, const std::string &path) {
    PngErrorState errors;
    struct ReadStructs {
        png_structp png = nullptr;
        png_infop info = nullptr;
        ~ReadStructs() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
    } handles;
    handles.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &errors, pngFail, pngWarn);
    handles.info = handles.png ? png_create_info_struct(handles.png) : nullptr;
    if (!handles.info) {
        throw std::runtime_error("libpng initialisation failed");
    }
    png_structp png = handles.png;
    png_infop info = handles.info;
    PngMemoryReader reader{&data, 0};
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    std::size_t rowBytes = 0;
    if (!pngReadHeader(png, info, &reader, &width, &height, &rowBytes)) {
        throw std::runtime_error(path + ": " + errors.message);
    }
    if (rowBytes != static_cast<std::size_t>(width) * 3 ||
        static_cast<double>(width) * height > 400e6 / 3) {
        throw std::runtime_error(path + ": unsupported PNG layout or size");
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * height * 3);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) {
        rows[y] = bytes.data() + static_cast<std::size_t>(y) * width * 3;
    }
    if (!pngReadRows(png, rows.data())) {
        throw std::runtime_error(path + ": " + errors.message);
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

Picture readPicture(const std::string &path) {
    const std::string data = readWholeFile(path);
    static const unsigned char pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (data.size() >= 8 && std::equal(pngSignature, pngSignature + 8,
                                       reinterpret_cast<const unsigned char *>(data.data()))) {
        return parsePng(data, path);
    }
    if (data.size() >= 2 && data[0] == 'P' && (data[1] == '3' || data[1] == '6')) {
        return parsePpm(data, path);
    }
    throw std::runtime_error(path + ": not a PNG or a P3/P6 PPM file");
}

std::string formatPlainPpm(const Image8 &image) {
    return moiravel::formatPlainPpm(image.width, image.height, image.samples.data());
}

void writePlainPpm(const std::string &path, const Image8 &image) {
    std::string reason;
    if (!writePlainPpmFile(path, image.width, image.height, image.samples.data(), reason)) {
        throw std::runtime_error("cannot write " + path + ": " + reason);
    }
}

namespace {

bool pngWriteAll(png_structp png, png_infop info, std::FILE *file, const Image8 *image) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_init_io(png, file);
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

void writePng(const std::string &path, const Image8 &image) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) {
        throw std::runtime_error("cannot write " + path);
    }
    PngErrorState errors;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &errors, pngFail, pngWarn);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool written = info && pngWriteAll(png, info, file, &image);
    png_destroy_write_struct(&png, &info);
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        throw std::runtime_error("cannot write " + path + ": " + errors.message);
    }
}

} // namespace moiravel::images
