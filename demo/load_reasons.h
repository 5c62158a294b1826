// SPDX-License-Identifier: MIT
// Why the viewer refuses an input file: the kinds of image-load failure, the
// record the image reader fills in when a load fails, and the one table of
// texts the viewer writes for them and for an unreadable README.txt. Nothing
// here reads a file or prints; callers write the lines where they belong.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Each way a load of a plain PPM image can fail.
enum class PpmFailure : std::uint8_t {
    none,
    cannotOpen,           // systemError
    notRegularFile,       // found: what the name stands for
    cannotRead,           // systemError
    emptyFile,            //
    noMagicLine,          // found: the file's first line
    wrongMagic,           // line, found: the first line starting with P
    headerLineTooLong,    // line
    endsBeforeSizeLine,   //
    badSizeLine,          // line, found
    zeroSize,             // line, width, height
    sampleCountTooLarge,  // line, width, height, count (pixels)
    tooLargeForFile,      // line, width, height, count, bytes
    tooLargeForMemory,    // line, width, height, count
    endsBeforeMaxvalLine, //
    noMaxval,             // line, found
    badMaxval,            // line, value
    badSample,            // line, column, value (k), count (n), found
    tooFewSamples,        // value (k), count (n)
};

// What went wrong and where. line and column count from 1; 0 means the
// reason has no place in the file.
struct PpmLoadError {
    PpmFailure failure = PpmFailure::none;
    int systemError = 0;
    std::uint64_t line = 0;
    std::uint64_t column = 0;
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::uint64_t value = 0;
    std::uint64_t count = 0;
    std::uint64_t bytes = 0;
    // Text from the file, already quoted (see quoteFound), or what a name
    // that is no regular file stands for.
    std::string found;
};

// The reason as words, with its place in front: "line 3: maxval is 65535;
// only 255 is supported".
std::string describePpmLoadError(const PpmLoadError &error);

// The line the viewer writes to standard error when fileName fails to load,
// without its line break: "moiravel-demo: 2Image.ppm: line 3: ...".
std::string ppmLoadErrorLine(std::string_view fileName, const PpmLoadError &error);

// The first line of text, shortened and in double quotes, with every byte
// that is not printable ASCII (and the quote and backslash) escaped in C
// style: "\xEF\xBB\xBF1920 x 1080".
std::string quoteFound(std::string_view text);

// The warning written when the first number of README.txt cannot be read;
// fileStart is the start of the file as it was read.
std::string readmeSizeWarning(std::string_view fileStart);
