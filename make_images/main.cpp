// SPDX-License-Identifier: MIT
// moiravel-make-images: makes the four image files and README.txt for moiravel-demo. This file
// holds the steps: the outputs made ready, the picture read, the fit, the files written, the
// figures reported. The options live in options.cpp, the texts of the report in report.cpp, what
// a signal does in interruption_posix.cpp (interruption_win32.cpp on Windows); file_set.cpp
// replaces the files only as a whole.
#include "file_set.h"
#include "file_system.h"
#include "interruption.h"
#include "make_images.h"
#include "options.h"
#include "parallel.h"
#include "report.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#ifndef MOIRAVEL_VERSION
#define MOIRAVEL_VERSION "unknown version"
#endif

namespace images = moiravel::images;
using images::Arguments;
using images::Reason;
using images::report;

namespace {

// ---- The outputs, made ready before any work starts -----------------------------------------

std::string readmePath(const Arguments &args) {
    return (std::filesystem::path(args.out) / "README.txt").string();
}

// The files of this run in the order they are put in place: README.txt, which makes the
// directory a set for the viewer, last.
std::vector<std::string> outputPaths(const Arguments &args) {
    std::vector<std::string> paths = images::imagePaths(args.out);
    if (!args.preview.empty()) {
        paths.push_back(args.preview);
    }
    if (args.screen) {
        paths.push_back(readmePath(args));
    }
    return paths;
}

// The directory made, and shown to take files.
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
    const std::string probe = images::temporaryPath(
        (std::filesystem::path(directory) / "write-test").string(), images::currentProcess());
    std::FILE *file = std::fopen(probe.c_str(), "wb");
    if (file == nullptr) {
        return directory + ": cannot write files there: " + std::strerror(errno);
    }
    std::fclose(file);
    std::remove(probe.c_str());
    return std::nullopt;
}

// What runs that ended before their files were in place left in the directories, removed.
void removeLeftovers(const Arguments &args) {
    std::vector<std::string> directories = {args.out};
    if (!args.preview.empty()) {
        const auto parent = std::filesystem::path(args.preview).parent_path();
        directories.push_back(parent.empty() ? std::string(".") : parent.string());
    }
    const images::Leftovers leftovers = images::removeLeftovers(directories);
    if (leftovers.files > 0) {
        report("removed " + std::to_string(leftovers.files) + " temporary file" +
               (leftovers.files == 1 ? "" : "s") + " of " +
               (leftovers.runs == 1 ? std::string("an earlier run")
                                    : std::to_string(leftovers.runs) + " earlier runs") +
               " that did not finish");
    }
}

Reason prepareOutputs(const Arguments &args, images::FileSet &files) {
    if (Reason reason = prepareDirectory(args.out)) {
        return reason;
    }
    const auto parent = std::filesystem::path(args.preview).parent_path();
    if (!args.preview.empty() && !parent.empty()) {
        if (Reason reason = prepareDirectory(parent.string())) {
            return reason;
        }
    }
    removeLeftovers(args);
    // The signals wait while the temporary files are made, so that the removal on a signal
    // never comes between a file's creation and its entry in the table.
    images::holdInterrupts();
    Reason reason = files.create();
    images::removeOnInterrupt(files.temporaries());
    images::releaseInterrupts();
    return reason;
}

// ---- The picture ----------------------------------------------------------------------------

struct Source {
    images::Picture picture; // cropped to whole display pixels
    images::Region highlight;
    std::string name;
};

// The picture to work from, from INPUT or drawn, with its notes on standard error; or the
// reason it cannot be used.
Reason loadSource(const Arguments &args, Source &source) {
    const int k = args.factor;
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
        return (args.input.empty() ? source.name : args.input) + ": " + error.what();
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
    return std::nullopt;
}

std::string modelText(const Arguments &args) {
    return std::string("display ") + images::displayModelName(args.display) + ", transfer " +
           images::transferName(args.transfer);
}

// ---- The fit --------------------------------------------------------------------------------

images::ImageSet fitImages(const Arguments &args, const images::EyeModel &model,
                           const images::Picture &picture) {
    images::ProgressBar bar;
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

// ---- The files ------------------------------------------------------------------------------

// What the eye sees under each display model, the chosen model's row first.
Reason writePreview(images::FileSet &files, const Arguments &args, const Source &source,
                    const images::EyeModel &model, const images::ImageSet &set,
                    const images::Figures &figures) {
    std::vector<images::EyeModel> others;
    for (const images::DisplayModel display : images::displayModels) {
        if (display != model.display()) {
            others.emplace_back(model.displayWidth(), model.displayHeight(), model.factor(),
                                display);
        }
    }
    std::vector<images::PreviewRow> rows = {{&model, figures}};
    for (const images::EyeModel &other : others) {
        rows.push_back({&other, images::modeFigures(other, set, source.picture, args.transfer)});
    }
    std::string png;
    if (!images::encodePng(images::makePreview(rows, set, source.picture, source.highlight,
                                               args.zoom, args.transfer),
                           png)) {
        return args.preview + ": cannot write the PNG file";
    }
    return files.write(args.preview, png);
}

// Every file written beside its name, then all put in place, README.txt last.
Reason writeOutputs(images::FileSet &files, const Arguments &args, const Source &source,
                    const images::EyeModel &model, const images::ImageSet &set,
                    const images::Figures &figures) {
    if (Reason reason = images::writeImageSet(files, args.out, set)) {
        return reason;
    }
    if (!args.preview.empty()) {
        if (Reason reason = writePreview(files, args, source, model, set, figures)) {
            return reason;
        }
    }
    if (args.screen) {
        const std::string text =
            images::readmeText({args.screen->first, args.screen->second, args.factor, source.name,
                                modelText(args), figures});
        if (Reason reason = files.write(readmePath(args), text)) {
            return reason;
        }
    }
    // From the first rename on, the run ends as one that succeeded: a signal waits, and the
    // exit drops it.
    images::holdInterrupts();
    if (Reason reason = files.commit()) {
        return reason;
    }
    if (!args.preview.empty()) {
        std::printf("preview written to %s\n", args.preview.c_str());
    }
    return std::nullopt;
}

// ---- The steps ------------------------------------------------------------------------------

int run(const Arguments &args) {
    const auto start = std::chrono::steady_clock::now();
    images::setThreadCount(args.threads);
    images::FileSet files(outputPaths(args));
    if (const Reason reason = prepareOutputs(args, files)) {
        report(*reason);
        return 1;
    }
    Source source;
    if (const Reason reason = loadSource(args, source)) {
        report(*reason);
        return 1;
    }
    const double preparedAt = images::secondsSince(start);
    const images::Picture &picture = source.picture;
    const int k = args.factor;
    const images::EyeModel model(picture.width / k, picture.height / k, k, args.display);
    std::printf("picture %dx%d from %s, factor %d: images of %dx%d (%s)\n", picture.width,
                picture.height, source.name.c_str(), k, model.displayWidth(), model.displayHeight(),
                modelText(args).c_str());
    std::fflush(stdout);

    const auto fitStart = std::chrono::steady_clock::now();
    const images::ImageSet set = fitImages(args, model, picture);
    const double fitSeconds = images::secondsSince(fitStart);

    const auto writeStart = std::chrono::steady_clock::now();
    const images::Figures figures = images::modeFigures(model, set, picture, args.transfer);
    if (const Reason reason = writeOutputs(files, args, source, model, set, figures)) {
        report(*reason);
        return 1;
    }
    const double writeSeconds = images::secondsSince(writeStart);

    images::printFigures(figures);
    std::printf("wrote 0Image.ppm .. 3Image.ppm%s to %s in %.1f s (picture %.1f s, filters and "
                "fit %.1f s, figures and files %.1f s; %u threads)\n",
                args.screen ? " and README.txt" : "", args.out.c_str(), images::secondsSince(start),
                preparedAt, fitSeconds, writeSeconds, images::threadCount());
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    using images::programName;
    const images::CommandLine line = images::parseArguments(argc, argv);
    switch (line.action) {
    case images::CommandLine::Action::help:
        std::fputs(images::synopsis, stdout);
        std::fputs(images::details, stdout);
        return 0;
    case images::CommandLine::Action::version:
        std::printf("%s %s\n", programName, MOIRAVEL_VERSION);
        return 0;
    case images::CommandLine::Action::usageError:
        report(line.error);
        std::fputs(images::synopsis, stderr);
        std::fprintf(stderr, "Try '%s --help' for more.\n", programName);
        return 2;
    case images::CommandLine::Action::run:
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
