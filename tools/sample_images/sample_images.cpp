// Writes four small sample images for the viewer: a fine pattern whose two
// subimages per mode differ visibly, so that the modes can be told apart.
//
//   moiravel-sample-images WIDTH HEIGHT DIR

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Rgb {
    int r, g, b;
};

// The picture of image index at (x, y): a striped band, a checkerboard and a
// slow gradient, each in the phase and tint of that image.
Rgb samplePixel(int index, int x, int y, int width, int height) {
    const int phase = index % 2;
    const int band = y * 4 / (height > 0 ? height : 1);
    const int ramp = width > 1 ? x * 255 / (width - 1) : 0;
    int level;
    switch (band) {
    case 0: // one-pixel vertical stripes
        level = ((x + phase) % 2) * 255;
        break;
    case 1: // one-pixel checkerboard
        level = ((x + y + phase) % 2) * 255;
        break;
    case 2: // diagonal lines
        level = ((x + y) % 4 < 2) == (phase == 0) ? 255 : 0;
        break;
    default: // gradient
        level = phase == 0 ? ramp : 255 - ramp;
        break;
    }
    switch (index) {
    case 0:
        return {level, level, level};
    case 1:
        return {level, level, 255 - level / 2};
    case 2:
        return {level, level / 2, level / 2};
    default:
        return {level / 2, level, level / 2};
    }
}

bool writeImage(const std::string &path, int index, int width, int height) {
    std::FILE *file = std::fopen(path.c_str(), "w");
    if (!file) {
        return false;
    }
    std::fprintf(file, "P3\n# Moiravel sample image %d\n%d %d\n255\n", index, width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb p = samplePixel(index, x, y, width, height);
            std::fprintf(file, "%d %d %d%c", p.r, p.g, p.b, (x % 5 == 4) ? '\n' : ' ');
        }
        std::fputc('\n', file);
    }
    return std::fclose(file) == 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s WIDTH HEIGHT DIR\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);
    if (width <= 0 || height <= 0 || width % 4 != 0) {
        std::fprintf(stderr, "%s: WIDTH must be a positive multiple of 4, HEIGHT positive\n",
                     argv[0]);
        return 2;
    }
    for (int index = 0; index < 4; ++index) {
        std::string path = std::string(argv[3]) + "/" + std::to_string(index) + "Image.ppm";
        if (!writeImage(path, index, width, height)) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], path.c_str());
            return 1;
        }
    }
    return 0;
}
