// SPDX-License-Identifier: MIT
// moiravel-frame-report: the figures of a run of moiravel-demo from its frame log, and its plot.
// This file holds the steps: the log read and parsed, the figures printed, the plot written.
// The options live in report_options.cpp, the texts in report_text.cpp, the reading of the
// format in frame_log.cpp, the arithmetic in frame_stats.cpp, the drawing in plot.cpp.
#include "frame_log.h"
#include "frame_stats.h"
#include "plot.h"
#include "report_options.h"
#include "report_text.h"
#include "whole_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>

#ifndef MOIRAVEL_VERSION
#define MOIRAVEL_VERSION "unknown version"
#endif

namespace frames = moiravel::frames;

namespace {

void report(const std::string &message) {
    std::fprintf(stderr, "%s: %s\n", frames::programName, message.c_str());
}

// The whole file as text, or false with errno set.
bool readWhole(const std::string &path, std::string &text) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        errno = EIO;
    }
    return !failed;
}

int run(const frames::Arguments &args) {
    std::string text;
    if (std::filesystem::is_directory(args.log)) {
        report(args.log + ": cannot read: " + std::strerror(EISDIR));
        return 1;
    }
    if (!readWhole(args.log, text)) {
        report(args.log + ": cannot read: " + std::strerror(errno));
        return 1;
    }
    const auto parsed = frames::parseFrameLog(text);
    if (const auto *refusal = std::get_if<frames::LogRefusal>(&parsed)) {
        report(frames::refusalText(args.log, *refusal));
        return 1;
    }
    const frames::FrameLog &log = std::get<frames::FrameLog>(parsed);
    const frames::FrameStats stats = frames::frameStats(log);
    std::fputs(frames::reportText(args.log, log, stats).c_str(), stdout);
    if (args.plot.empty()) {
        return 0;
    }
    std::string bytes;
    const std::string name = std::filesystem::path(args.log).filename().string();
    if (!frames::renderPlot(args.plotFormat, name, log, stats, bytes)) {
        report(args.plot + ": cannot draw the plot");
        return 1;
    }
    if (const auto reason = frames::writeWholeFile(args.plot, bytes)) {
        report(*reason);
        return 1;
    }
    std::printf("plot written to %s\n", args.plot.c_str());
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    const frames::CommandLine line = frames::parseArguments(argc, argv);
    switch (line.action) {
    case frames::CommandLine::Action::help:
        std::fputs(frames::synopsis, stdout);
        std::fputs(frames::details, stdout);
        return 0;
    case frames::CommandLine::Action::version:
        std::printf("%s %s\n", frames::programName, MOIRAVEL_VERSION);
        return 0;
    case frames::CommandLine::Action::usageError:
        report(line.error);
        std::fputs(frames::synopsis, stderr);
        std::fprintf(stderr, "Try '%s --help' for more.\n", frames::programName);
        return 2;
    case frames::CommandLine::Action::run:
        break;
    }
    try {
        return run(line.args);
    } catch (const std::bad_alloc &) {
        report(line.args.log + ": not enough memory for a log this large");
    } catch (const std::exception &) {
        report("internal error");
    }
    return 1;
}
