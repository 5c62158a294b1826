// moiravel-make-images: makes the four image files and README.txt for moiravel-demo.
#include "make_images.h"
#include "parallel.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#ifndef MOIRAVEL_VERSION
#define MOIRAVEL_VERSION "unknown version"
#endif

namespace images = moiravel::images;

namespace {

constexpr const char *program = "moiravel-make-images";

constexpr const char *synopsis =
    "usage: moiravel-make-images [INPUT] [--out DIR] [--factor K] [--screen WxH]\n"
    "                            [--display hold|flash] [--transfer srgb|gamma:G|code]\n"
    "                            [--preview FILE.png] [--zoom Z] [--iterations N]\n"
    "                            [--tolerance T] [--flicker W] [--threads N]\n"
    "                            [--help] [--version]\n";

constexpr const char *details =
    "\n"
    "Makes 0Image.ppm .. 3Image.ppm for moiravel-demo from INPUT, a PPM (P3 or P6) or PNG\n"
    "picture at K times the display resolution in each direction. Without INPUT it renders\n"
    "a built-in test picture of K times the --screen size (default 1920x1080).\n"
    "\n"
    "  --out DIR         directory for the files (default: the current directory)\n"
    "  --factor K        picture pixels per display pixel along each axis (default 2)\n"
    "  --screen WxH      display resolution; also writes README.txt with it\n"
    "  --display MODEL   hold (default): each frame stands for the whole refresh while the\n"
    "                    eye moves on; flash: each frame lights up for an instant\n"
    "  --transfer CURVE  the display's transfer curve: srgb (default), gamma:G (a power\n"
    "                    law), or code (average code values instead of light)\n"
    "  --preview FILE    writes a PNG with the picture and what the eye sees in each mode,\n"
    "                    one row per display model\n"
    "  --zoom Z          magnification of the preview (default 2)\n"
    "  --iterations N    iteration limit of the fit (default 400)\n"
    "  --tolerance T     the fit stops when an iteration changes the subimages by less than\n"
    "                    T (RMS, 0..255 scale of light; default 0.01)\n"
    "  --flicker W       weight of the penalty on differences between the two fitted\n"
    "                    subimages, relative to a display pixel's error (default 0.05)\n"
    "  --threads N       worker threads (default: one per processor)\n"
    "  --help            this text\n"
    "  --version         the version\n"
    "\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 a usage error.\n";

struct Arguments {
    std::string input;
    std::string out = ".";
    int factor = 2;
    std::optional<std::pair<int, int>> screen;
    std::string preview;
    int zoom = 2;
    images::DisplayModel display = images::DisplayModel::hold;
    images::Transfer transfer;
    images::FitOptions fit;
    unsigned threads = 0;
};

// ---- Reading the command line -------------------------------------------------------------

// An option's value read into the arguments; an empty result, or the reason it is refused.
using Reason = std::optional<std::string>;

Reason readInteger(const std::string &text, long low, long high, int &out) {
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < low || value > high) {
        return "needs a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
               ", not '" + text + "'";
    }
    out = static_cast<int>(value);
    return std::nullopt;
}

Reason readNonNegative(const std::string &text, double &out) {
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value >= 0)) {
        return "needs a number of 0 or more, not '" + text + "'";
    }
    out = value;
    return std::nullopt;
}

Reason readScreen(const std::string &text, Arguments &args) {
    const auto x = text.find_first_of("xX");
    int width = 0;
    int height = 0;
    if (x == std::string::npos || readInteger(text.substr(0, x), 4, 100000, width) ||
        readInteger(text.substr(x + 1), 1, 100000, height)) {
        return "needs WIDTHxHEIGHT (width 4 to 100000, height 1 to 100000), not '" + text + "'";
    }
    args.screen = {width, height};
    return std::nullopt;
}

struct OptionRule {
    const char *name;
    Reason (*read)(const std::string &value, Arguments &args);
};

const OptionRule optionRules[] = {
    {"--out",
     [](const std::string &v, Arguments &a) -> Reason {
         a.out = v;
         return v.empty() ? Reason("needs a directory") : std::nullopt;
     }},
    {"--factor",
     [](const std::string &v, Arguments &a) { return readInteger(v, 1, 16, a.factor); }},
    {"--screen", readScreen},
    {"--display",
     [](const std::string &v, Arguments &a) -> Reason {
         for (const images::DisplayModel model : images::displayModels) {
             if (v == images::displayModelName(model)) {
                 a.display = model;
                 return std::nullopt;
             }
         }
         return "needs hold or flash, not '" + v + "'";
     }},
    {"--transfer",
     [](const std::string &v, Arguments &a) -> Reason {
         const auto transfer = images::parseTransfer(v);
         if (!transfer) {
             return "needs srgb, code or gamma:G with G from 0.1 to 10, not '" + v + "'";
         }
         a.transfer = *transfer;
         return std::nullopt;
     }},
    {"--preview",
     [](const std::string &v, Arguments &a) -> Reason {
         a.preview = v;
         return v.empty() ? Reason("needs a file name") : std::nullopt;
     }},
    {"--zoom", [](const std::string &v, Arguments &a) { return readInteger(v, 1, 16, a.zoom); }},
    {"--iterations", [](const std::string &v,
                        Arguments &a) { return readInteger(v, 0, 1000000, a.fit.maxIterations); }},
    {"--tolerance",
     [](const std::string &v, Arguments &a) { return readNonNegative(v, a.fit.tolerance); }},
    {"--flicker",
     [](const std::string &v, Arguments &a) { return readNonNegative(v, a.fit.flickerWeight); }},
    {"--threads",
     [](const std::string &v, Arguments &a) -> Reason {
         int threads = 0;
         Reason reason = readInteger(v, 1, 256, threads);
         a.threads = static_cast<unsigned>(threads);
         return reason;
     }},
};

struct CommandLine {
    enum class Action { run, help, version, usageError };
    Action action = Action::run;
    Arguments args;
    std::string error; // for usageError
};

CommandLine parseArguments(int argc, char **argv) {
    CommandLine line;
    const std::vector<std::string> words(argv + 1, argv + argc);
    const auto refuse = [&line](const std::string &error) {
        line.action = CommandLine::Action::usageError;
        line.error = error;
        return line;
    };
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string word = words[i];
        if (word == "-h" || word == "--help") {
            line.action = CommandLine::Action::help;
            return line;
        }
        if (word == "--version") {
            line.action = CommandLine::Action::version;
            return line;
        }
        if (word.size() < 2 || word[0] != '-') {
            if (!line.args.input.empty()) {
                return refuse("more than one INPUT given ('" + line.args.input + "' and '" + word +
                              "')");
            }
            line.args.input = word;
            continue;
        }
        std::optional<std::string> value;
        if (const auto equals = word.find('='); word.rfind("--", 0) == 0 && equals != word.npos) {
            value = word.substr(equals + 1);
            word.resize(equals);
        }
        const OptionRule *rule = nullptr;
        for (const OptionRule &candidate : optionRules) {
            if (word == candidate.name) {
                rule = &candidate;
            }
        }
        if (rule == nullptr) {
            return refuse("unknown option " + word);
        }
        if (!value) {
            if (i + 1 >= words.size()) {
                return refuse(word + " needs a value");
            }
            value = words[++i];
        }
        if (const Reason reason = rule->read(*value, line.args)) {
            return refuse(word + " " + *reason);
        }
    }
    return line;
}

// ---- Failing in plain words ---------------------------------------------------------------

// One line on standard error: "moiravel-make-images: FILE: reason".
void report(const std::string &message) {
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
}

// The output directory made, and shown to take files, before any work starts.
Reason prepareDirectory(const std::string &directory) {
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) {
        return directory + ": cannot create the directory: " + error.message();
    }
    if (!std::filesystem::is_directory(directory, error)) {
        return directory + ": is not a directory";
    }
    // Writing a file is the only test that also holds for root and read-only mounts.
    const std::string probe =
        (std::filesystem::path(directory) / (".moiravel-write-test-" + std::to_string(getpid())))
            .string();
    std::FILE *file = std::fopen(probe.c_str(), "wb");
    if (file == nullptr) {
        return directory + ": cannot write files there: " + std::strerror(errno);
    }
    std::fclose(file);
    std::remove(probe.c_str());
    return std::nullopt;
}

Reason prepareOutputs(const Arguments &args) {
    if (Reason reason = prepareDirectory(args.out)) {
        return reason;
    }
    const auto parent = std::filesystem::path(args.preview).parent_path();
    if (!args.preview.empty() && !parent.empty()) {
        return prepareDirectory(parent.string());
    }
    return std::nullopt;
}

// ---- The work -----------------------------------------------------------------------------

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

struct Source {
    images::Picture picture; // cropped to whole display pixels
    images::Region highlight;
    std::string name;
};

// The picture to work from, from INPUT or drawn, with its notes on standard error.
Source loadSource(const Arguments &args) {
    const int k = args.factor;
    Source source;
    std::vector<std::string> notes;
    if (args.input.empty()) {
        const auto [w, h] = args.screen.value_or(std::pair{1920, 1080});
        images::TestPattern pattern = images::makeTestPattern(w * k, h * k, k);
        source.picture = std::move(pattern.picture);
        source.highlight = pattern.highlight;
        source.name = "the built-in test picture";
    } else {
        source.picture = images::readPicture(args.input, &notes);
        source.name = std::filesystem::path(args.input).filename().string();
    }
    const images::Picture &picture = source.picture;
    if (args.screen &&
        (picture.width != args.screen->first * k || picture.height != args.screen->second * k)) {
        notes.push_back("note: the picture is " + std::to_string(picture.width) + "x" +
                        std::to_string(picture.height) + ", not " +
                        std::to_string(args.screen->first * k) + "x" +
                        std::to_string(args.screen->second * k) + " (factor " + std::to_string(k) +
                        " times the screen); the images will not fill the display exactly");
    }
    try {
        source.picture = images::cropToDisplayGrid(source.picture, k, notes);
    } catch (const std::runtime_error &error) {
        throw std::runtime_error((args.input.empty() ? source.name : args.input) + ": " +
                                 error.what());
    }
    for (const std::string &note : notes) {
        report(args.input.empty() ? note : args.input + ": " + note);
    }
    images::Region &region = source.highlight;
    if (region.width == 0) {
        region.width = std::min(source.picture.width, 200 * k);
        region.height = std::min(source.picture.height, 150 * k);
        region.x = (source.picture.width - region.width) / 2;
        region.y = (source.picture.height - region.height) / 2;
    }
    region.width = std::min(region.width, source.picture.width - region.x);
    region.height = std::min(region.height, source.picture.height - region.y);
    return source;
}

images::ImageSet fitImages(const Arguments &args, const images::EyeModel &model,
                           const images::Picture &picture) {
    ProgressBar bar;
    images::FitProgress lastProgress;
    images::FitOptions fitOptions = args.fit;
    fitOptions.progress = [&](const images::FitProgress &progress) {
        lastProgress = progress;
        bar.update(progress);
    };
    images::ImageSet set = images::makeImageSet(model, picture, fitOptions, args.transfer);
    bar.finish(lastProgress);
    std::printf("fit: %d iterations, %s\n", set.fitIterations,
                set.fitConverged ? "converged to the tolerance" : "stopped at the iteration limit");
    return set;
}

std::string modelText(const Arguments &args) {
    return std::string("display ") + images::displayModelName(args.display) + ", transfer " +
           images::transferName(args.transfer);
}

void writeOutputs(const Arguments &args, const Source &source, const images::EyeModel &model,
                  const images::ImageSet &set, const images::Figures &figures) {
    images::writeImageSet(args.out, set);
    if (args.screen) {
        const auto path = (std::filesystem::path(args.out) / "README.txt").string();
        const std::string text =
            images::readmeText({args.screen->first, args.screen->second, args.factor, source.name,
                                modelText(args), figures});
        std::FILE *file = std::fopen(path.c_str(), "wb");
        const bool written =
            file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
        const int error = errno;
        if (file == nullptr || std::fclose(file) != 0 || !written) {
            throw std::runtime_error(path + ": cannot write: " + std::strerror(error));
        }
    }
    if (!args.preview.empty()) {
        // The chosen model's row first, then the other's.
        std::vector<images::EyeModel> others;
        for (const images::DisplayModel display : images::displayModels) {
            if (display != model.display()) {
                others.emplace_back(model.displayWidth(), model.displayHeight(), model.factor(),
                                    display);
            }
        }
        std::vector<images::PreviewRow> rows = {{&model, figures}};
        for (const images::EyeModel &other : others) {
            rows.push_back(
                {&other, images::modeFigures(other, set, source.picture, args.transfer)});
        }
        images::writePng(args.preview,
                         images::makePreview(rows, set, source.picture, source.highlight, args.zoom,
                                             args.transfer));
        std::printf("preview written to %s\n", args.preview.c_str());
    }
}

void printFigures(const images::Figures &figures) {
    std::printf("What the eye sees against the picture: RMS error in code values (0..255) and\n"
                "flicker (mean difference in light between the two subimages, %% of white):\n");
    for (int mode = 0; mode < moiravel::modeCount; ++mode) {
        std::printf("  mode %d  %7.3f  %5.2f %%  %s\n", mode, figures[mode].rms,
                    100.0 * figures[mode].flicker, moiravel::modeNames[mode]);
    }
}

int run(const Arguments &args) {
    const auto start = std::chrono::steady_clock::now();
    images::setThreadCount(args.threads);
    if (const Reason reason = prepareOutputs(args)) {
        report(*reason);
        return 1;
    }
    const Source source = loadSource(args);
    const double preparedAt = secondsSince(start);
    const images::Picture &picture = source.picture;
    const int k = args.factor;
    const images::EyeModel model(picture.width / k, picture.height / k, k, args.display);
    std::printf("picture %dx%d from %s, factor %d: images of %dx%d (%s)\n", picture.width,
                picture.height, source.name.c_str(), k, model.displayWidth(), model.displayHeight(),
                modelText(args).c_str());
    std::fflush(stdout);

    const auto fitStart = std::chrono::steady_clock::now();
    const images::ImageSet set = fitImages(args, model, picture);
    const double fitSeconds = secondsSince(fitStart);

    const auto writeStart = std::chrono::steady_clock::now();
    const images::Figures figures = images::modeFigures(model, set, picture, args.transfer);
    writeOutputs(args, source, model, set, figures);
    const double writeSeconds = secondsSince(writeStart);

    printFigures(figures);
    std::printf("wrote 0Image.ppm .. 3Image.ppm%s to %s in %.1f s (picture %.1f s, filters and "
                "fit %.1f s, figures and files %.1f s; %u threads)\n",
                args.screen ? " and README.txt" : "", args.out.c_str(), secondsSince(start),
                preparedAt, fitSeconds, writeSeconds, images::threadCount());
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    const CommandLine line = parseArguments(argc, argv);
    switch (line.action) {
    case CommandLine::Action::help:
        std::fputs(synopsis, stdout);
        std::fputs(details, stdout);
        return 0;
    case CommandLine::Action::version:
        std::printf("%s %s\n", program, MOIRAVEL_VERSION);
        return 0;
    case CommandLine::Action::usageError:
        report(line.error);
        std::fputs(synopsis, stderr);
        std::fprintf(stderr, "Try '%s --help' for more.\n", program);
        return 2;
    case CommandLine::Action::run:
        break;
    }
    // Our own failures say which file and why; the library's texts never reach the user.
    try {
        return run(line.args);
    } catch (const std::bad_alloc &) {
        report((line.args.input.empty() ? std::string("the picture") : line.args.input) +
               ": not enough memory for a picture this large");
    } catch (const std::filesystem::filesystem_error &error) {
        report(error.path1().string() + ": " + error.code().message());
    } catch (const std::system_error &error) {
        report(error.code().message());
    } catch (const std::runtime_error &error) {
        report(error.what());
    } catch (const std::exception &) {
        report("internal error");
    }
    return 1;
}
