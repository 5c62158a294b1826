// SPDX-License-Identifier: MIT
// The viewer's lines on standard error: every one starts with the program's name, and a
// warning says so after it. Only the prefixes; each caller writes its own text.
#pragma once

#include <string>
#include <string_view>

inline constexpr std::string_view programName = "moiravel-demo";

// "moiravel-demo: " followed by text.
inline std::string demoMessage(std::string_view text) {
    std::string line(programName);
    line += ": ";
    line += text;
    return line;
}

// "moiravel-demo: warning: " followed by text.
inline std::string demoWarning(std::string_view text) {
    return demoMessage("warning: " + std::string(text));
}
