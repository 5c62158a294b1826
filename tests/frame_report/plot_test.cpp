// SPDX-License-Identifier: MIT
// The plot of a frame log as a file: a PNG of the stated size with something drawn in both
// panels, put in place whole (no temporary file left beside it), and an SVG. It compares no
// images: it counts the pixels that differ from the background.
#include "frame_log.h"
#include "frame_stats.h"
#include "plot.h"
#include "temp_dir.h"
#include "whole_file.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace moiravel::frames {
namespace {

// A run of 200 frames at 10 ms, one of which (frame 100) missed a refresh.
FrameLog makeLog(std::size_t frames) {
    std::string text = std::string(logHeader) + "\n";
    std::int64_t ns = 0;
    for (std::size_t frame = 1; frame <= frames; ++frame) {
        ns += frame == 1 ? 0 : (frame == 100 ? 20000000 : 10000000 + (frame % 7) * 100000);
        const std::string missed = frame == 1 ? "" : (frame == 100 ? "1" : "0");
        text += std::to_string(frame) + "," + std::to_string(ns) + "," + std::to_string(ns) +
                ",,," + missed + ",on,0,0,0,0,\n";
    }
    text += "# end=escape frames=" + std::to_string(frames) +
            " period_ns=10000000 source=OML output=DUMMY1 missed=" + (frames >= 100 ? "1" : "0") +
            " places=" + (frames >= 100 ? "1" : "0") + " longest=" + (frames >= 100 ? "1" : "0") +
            "\n";
    auto parsed = parseFrameLog(text);
    return std::get<FrameLog>(std::move(parsed));
}

// Pixels inside the area (less a border of 3 pixels, where the axes are) that are not white.
int drawnPixels(cairo_surface_t *image, const PlotArea &area) {
    const unsigned char *data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    int count = 0;
    for (int y = static_cast<int>(area.y) + 3; y < static_cast<int>(area.y + area.height) - 3;
         ++y) {
        const auto *row = reinterpret_cast<const std::uint32_t *>(data + y * stride);
        for (int x = static_cast<int>(area.x) + 3; x < static_cast<int>(area.x + area.width) - 3;
             ++x) {
            count += (row[x] & 0xFFFFFFu) != 0xFFFFFFu ? 1 : 0;
        }
    }
    return count;
}

struct Drawn {
    int intervals = 0;
    int histogram = 0;
};

// The log's plot written as dir/name.png and read back.
Drawn plotAndRead(const xtest::TempDir &dir, const std::string &name, const FrameLog &log) {
    std::string bytes;
    EXPECT_TRUE(renderPlot(PlotFormat::png, name, log, frameStats(log), bytes));
    const std::string path = (dir / (name + ".png")).string();
    EXPECT_EQ(writeWholeFile(path, bytes), std::nullopt);
    cairo_surface_t *image = cairo_image_surface_create_from_png(path.c_str());
    EXPECT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(image), plotWidth);
    EXPECT_EQ(cairo_image_surface_get_height(image), plotHeight);
    Drawn drawn;
    if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(image);
        drawn = {drawnPixels(image, plotLayout().intervals),
                 drawnPixels(image, plotLayout().histogram)};
    }
    cairo_surface_destroy(image);
    return drawn;
}

TEST(Plot, PngOfTheSizeWithBothPanelsDrawn) {
    const xtest::TempDir dir("moiravel-frame-report");
    const Drawn run = plotAndRead(dir, "run", makeLog(200));
    // The panels of a log without rows have only their grid and legend: the run's intervals and
    // bars must add to that.
    const Drawn empty = plotAndRead(dir, "empty", makeLog(0));
    EXPECT_GT(run.intervals, empty.intervals + 1000);
    EXPECT_GT(run.histogram, empty.histogram + 1000);

    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().extension(), ".png") << entry.path();
        ++files;
    }
    EXPECT_EQ(files, 2);
    EXPECT_NE(writeWholeFile((dir / "no-such-directory" / "plot.png").string(), "x"), std::nullopt);

    std::string svg;
    ASSERT_TRUE(renderPlot(PlotFormat::svg, "run", makeLog(200), frameStats(makeLog(200)), svg));
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_NE(svg.find("<svg"), std::string::npos);
}

} // namespace
} // namespace moiravel::frames
