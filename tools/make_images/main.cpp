// moiravel-make-images: makes the four image files and README.txt for moiravel-demo.
#include "make_images.h"
#include "parallel.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace images = moiravel::images;

#ifndef MOIRAVEL_VERSION
#define MOIRAVEL_VERSION "(unknown version)"
#endif

namespace {

constexpr const char *usage =
    "usage: moiravel-make-images [INPUT] [--out DIR] [--factor K] [--screen WxH]\n"
    "                            [--preview FILE.png] [--zoom Z] [--iterations N]\n"
    "                            [--tolerance T] [--flicker W] [--threads N]\n"
    "\n"
    "Makes 0Image.ppm .. 3Image.ppm for moiravel-demo from INPUT, a PPM (P3 or P6) or PNG\n"
    "picture at K times the display resolution in each direction. Without INPUT it renders\n"
    "a built-in test picture of K times the --screen size (default 1920x1080).\n"
    "\n"
    "  --out DIR         directory for the files (default: the current directory)\n"
    "  --factor K        picture pixels per display pixel along each axis (default 2)\n"
    "  --screen WxH      display resolution; also writes README.txt with it\n"
    "  --preview FILE    writes a PNG with the picture and what the eye sees in each mode\n"
    "  --zoom Z          magnification of the preview (default 2)\n"
    "  --iterations N    iteration limit of the fit (default 400)\n"
    "  --tolerance T     the fit stops when an iteration changes the subimages by less than\n"
    "                    T (RMS, 0..255 scale; default 0.01)\n"
    "  --flicker W       weight of the penalty on differences between the two fitted\n"
    "                    subimages, relative to a display pixel's error (default 0.05)\n"
    "  --threads N       worker threads (default: one per processor)\n"
    "  --help, --version this text; the version\n";

struct Arguments {
    std::string input;
    std::string out = ".";
    int factor = 2;
    std::optional<std::pair<int, int>> screen;
    std::string preview;
    int zoom = 2;
    images::FitOptions fit;
    unsigned threads = 0;
};

[[noreturn]] void fail(const std::string &message) {
    std::fprintf(stderr, "moiravel-make-images: %s\n", message.c_str());
    std::exit(2);
}

long parseInteger(const std::string &text, const std::string &option, long low, long high) {
    try {
        std::size_t used = 0;
        const long value = std::stol(text, &used);
        if (used == text.size() && value >= low && value <= high) {
            return value;
        }
    } catch (const std::exception &) {
    }
    fail(option + " needs a whole number from " + std::to_string(low) + " to " +
         std::to_string(high) + ", not '" + text + "'");
}

Arguments parseArguments(int argc, char **argv) {
    Arguments args;
    std::vector<std::string> words(argv + 1, argv + argc);
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string word = words[i];
        std::string value;
        bool hasValue = false;
        if (word.rfind("--", 0) == 0 && word.find('=') != std::string::npos) {
            value = word.substr(word.find('=') + 1);
            word = word.substr(0, word.find('='));
            hasValue = true;
        }
        const auto next = [&]() -> std::string {
            if (hasValue) {
                return value;
            }
            if (i + 1 >= words.size()) {
                fail(word + " needs a value");
            }
            return words[++i];
        };
        if (word == "-h" || word == "--help") {
            std::fputs(usage, stdout);
            std::exit(0);
        } else if (word == "--version") {
            std::printf("moiravel-make-images %s\n", MOIRAVEL_VERSION);
            std::exit(0);
        } else if (word == "--out") {
            args.out = next();
        } else if (word == "--factor") {
            args.factor = static_cast<int>(parseInteger(next(), word, 1, 16));
        } else if (word == "--screen") {
            const std::string size = next();
            const auto x = size.find_first_of("xX");
            if (x == std::string::npos) {
                fail("--screen needs WIDTHxHEIGHT, not '" + size + "'");
            }
            args.screen = {static_cast<int>(parseInteger(size.substr(0, x), word, 4, 100000)),
                           static_cast<int>(parseInteger(size.substr(x + 1), word, 1, 100000))};
        } else if (word == "--preview") {
            args.preview = next();
        } else if (word == "--zoom") {
            args.zoom = static_cast<int>(parseInteger(next(), word, 1, 16));
        } else if (word == "--iterations") {
            args.fit.maxIterations = static_cast<int>(parseInteger(next(), word, 0, 1000000));
        } else if (word == "--tolerance") {
            const std::string text = next();
            char *end = nullptr;
            args.fit.tolerance = std::strtod(text.c_str(), &end);
            if (end == text.c_str() || *end != '\0' || !(args.fit.tolerance >= 0)) {
                fail("--tolerance needs a number of 0 or more, not '" + text + "'");
            }
        } else if (word == "--threads") {
            args.threads = static_cast<unsigned>(parseInteger(next(), word, 1, 256));
        } else if (word == "--flicker") {
            const std::string text = next();
            char *end = nullptr;
            args.fit.flickerWeight = std::strtod(text.c_str(), &end);
            if (end == text.c_str() || *end != '\0' || !(args.fit.flickerWeight >= 0)) {
                fail("--flicker needs a number of 0 or more, not '" + text + "'");
            }
        } else if (word.size() > 1 && word[0] == '-') {
            fail("unknown option " + word + "\n" + usage);
        } else if (args.input.empty()) {
            args.input = word;
        } else {
            fail("more than one INPUT given\n" + std::string(usage));
        }
    }
    return args;
}

class ProgressBar {
  public:
    void update(const images::FitProgress &progress) {
        const int total = std::max(1, progress.maxIterations);
        const int percent = progress.iteration * 100 / total;
        if (percent == lastPercent_ && progress.iteration % 10 != 0) {
            return;
        }
        lastPercent_ = percent;
        draw(percent, progress);
    }
    void finish(const images::FitProgress &last) { draw(100, last), std::fputc('\n', stderr); }

  private:
    static void draw(int percent, const images::FitProgress &progress) {
        constexpr int width = 30;
        const int filled = percent * width / 100;
        std::fprintf(stderr, "\rfitting [%s%s] %3d%%  iteration %d  rms %.3f  step %.4f ",
                     std::string(filled, '#').c_str(), std::string(width - filled, '.').c_str(),
                     percent, progress.iteration, progress.rms, progress.step);
        std::fflush(stderr);
    }
    int lastPercent_ = -1;
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int run(const Arguments &args) {
    const auto start = std::chrono::steady_clock::now();
    images::setThreadCount(args.threads);
    const int k = args.factor;

    images::Picture picture;
    images::Region highlight;
    std::string source;
    if (args.input.empty()) {
        const auto [w, h] = args.screen.value_or(std::pair{1920, 1080});
        images::TestPattern pattern = images::makeTestPattern(w * k, h * k, k);
        picture = std::move(pattern.picture);
        highlight = pattern.highlight;
        source = "the built-in test picture";
    } else {
        picture = images::readPicture(args.input);
        source = std::filesystem::path(args.input).filename().string();
    }
    if (args.screen &&
        (picture.width != args.screen->first * k || picture.height != args.screen->second * k)) {
        std::fprintf(stderr,
                     "moiravel-make-images: note: the picture is %dx%d, not %dx%d (factor %d "
                     "times the screen); the images will not fill the display exactly\n",
                     picture.width, picture.height, args.screen->first * k, args.screen->second * k,
                     k);
    }
    std::vector<std::string> notes;
    picture = images::cropToDisplayGrid(picture, k, notes);
    for (const std::string &note : notes) {
        std::fprintf(stderr, "moiravel-make-images: %s\n", note.c_str());
    }
    if (highlight.width == 0) {
        highlight.width = std::min(picture.width, 200 * k);
        highlight.height = std::min(picture.height, 150 * k);
        highlight.x = (picture.width - highlight.width) / 2;
        highlight.y = (picture.height - highlight.height) / 2;
    }
    highlight.width = std::min(highlight.width, picture.width - highlight.x);
    highlight.height = std::min(highlight.height, picture.height - highlight.y);
    const double preparedAt = secondsSince(start);

    const images::EyeModel model(picture.width / k, picture.height / k, k);
    std::printf("picture %dx%d from %s, factor %d: images of %dx%d\n", picture.width,
                picture.height, source.c_str(), k, model.displayWidth(), model.displayHeight());
    std::fflush(stdout);

    ProgressBar bar;
    images::FitProgress lastProgress;
    images::FitOptions fitOptions = args.fit;
    fitOptions.progress = [&](const images::FitProgress &progress) {
        lastProgress = progress;
        bar.update(progress);
    };
    const auto fitStart = std::chrono::steady_clock::now();
    const images::ImageSet set = images::makeImageSet(model, picture, fitOptions);
    bar.finish(lastProgress);
    const double fitSeconds = secondsSince(fitStart);
    std::printf("fit: %d iterations, %s\n", set.fitIterations,
                set.fitConverged ? "converged to the tolerance" : "stopped at the iteration limit");

    const auto writeStart = std::chrono::steady_clock::now();
    images::writeImageSet(args.out, set);
    const std::array<double, images::modeCount> errors = images::modeErrors(model, set, picture);
    if (args.screen) {
        const auto path = std::filesystem::path(args.out) / "README.txt";
        std::ofstream readme(path);
        readme << images::readmeText(args.screen->first, args.screen->second, k, source, errors);
        if (!readme.flush()) {
            throw std::runtime_error("cannot write " + path.string());
        }
    }
    if (!args.preview.empty()) {
        const auto parent = std::filesystem::path(args.preview).parent_path();
        if (!parent.empty()) {
            std::filesystem::create_directories(parent);
        }
        images::writePng(args.preview,
                         images::makePreview(model, set, picture, highlight, args.zoom, errors));
        std::printf("preview written to %s\n", args.preview.c_str());
    }
    const double writeSeconds = secondsSince(writeStart);

    std::printf("RMS error of what the eye sees against the picture (0..255 scale):\n");
    for (int mode = 0; mode < images::modeCount; ++mode) {
        std::printf("  mode %d  %7.3f  %s\n", mode, errors[mode], images::modeNames[mode]);
    }
    std::printf("wrote 0Image.ppm .. 3Image.ppm%s to %s in %.1f s (picture %.1f s, filters and "
                "fit %.1f s, files %.1f s; %u threads)\n",
                args.screen ? " and README.txt" : "", args.out.c_str(), secondsSince(start),
                preparedAt, fitSeconds, writeSeconds, images::threadCount());
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    const Arguments args = parseArguments(argc, argv);
    try {
        return run(args);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "moiravel-make-images: %s\n", error.what());
        return 1;
    }
}
