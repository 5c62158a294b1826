// SPDX-License-Identifier: MIT
// The text of a mode record, its parsing, and the choice of the mode to put back.
//
// What it does not do: touch files or displays.
#include "mode_record.h"

#include "messages.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <sstream>

namespace {

constexpr std::string_view firstLine = "moiravel-display-restore 1";

// The keys of a record, each on a line of its own; "screen" only where the screen grew.
const char *const requiredKeys[] = {"process",  "display",  "output",       "crtc",
                                    "position", "rotation", "crtc-outputs", "mode"};

template <typename T> bool readNumber(std::istringstream &in, T &value) {
    std::string word;
    if (!(in >> word)) {
        return false;
    }
    const auto [end, status] = std::from_chars(word.data(), word.data() + word.size(), value);
    return status == std::errc() && end == word.data() + word.size();
}

bool atEnd(std::istringstream &in) {
    std::string more;
    return !(in >> more);
}

// The numbers of one line, all of them and nothing else.
template <typename... T> bool readNumbers(const std::string &text, T &...values) {
    std::istringstream in(text);
    return (readNumber(in, values) && ...) && atEnd(in);
}

std::string normalDisplay(const std::string &name) {
    const auto colon = name.rfind(':');
    if (colon == std::string::npos || name.find('.', colon) != std::string::npos) {
        return name;
    }
    return name + ".0";
}

} // namespace

std::string modeRecordText(const ModeRecord &record) {
    std::ostringstream out;
    out << firstLine << "\n"
        << "process " << record.processId << "\n"
        << "display " << record.displayName << "\n"
        << "output " << record.outputName << "\n"
        << "crtc " << record.crtc << "\n"
        << "position " << record.x << " " << record.y << "\n"
        << "rotation " << record.rotation << "\n"
        << "crtc-outputs";
    for (const std::string &name : record.crtcOutputs) {
        out << " " << name;
    }
    out << "\n"
        << "mode " << record.mode.id << " " << record.mode.width << " " << record.mode.height << " "
        << record.mode.periodNs << "\n";
    if (record.screenWidth > 0 && record.screenHeight > 0) {
        out << "screen " << record.screenWidth << " " << record.screenHeight << " "
            << record.screenWidthMm << " " << record.screenHeightMm << "\n";
    }
    return out.str();
}

bool parseModeRecord(std::string_view text, ModeRecord &record, std::string &error) {
    std::istringstream in{std::string(text)};
    std::string line;
    if (!std::getline(in, line) || line != firstLine) {
        error = "it does not start with \"" + std::string(firstLine) + "\"";
        return false;
    }
    std::map<std::string, std::string> values;
    while (std::getline(in, line)) {
        const auto space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        if (!values.emplace(key, value).second) {
            error = "it names " + key + " twice";
            return false;
        }
    }
    if (!in.eof()) {
        error = "it cannot be read";
        return false;
    }
    for (const char *key : requiredKeys) {
        if (values.count(key) == 0) {
            error = std::string("it names no ") + key;
            return false;
        }
    }
    ModeRecord read;
    read.displayName = values["display"];
    read.outputName = values["output"];
    std::istringstream names(values["crtc-outputs"]);
    for (std::string name; names >> name;) {
        read.crtcOutputs.push_back(name);
    }
    const auto bad = [&error](const char *what) {
        error = std::string("its ") + what + " line is not what a record holds";
        return false;
    };
    if (read.displayName.empty() || read.outputName.empty() || read.crtcOutputs.empty()) {
        return bad("display, output or crtc-outputs");
    }
    if (!readNumbers(values["process"], read.processId) || read.processId <= 0) {
        return bad("process");
    }
    if (!readNumbers(values["crtc"], read.crtc) || read.crtc == 0) {
        return bad("crtc");
    }
    if (!readNumbers(values["position"], read.x, read.y)) {
        return bad("position");
    }
    if (!readNumbers(values["rotation"], read.rotation)) {
        return bad("rotation");
    }
    if (!readNumbers(values["mode"], read.mode.id, read.mode.width, read.mode.height,
                     read.mode.periodNs) ||
        read.mode.id == 0 || read.mode.width <= 0 || read.mode.height <= 0) {
        return bad("mode");
    }
    if (values.count("screen") != 0 &&
        (!readNumbers(values["screen"], read.screenWidth, read.screenHeight, read.screenWidthMm,
                      read.screenHeightMm) ||
         read.screenWidth <= 0 || read.screenHeight <= 0)) {
        return bad("screen");
    }
    for (const auto &[key, value] : values) {
        if (key != "screen" && std::find(std::begin(requiredKeys), std::end(requiredKeys), key) ==
                                   std::end(requiredKeys)) {
            error = "it names " + key + ", which a record does not hold";
            return false;
        }
    }
    record = std::move(read);
    return true;
}

bool sameDisplay(const std::string &a, const std::string &b) {
    return normalDisplay(a) == normalDisplay(b);
}

std::optional<OutputMode> modeToRestore(const ModeRecord &record,
                                        const std::vector<OutputMode> &offered) {
    const auto matches = [&record](const OutputMode &mode) {
        return mode.width == record.mode.width && mode.height == record.mode.height &&
               (mode.periodNs == record.mode.periodNs ||
                (mode.periodNs != 0 && record.mode.periodNs != 0 &&
                 sameRate(mode.periodNs, record.mode.periodNs)));
    };
    std::optional<OutputMode> sameKind;
    for (const OutputMode &mode : offered) {
        if (!matches(mode)) {
            continue;
        }
        if (mode.id == record.mode.id) {
            return mode;
        }
        if (!sameKind) {
            sameKind = mode;
        }
    }
    return sameKind;
}

std::string modeRecordPath(const char *runtimeDir, unsigned userId) {
    if (runtimeDir != nullptr && runtimeDir[0] == '/') {
        return std::string(runtimeDir) + "/" + std::string(modeRecordFileName);
    }
    return "/tmp/" + std::string(modeRecordFileName) + "-" + std::to_string(userId);
}

std::string restoredLine(const ModeRecord &record) {
    return demoMessage("restored " + record.outputName + " to " +
                       std::to_string(record.mode.width) + "x" +
                       std::to_string(record.mode.height) + " at " +
                       rateText(record.mode.periodNs) + ", as an earlier run left it");
}
