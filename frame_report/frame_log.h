// SPDX-License-Identifier: MIT
// The viewer's frame log (--frame-log FILE.csv), read from its text: the rows, one per frame, and
// the trailer of the run. It refuses any text that is not such a log with the line and the
// reason. It reads no file and works out no statistics (frame_stats.h does).
#pragma once

#include "frame_log_format.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace moiravel::frames {

// The log's first line, exactly.
inline constexpr std::string_view logHeader = frameLogFormat::header;

enum class SwapInterval { on, off, uncontrolled };

struct FrameRow {
    std::uint64_t frame = 0;
    std::int64_t swapNs = 0;
    std::optional<std::int64_t> presentNs;
    std::optional<std::uint64_t> counter;
    std::optional<std::uint64_t> refreshes;
    std::optional<std::uint64_t> missed; // empty: the frame was not judged
    SwapInterval interval = SwapInterval::on;
    int mode = 0;
    int subimage = 0;
    std::int64_t offsetX = 0;
    std::int64_t offsetY = 0;
    std::string key;
};

// The last line: how the run ended and what the viewer's summary said of it.
struct LogTrailer {
    std::string end; // escape or interrupted
    std::uint64_t frames = 0;
    std::int64_t periodNs = 0; // 0: no period was known
    std::string source;
    std::string output; // "-": not known
    std::uint64_t missed = 0;
    std::uint64_t places = 0;
    std::uint64_t longest = 0;
    std::string notJudged; // empty unless the run's refreshes could not be judged
};

struct FrameLog {
    std::vector<FrameRow> rows;
    LogTrailer trailer;
};

// Why a text is not a frame log: the line (from 1) and the reason in plain words.
struct LogRefusal {
    std::size_t line = 0;
    std::string reason;
};

// The log in text, or the first thing in it that a log never has.
std::variant<FrameLog, LogRefusal> parseFrameLog(std::string_view text);

const char *swapIntervalName(SwapInterval interval);

} // namespace moiravel::frames
