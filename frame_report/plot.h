// SPDX-License-Identifier: MIT
// The plot of a run's frame log, drawn with cairo at a fixed size: the frame intervals against
// the frame number (the refresh period marked, frames that missed refreshes highlighted) above
// their histogram in refresh periods (in ms where no period is known). It makes the file's bytes
// in memory; it writes no file (whole_file.h does).
#pragma once

#include "frame_log.h"
#include "frame_stats.h"

#include <string>

namespace moiravel::frames {

enum class PlotFormat { png, svg };

inline constexpr int plotWidth = 1200;
inline constexpr int plotHeight = 800;

// A panel's data area in pixels from the top left, inside its axes.
struct PlotArea {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

struct PlotLayout {
    PlotArea intervals;
    PlotArea histogram;
};

PlotLayout plotLayout();

// The plot of the log as a PNG or SVG file's bytes, titled with the log's name; false when cairo
// could not draw it.
bool renderPlot(PlotFormat format, const std::string &logName, const FrameLog &log,
                const FrameStats &stats, std::string &bytes);

} // namespace moiravel::frames
