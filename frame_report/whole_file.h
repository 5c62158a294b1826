// SPDX-License-Identifier: MIT
// A file written whole or not at all: its bytes go to a temporary name beside it, are flushed to
// the disk, and the temporary file is renamed over the final name; on any failure the temporary
// file is removed and a file of that name stays as it was. It formats nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace moiravel::frames {

// The temporary name for path in its directory: "DIR/.NAME.moiravel-frame-report.PID.tmp".
std::string temporaryPath(const std::string &path);

// Nothing when the file is in place, else the reason: "PATH: cannot write: ...".
std::optional<std::string> writeWholeFile(const std::string &path, std::string_view bytes);

} // namespace moiravel::frames
