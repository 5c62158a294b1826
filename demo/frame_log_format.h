// SPDX-License-Identifier: MIT
// The frame log's format, as the viewer writes it and moiravel-frame-report reads it: the
// header line, the words its fields take, and the trailer's markers.
//
// What it does not do: write or read a log (frame_log_rows.h, frame_report/frame_log.h).
#pragma once

#include <array>
#include <string_view>

namespace frameLogFormat {

// The first line, without its newline.
inline constexpr std::string_view header =
    "frame,swap_ns,present_ns,counter,refreshes,missed,interval,mode,subimage,offset_x,offset_y,"
    "key";
inline constexpr std::size_t fieldCount = 12;

// The keys the viewer handles, by name, and the characters GLUT hands it for them.
inline constexpr std::array<std::string_view, 8> keyNames = {"space", "plus", "minus", "f",
                                                             "s",     "m",    "v",     "escape"};
inline constexpr std::array<unsigned char, 8> keyCharacters = {' ', '+', '-', 'f',
                                                               's', 'm', 'v', 27};

// The swap interval a frame ran under, and where the refresh period came from.
inline constexpr std::string_view intervalOn = "on";
inline constexpr std::string_view intervalOff = "off";
inline constexpr std::string_view intervalUncontrolled = "uncontrolled";
inline constexpr std::array<std::string_view, 6> sourceNames = {
    "OML", "OML-emulated", "display-mode", "measured", "presentation", "none"};

// The trailer: its start, its fields in order, and the reason that may close it.
inline constexpr std::string_view trailerStart = "# end=";
inline constexpr std::array<std::string_view, 8> trailerNames = {
    "end", "frames", "period_ns", "source", "output", "missed", "places", "longest"};
inline constexpr std::string_view notJudged = "not_judged=";
inline constexpr std::string_view endEscape = "escape";
inline constexpr std::string_view endInterrupted = "interrupted";

} // namespace frameLogFormat
