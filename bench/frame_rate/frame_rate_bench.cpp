// SPDX-License-Identifier: MIT
// Frame rate of the viewer against a bare textured-quad loop, both on one Xvfb screen of
// 1920x1080 in the same run, counted by a preloaded swap counter; also the time from the
// viewer's start to its first frame with four 1920x1080 images.
//   moiravel_frame_rate_bench [seconds to measure each, default 5]
#include "ppm_writer.h"
#include "temp_dir.h"
#include "viewer_run.h"
#include "x_client.h"
#include "x_server.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using namespace moiravel::xtest;

namespace {

constexpr int width = 1920;
constexpr int height = 1080;

long long nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

struct SwapLog {
    long long first = -1;
    std::vector<std::pair<long, long long>> marks;
    long total = -1;
};

SwapLog readSwapLog(const std::filesystem::path &file) {
    SwapLog log;
    std::ifstream in(file);
    std::string word;
    while (in >> word) {
        if (word == "first") {
            in >> log.first;
        } else if (word == "mark") {
            long count;
            long long ns;
            in >> count >> ns;
            log.marks.emplace_back(count, ns);
        } else if (word == "total") {
            long long ns;
            in >> log.total >> ns;
        }
    }
    return log;
}

struct Measurement {
    double framesPerSecond = 0;
    double secondsToFirstFrame = 0;
};

// Runs `argv` in `dir` with the swap counter preloaded; `prepare` sends the keys that put it
// in the measured state. Counts swaps between two marks `seconds` apart, then ends it with
// Escape.
Measurement measure(const std::string &binary, const std::filesystem::path &dir, XServer &server,
                    XClient &client, const std::string &keys, double seconds,
                    const std::vector<std::string> &args = {}) {
    const auto logFile = dir / "swaps.log";
    std::filesystem::remove(logFile);
    const long long started = nowNs();
    ViewerRun run(binary, dir, server.displayName(),
                  {{"LD_PRELOAD", MOIRAVEL_SWAP_COUNTER}, {"MOIRAVEL_SWAP_LOG", logFile.string()}},
                  args);
    // First frame: the counter writes its first line.
    for (int i = 0; i < 12000 && readSwapLog(logFile).first < 0; ++i) {
        if (!run.running()) {
            throw std::runtime_error(binary + " ended early:\n" + run.out() + run.err());
        }
        std::this_thread::sleep_for(5ms);
    }
    const SwapLog early = readSwapLog(logFile);
    if (early.first < 0) {
        throw std::runtime_error(binary + " drew no frame within a minute");
    }
    client.movePointer(width / 2, height / 2);
    for (char c : keys) {
        client.tapChar(c);
    }
    std::this_thread::sleep_for(1s); // warm-up
    run.process().signal(SIGUSR1);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    run.process().signal(SIGUSR1);
    client.tapChar(27);
    auto status = run.waitFor(30s);
    if (!status || !status->exited || status->code != 0) {
        throw std::runtime_error(binary + " did not end cleanly on Escape");
    }
    const SwapLog log = readSwapLog(logFile);
    if (log.marks.size() != 2) {
        throw std::runtime_error("swap counter wrote no marks for " + binary);
    }
    Measurement m;
    m.framesPerSecond = static_cast<double>(log.marks[1].first - log.marks[0].first) /
                        (static_cast<double>(log.marks[1].second - log.marks[0].second) * 1e-9);
    m.secondsToFirstFrame = static_cast<double>(log.first - started) * 1e-9;
    return m;
}

} // namespace

int main(int argc, char **argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    try {
        XServer server(XServerKind::Xvfb, width, height);
        XClient client(server.displayName());

        TempDir viewerDir("moiravel-bench");
        writeTextFile(viewerDir / "README.txt",
                      std::to_string(width) + " x " + std::to_string(height) + "\n");
        std::cout << "writing four " << width << "x" << height << " P3 images ..." << std::endl;
        for (int k = 0; k < 4; ++k) {
            Picture picture = Picture::generate(width, height, [k](int x, int y) {
                return Rgb{static_cast<std::uint8_t>(x * 3 + k * 50),
                           static_cast<std::uint8_t>(y * 5 + (x & 1) * 40),
                           static_cast<std::uint8_t>((x ^ y) + k * 20)};
            });
            writePlainPpm(viewerDir / (std::to_string(k) + "Image.ppm"), picture);
        }
        TempDir bareDir("moiravel-bench-bare");

        // Viewer: movement off and back at the corner, so the whole image stays on the
        // screen; swap interval to 0 ("v"), as the bare loop has it.
        Measurement viewer =
            measure(MOIRAVEL_DEMO_BINARY, viewerDir.path(), server, client, "m v", seconds);
        Measurement bare =
            measure(MOIRAVEL_BARE_QUAD_BINARY, bareDir.path(), server, client, "", seconds);
        // The viewer with its frame log, between two more runs without it (off, on, on, off),
        // so that a drift of the machine's speed weighs on both alike.
        const std::vector<std::string> logged = {"--frame-log", "frames.csv"};
        double withoutLog = viewer.framesPerSecond;
        double withLog = 0;
        for (int i = 0; i < 3; ++i) {
            const bool on = i < 2;
            const Measurement m = measure(MOIRAVEL_DEMO_BINARY, viewerDir.path(), server, client,
                                          "m v", seconds, on ? logged : std::vector<std::string>{});
            (on ? withLog : withoutLog) += m.framesPerSecond;
        }
        withLog /= 2;
        withoutLog /= 2;

        std::printf("screen %dx%d on Xvfb (Mesa software rendering), %.1f s measured each\n", width,
                    height, seconds);
        std::printf("bare textured quad: %8.1f frames/s\n", bare.framesPerSecond);
        std::printf("viewer:             %8.1f frames/s\n", viewer.framesPerSecond);
        std::printf("ratio viewer/bare:  %8.3f (goal >= 0.85)\n",
                    viewer.framesPerSecond / bare.framesPerSecond);
        std::printf("viewer with --frame-log: %8.1f frames/s, without: %8.1f frames/s\n", withLog,
                    withoutLog);
        std::printf("ratio log on/off:   %8.3f (goal >= 0.99)\n", withLog / withoutLog);
        std::printf("viewer start to first frame, four %dx%d images: %.2f s\n", width, height,
                    viewer.secondsToFirstFrame);
        std::printf("bare loop start to first frame (no image files): %.2f s\n",
                    bare.secondsToFirstFrame);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "frame-rate benchmark failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
