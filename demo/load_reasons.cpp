// SPDX-License-Identifier: MIT
#include "load_reasons.h"

#include "messages.h"

#include <cstring>

namespace {

// Every text the viewer writes about a refused input file. {name} stands for
// the field of PpmLoadError of that name; {error} for the system's words for
// systemError.
struct ReasonText {
    PpmFailure failure;
    const char *text;
};

constexpr ReasonText ppmReasonTexts[] = {
    {PpmFailure::cannotOpen, "cannot open: {error}"},
    {PpmFailure::notRegularFile, "not a regular file but {found}"},
    {PpmFailure::cannotRead, "cannot read: {error}"},
    {PpmFailure::emptyFile, "no line starting with P3: the file is empty"},
    {PpmFailure::noMagicLine, "no line starting with P3; the first line holds {found}"},
    {PpmFailure::wrongMagic,
     "no line starting with P3; found {found} (only plain PPM, P3, is read)"},
    {PpmFailure::headerLineTooLong, "header line longer than 255 characters"},
    {PpmFailure::endsBeforeSizeLine, "the file ends before the size line"},
    {PpmFailure::badSizeLine, "size line {found} does not hold two numbers (width height)"},
    {PpmFailure::zeroSize, "size {width} x {height} has no pixels"},
    {PpmFailure::sampleCountTooLarge,
     "size {width} x {height} is {count} pixels, too many for 3 samples each to be counted in 32 "
     "bits"},
    {PpmFailure::tooLargeForFile,
     "size {width} x {height} needs {count} samples, more than the {bytes} bytes after the "
     "header can hold"},
    {PpmFailure::tooLargeForMemory,
     "size {width} x {height} needs {count} bytes of memory, more than can be had"},
    {PpmFailure::endsBeforeMaxvalLine, "the file ends before the maxval line"},
    {PpmFailure::noMaxval, "maxval line {found} holds no number; it must be 255"},
    {PpmFailure::badMaxval, "maxval is {value}; only 255 is supported"},
    {PpmFailure::badSample, "sample {value} of {count} is not a 32-bit decimal number: {found}"},
    {PpmFailure::tooFewSamples, "the file ends after {value} of {count} samples"},
};

// README.txt whose first number cannot be read; the viewer goes on at 0 x 0.
constexpr const char *readmeEmptyText = "README.txt: the file is empty; using 0 x 0";
constexpr const char *readmeByteOrderMarkText =
    "README.txt: the file starts with a {mark} byte-order mark, which hides the resolution "
    "({found}); save it without the mark; using 0 x 0";
constexpr const char *readmeOutOfRangeText =
    "README.txt: the width at the start of the file does not fit 32 bits ({found}); using 0 x 0";
constexpr const char *readmeNoNumberText =
    "README.txt: no resolution at the start of the file ({found}); using 0 x 0";

// At most this many bytes of a line are shown.
constexpr std::size_t foundLimit = 40;

void replaceAll(std::string &text, std::string_view placeholder, const std::string &value) {
    for (std::size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size())) {
        text.replace(at, placeholder.size(), value);
    }
}

} // namespace

std::string describePpmLoadError(const PpmLoadError &error) {
    std::string text = "unknown failure";
    for (const ReasonText &reason : ppmReasonTexts) {
        if (reason.failure == error.failure) {
            text = reason.text;
        }
    }
    replaceAll(text, "{error}", std::strerror(error.systemError));
    replaceAll(text, "{found}", error.found);
    replaceAll(text, "{width}", std::to_string(error.width));
    replaceAll(text, "{height}", std::to_string(error.height));
    replaceAll(text, "{value}", std::to_string(error.value));
    replaceAll(text, "{count}", std::to_string(error.count));
    replaceAll(text, "{bytes}", std::to_string(error.bytes));
    if (error.line == 0) {
        return text;
    }
    std::string place = "line " + std::to_string(error.line);
    if (error.column != 0) {
        place += ", column " + std::to_string(error.column);
    }
    return place + ": " + text;
}

std::string ppmLoadErrorLine(std::string_view fileName, const PpmLoadError &error) {
    return demoMessage(std::string(fileName) + ": " + describePpmLoadError(error));
}

std::string quoteFound(std::string_view text) {
    text = text.substr(0, text.find('\n'));
    if (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
    }
    const bool shortened = text.size() > foundLimit;
    text = text.substr(0, foundLimit);
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte >= 0x20 && byte < 0x7F) {
            quoted += c;
        } else {
            constexpr char hex[] = "0123456789ABCDEF";
            quoted += "\\x";
            quoted += hex[byte >> 4];
            quoted += hex[byte & 0xF];
        }
    }
    return quoted + (shortened ? "...\"" : "\"");
}

std::string readmeSizeWarning(std::string_view fileStart) {
    std::string text;
    if (fileStart.empty()) {
        text = readmeEmptyText;
    } else if (fileStart.starts_with("\xEF\xBB\xBF")) {
        text = readmeByteOrderMarkText;
        replaceAll(text, "{mark}", "UTF-8");
    } else if (fileStart.starts_with("\xFF\xFE") || fileStart.starts_with("\xFE\xFF")) {
        text = readmeByteOrderMarkText;
        replaceAll(text, "{mark}", "UTF-16");
    } else {
        // A sign or digit first means a number that did not fit.
        const std::size_t first = fileStart.find_first_not_of(" \t\n\v\f\r");
        const std::size_t digit = first == std::string_view::npos                      ? first
                                  : fileStart[first] == '+' || fileStart[first] == '-' ? first + 1
                                                                                       : first;
        const bool number =
            digit < fileStart.size() && fileStart[digit] >= '0' && fileStart[digit] <= '9';
        text = number ? readmeOutOfRangeText : readmeNoNumberText;
        fileStart.remove_prefix(first == std::string_view::npos ? fileStart.size() : first);
    }
    replaceAll(text, "{found}", quoteFound(fileStart));
    return demoWarning(text);
}
