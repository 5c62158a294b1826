// SPDX-License-Identifier: MIT
// The frame log read from its text, line by line: the header, the rows, the trailer. Each rule of
// the format is one check here, and the first one broken refuses the text. It works out nothing
// from the figures beyond what the trailer must agree with.
#include "frame_log.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace moiravel::frames {

namespace {

using frameLogFormat::fieldCount;
using frameLogFormat::keyNames;
using frameLogFormat::sourceNames;
using frameLogFormat::trailerNames;
using frameLogFormat::trailerStart;
constexpr std::string_view notJudgedName = frameLogFormat::notJudged;

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string_view::npos) {
            return parts;
        }
        start = at + 1;
    }
}

std::optional<std::uint64_t> readUnsigned(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int64_t> readSigned(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

template <std::size_t N>
bool oneOf(std::string_view word, const std::array<std::string_view, N> &words) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

// What the row before this one left for the checks of order.
struct RowContext {
    std::uint64_t expectedFrame = 1;
    std::int64_t lastSwapNs = 0;
    bool presentSeen = false;
};

using FieldResult = std::optional<std::string>; // the reason a field is refused

FieldResult readKey(std::string_view text, std::string &out) {
    if (!text.empty()) {
        for (const std::string_view name : split(text, ' ')) {
            if (!oneOf(name, keyNames)) {
                return "key " + quoted(text) +
                       " is not keys the viewer handles (space plus minus f s m v escape, "
                       "separated by one space)";
            }
        }
    }
    out = std::string(text);
    return std::nullopt;
}

FieldResult readInterval(std::string_view text, SwapInterval &out) {
    for (const SwapInterval interval :
         {SwapInterval::on, SwapInterval::off, SwapInterval::uncontrolled}) {
        if (text == swapIntervalName(interval)) {
            out = interval;
            return std::nullopt;
        }
    }
    return "interval " + quoted(text) + " is not on, off or uncontrolled";
}

FieldResult readRow(std::string_view line, RowContext &context, FrameRow &row) {
    const std::vector<std::string_view> fields = split(line, ',');
    if (fields.size() != fieldCount) {
        return "a row of " + std::to_string(fields.size()) + " fields, not " +
               std::to_string(fieldCount);
    }
    const auto notCount = [](std::string_view name, std::string_view text) {
        return std::string(name) + " " + quoted(text) + " is not a whole number of 0 or more";
    };
    const auto optionalCount = [&](std::string_view name, std::string_view text,
                                   std::optional<std::uint64_t> &out) -> FieldResult {
        if (text.empty()) {
            return std::nullopt;
        }
        out = readUnsigned(text);
        return out ? FieldResult() : notCount(name, text);
    };

    const auto frame = readUnsigned(fields[0]);
    if (!frame) {
        return notCount("frame", fields[0]);
    }
    if (*frame != context.expectedFrame) {
        return "frame " + std::to_string(*frame) + " out of sequence: the row should be frame " +
               std::to_string(context.expectedFrame);
    }
    row.frame = *frame;
    const auto swap = readSigned(fields[1]);
    if (!swap || *swap < 0) {
        return notCount("swap_ns", fields[1]);
    }
    if (row.frame == 1 && *swap != 0) {
        return "swap_ns of frame 1 is " + std::string(fields[1]) + ", not 0";
    }
    if (*swap < context.lastSwapNs) {
        return "swap_ns " + std::string(fields[1]) + " is less than the row before's " +
               std::to_string(context.lastSwapNs);
    }
    row.swapNs = *swap;
    if (!fields[2].empty()) {
        row.presentNs = readSigned(fields[2]);
        if (!row.presentNs) {
            return "present_ns " + quoted(fields[2]) + " is not a whole number";
        }
        if (!context.presentSeen && *row.presentNs != 0) {
            return "present_ns of the first row that has one is " + std::string(fields[2]) +
                   ", not 0";
        }
        context.presentSeen = true;
    }
    if (FieldResult reason = optionalCount("counter", fields[3], row.counter)) {
        return reason;
    }
    if (row.frame == 1 && !fields[4].empty()) {
        return "refreshes of frame 1 is " + quoted(fields[4]) + ", not empty";
    }
    if (FieldResult reason = optionalCount("refreshes", fields[4], row.refreshes)) {
        return reason;
    }
    if (FieldResult reason = optionalCount("missed", fields[5], row.missed)) {
        return reason;
    }
    if (FieldResult reason = readInterval(fields[6], row.interval)) {
        return reason;
    }
    const auto mode = readUnsigned(fields[7]);
    if (!mode || *mode > 2) {
        return "mode " + quoted(fields[7]) + " is not 0, 1 or 2";
    }
    row.mode = static_cast<int>(*mode);
    const auto subimage = readUnsigned(fields[8]);
    if (!subimage || *subimage > 1) {
        return "subimage " + quoted(fields[8]) + " is not 0 or 1";
    }
    row.subimage = static_cast<int>(*subimage);
    const auto x = readSigned(fields[9]);
    const auto y = readSigned(fields[10]);
    if (!x || !y) {
        return std::string(x ? "offset_y " : "offset_x ") + quoted(x ? fields[10] : fields[9]) +
               " is not a whole number";
    }
    row.offsetX = *x;
    row.offsetY = *y;
    if (FieldResult reason = readKey(fields[11], row.key)) {
        return reason;
    }
    context.expectedFrame = row.frame + 1;
    context.lastSwapNs = row.swapNs;
    return std::nullopt;
}

FieldResult readTrailerValue(std::string_view name, std::string_view value, LogTrailer &trailer) {
    const auto count = [&](std::uint64_t &out) -> FieldResult {
        const auto number = readUnsigned(value);
        if (!number) {
            return std::string(name) + "=" + std::string(value) +
                   " is not a whole number of 0 or more";
        }
        out = *number;
        return std::nullopt;
    };
    if (name == "end") {
        trailer.end = std::string(value);
        return value == frameLogFormat::endEscape || value == frameLogFormat::endInterrupted
                   ? FieldResult()
                   : "end=" + std::string(value) + " is not escape or interrupted";
    }
    if (name == "frames") {
        return count(trailer.frames);
    }
    if (name == "period_ns") {
        std::uint64_t period = 0;
        FieldResult reason = count(period);
        trailer.periodNs = static_cast<std::int64_t>(period);
        return reason;
    }
    if (name == "source") {
        trailer.source = std::string(value);
        return oneOf(value, sourceNames) ? FieldResult()
                                         : "source=" + std::string(value) +
                                               " is not OML, OML-emulated, display-mode, "
                                               "measured, presentation or none";
    }
    if (name == "output") {
        trailer.output = std::string(value);
        return std::nullopt;
    }
    return count(name == "missed" ? trailer.missed
                                  : (name == "places" ? trailer.places : trailer.longest));
}

FieldResult readTrailer(std::string_view line, LogTrailer &trailer) {
    std::string_view rest = line.substr(2); // after "# "
    for (const std::string_view name : trailerNames) {
        if (rest.empty()) {
            return "the trailer ends before its " + std::string(name) + "=";
        }
        const std::size_t space = std::min(rest.find(' '), rest.size());
        const std::string_view field = rest.substr(0, space);
        const std::size_t equals = field.find('=');
        if (equals == std::string_view::npos || field.substr(0, equals) != name) {
            return "the trailer's fields are not end frames period_ns source output missed "
                   "places longest: " +
                   quoted(field) + " where " + std::string(name) + "= belongs";
        }
        if (equals + 1 == field.size()) {
            return "the trailer's " + std::string(name) + "= has no value";
        }
        if (FieldResult reason = readTrailerValue(name, field.substr(equals + 1), trailer)) {
            return reason;
        }
        rest.remove_prefix(std::min(space + 1, rest.size()));
    }
    if (!rest.empty()) {
        if (!rest.starts_with(notJudgedName) || rest.size() == notJudgedName.size()) {
            return "the trailer ends in " + quoted(rest) + ", not not_judged=REASON";
        }
        trailer.notJudged = std::string(rest.substr(notJudgedName.size()));
    }
    return std::nullopt;
}

// The trailer against the rows it sums up.
FieldResult checkTrailer(const FrameLog &log) {
    const LogTrailer &trailer = log.trailer;
    if (trailer.frames != log.rows.size()) {
        return "the trailer says frames=" + std::to_string(trailer.frames) + ", but the log has " +
               std::to_string(log.rows.size()) + " rows";
    }
    // Where nothing could be judged, the missed column holds only what was counted before the
    // check knew it, and the trailer's counts are 0.
    if (!trailer.notJudged.empty()) {
        return std::nullopt;
    }
    std::uint64_t missed = 0;
    std::uint64_t places = 0;
    std::uint64_t longest = 0;
    for (const FrameRow &row : log.rows) {
        const std::uint64_t here = row.missed.value_or(0);
        missed += here;
        places += here > 0 ? 1 : 0;
        longest = std::max(longest, here);
    }
    if (trailer.missed != missed || trailer.places != places || trailer.longest != longest) {
        return "the trailer says missed=" + std::to_string(trailer.missed) +
               " places=" + std::to_string(trailer.places) +
               " longest=" + std::to_string(trailer.longest) + ", but the missed column gives " +
               std::to_string(missed) + ", " + std::to_string(places) + " and " +
               std::to_string(longest);
    }
    return std::nullopt;
}

} // namespace

const char *swapIntervalName(SwapInterval interval) {
    switch (interval) {
    case SwapInterval::on:
        return frameLogFormat::intervalOn.data();
    case SwapInterval::off:
        return frameLogFormat::intervalOff.data();
    case SwapInterval::uncontrolled:
        return frameLogFormat::intervalUncontrolled.data();
    }
    return "?";
}

std::variant<FrameLog, LogRefusal> parseFrameLog(std::string_view text) {
    std::vector<std::string_view> lines = split(text, '\n');
    const bool endsInNewline = lines.back().empty() && lines.size() > 1;
    if (endsInNewline) {
        lines.pop_back();
    }
    if (lines.front() != logHeader) {
        return LogRefusal{1, text.empty() ? "an empty file, not a frame log"
                                          : "not a frame log: the first line is not its header (" +
                                                std::string(logHeader) + ")"};
    }
    FrameLog log;
    RowContext context;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::size_t number = i + 1;
        if (line.starts_with(trailerStart)) {
            if (i + 1 < lines.size()) {
                return LogRefusal{number + 1, "a line after the trailer"};
            }
            if (!endsInNewline) {
                return LogRefusal{number, "the trailer does not end in a newline"};
            }
            if (FieldResult reason = readTrailer(line, log.trailer)) {
                return LogRefusal{number, *reason};
            }
            if (FieldResult reason = checkTrailer(log)) {
                return LogRefusal{number, *reason};
            }
            return log;
        }
        if (line.starts_with("#")) {
            return LogRefusal{number, "a comment line that is not the trailer (# end=...)"};
        }
        if (i + 1 == lines.size() && !endsInNewline) {
            return LogRefusal{number, "the log ends in a line cut short, without its trailer "
                                      "(# end=...)"};
        }
        FrameRow row;
        if (FieldResult reason = readRow(line, context, row)) {
            return LogRefusal{number, *reason};
        }
        log.rows.push_back(std::move(row));
    }
    return LogRefusal{lines.size() + 1, "the log ends without its trailer (# end=...)"};
}

} // namespace moiravel::frames
