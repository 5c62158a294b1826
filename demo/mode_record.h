// SPDX-License-Identifier: MIT
// The record of a switched output's mode: what it takes to put the mode back, as text in a
// small file, so that a later run can mend a run that was killed before it could. Here are
// the record's text and its parsing, the choice of the mode to put back, and the line that
// says it was put back.
//
// What it does not do: read or write the file, or talk to a display (platform_randr.cpp).
#pragma once

#include "outputs.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The file's name in the user's runtime directory.
inline constexpr std::string_view modeRecordFileName = "moiravel-display-restore";

// One CRTC's configuration before the switch, and the screen's size where it was grown.
struct ModeRecord {
    long processId = 0;      // the run that switched: while it runs, it puts the mode back
    std::string displayName; // as the viewer reached it (":1", "host:0.1")
    std::string outputName;  // the switched output
    std::uint32_t crtc = 0;  // the CRTC that showed it
    int x = 0;
    int y = 0;
    std::uint16_t rotation = 1;           // RandR's rotation and reflection bits
    std::vector<std::string> crtcOutputs; // every output the CRTC drove, by name
    OutputMode mode;                      // the mode it showed: id, size and rate
    // The screen's size before it grew to fit the new mode; 0 x 0 where it did not grow.
    int screenWidth = 0;
    int screenHeight = 0;
    int screenWidthMm = 0;
    int screenHeightMm = 0;
};

// The record as the lines of its file.
std::string modeRecordText(const ModeRecord &record);

// Reads a record's text back; false, with `error` saying what is wrong, where it is not a
// whole record.
bool parseModeRecord(std::string_view text, ModeRecord &record, std::string &error);

// Whether two display names name the same display and screen (":1" is ":1.0").
bool sameDisplay(const std::string &a, const std::string &b);

// The mode among `offered` (the output's modes now) to put back: the recorded id where it
// still has the recorded size and rate, else one of that size and rate. None where the
// output offers no such mode any more: a mode id that now means another mode is never used.
std::optional<OutputMode> modeToRestore(const ModeRecord &record,
                                        const std::vector<OutputMode> &offered);

// Where the record lives: the runtime directory where one is set, else a name of the user's
// own in /tmp.
std::string modeRecordPath(const char *runtimeDir, unsigned userId);

// "moiravel-demo: restored DUMMY1 to 1920x1080 at 60.00 Hz, as an earlier run left it"
std::string restoredLine(const ModeRecord &record);
