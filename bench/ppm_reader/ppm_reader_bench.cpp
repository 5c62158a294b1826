// SPDX-License-Identifier: MIT
// Loading a 1920x1080 plain PPM file: loadPpmImage against netpbm's ppmtoppm
// and against cat, timed in the same run. Prints the median time of each and
// the ratios.

#include "ppm_reader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double medianSeconds(int runs, const std::function<bool()> &work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        if (!work()) {
            return -1.0;
        }
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void writeTestImage(const std::string &path, int width, int height) {
    std::FILE *file = std::fopen(path.c_str(), "w");
    std::fprintf(file, "P3\n%d %d\n255\n", width, height);
    unsigned seed = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width * 3; ++x) {
            seed = seed * 1103515245u + 12345u;
            std::fprintf(file, "%u%c", (seed >> 16) & 255u, (x % 15 == 14) ? '\n' : ' ');
        }
        std::fputc('\n', file);
    }
    std::fclose(file);
}

} // namespace

int main() {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("moiravel-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "image.ppm").string();
    writeTestImage(path, 1920, 1080);
    std::printf("file: 1920x1080 plain PPM, %.1f MB\n",
                static_cast<double>(std::filesystem::file_size(path)) / 1e6);

    const int runs = 7;
    PixelBuffer pixels;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    const double reader = medianSeconds(runs, [&] {
        return loadPpmImage(path.c_str(), pixels, width, height) && width == 1920;
    });
    const std::string cat = "cat '" + path + "' > /dev/null";
    const double catTime = medianSeconds(runs, [&] { return std::system(cat.c_str()) == 0; });
    const std::string netpbm = "ppmtoppm < '" + path + "' > /dev/null 2>&1";
    const bool haveNetpbm = std::system("command -v ppmtoppm > /dev/null") == 0;
    const double netpbmTime =
        haveNetpbm ? medianSeconds(runs, [&] { return std::system(netpbm.c_str()) == 0; }) : -1.0;
    std::filesystem::remove_all(dir);

    if (reader < 0) {
        std::printf("loadPpmImage failed\n");
        return 1;
    }
    std::printf("loadPpmImage      %8.1f ms\n", reader * 1e3);
    std::printf("cat > /dev/null   %8.1f ms\n", catTime * 1e3);
    if (netpbmTime > 0) {
        std::printf("ppmtoppm          %8.1f ms\n", netpbmTime * 1e3);
        std::printf("ratio loadPpmImage / ppmtoppm: %.3f (goal: at most 0.2)\n",
                    reader / netpbmTime);
    } else {
        std::printf("ppmtoppm not installed (Debian package netpbm): no ratio\n");
    }
    std::printf("ratio loadPpmImage / cat:      %.3f\n", reader / catTime);
    return 0;
}
