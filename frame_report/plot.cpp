// SPDX-License-Identifier: MIT
// The plot of a frame log drawn with cairo: the layout, the axes and their ticks, the two panels,
// and the PNG or SVG bytes. The figures come from frame_stats; nothing here reads or writes a file.
#include "plot.h"

#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace moiravel::frames {

namespace {

struct Colour {
    double r, g, b;
};

constexpr Colour ink{0.15, 0.15, 0.15};
constexpr Colour grid{0.88, 0.88, 0.88};
constexpr Colour intervalColour{0.16, 0.36, 0.70};
constexpr Colour missedColour{0.85, 0.15, 0.10};
constexpr Colour periodColour{0.10, 0.60, 0.25};
constexpr Colour barColour{0.45, 0.58, 0.80};

// Intervals beyond this many times the period (or the median interval) are drawn at the top of
// the first panel and counted in the histogram's last bin, so that one long pause does not
// flatten the rest.
constexpr double rangeLimit = 5.0;
constexpr double periodBin = 0.05;

void setColour(cairo_t *cr, Colour colour) {
    cairo_set_source_rgb(cr, colour.r, colour.g, colour.b);
}

// A step of 1, 2 or 5 times a power of ten that cuts span into about count pieces.
double niceStep(double span, int count) {
    const double raw = span / count;
    if (!(raw > 0) || !std::isfinite(raw)) {
        return 1;
    }
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (raw <= factor * power) {
            return factor * power;
        }
    }
    return 10.0 * power;
}

std::string tickText(double value, double step) {
    const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    char text[32];
    // A tick at zero reached from below prints as 0, not -0.
    std::snprintf(text, sizeof text, "%.*f", decimals, std::abs(value) < step * 1e-6 ? 0.0 : value);
    return text;
}

void showText(cairo_t *cr, const std::string &text, double x, double y, double alignX,
              double alignY) {
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    cairo_move_to(cr, x - alignX * extents.width - extents.x_bearing,
                  y - alignY * extents.height - extents.y_bearing);
    cairo_show_text(cr, text.c_str());
}

// A panel's data area with its value ranges, to place values in pixels.
struct Axes {
    PlotArea area;
    double xLow, xHigh, yLow, yHigh;
    double x(double value) const { return area.x + (value - xLow) / (xHigh - xLow) * area.width; }
    double y(double value) const {
        return area.y + area.height - (value - yLow) / (yHigh - yLow) * area.height;
    }
};

void drawAxes(cairo_t *cr, const Axes &axes, const std::string &xLabel, const std::string &yLabel) {
    const PlotArea &a = axes.area;
    cairo_set_font_size(cr, 12);
    cairo_set_line_width(cr, 1);
    const double xStep = niceStep(axes.xHigh - axes.xLow, 10);
    for (double value = std::ceil(axes.xLow / xStep) * xStep; value <= axes.xHigh + xStep * 1e-6;
         value += xStep) {
        const double px = std::round(axes.x(value)) + 0.5;
        setColour(cr, grid);
        cairo_move_to(cr, px, a.y);
        cairo_line_to(cr, px, a.y + a.height);
        cairo_stroke(cr);
        setColour(cr, ink);
        cairo_move_to(cr, px, a.y + a.height);
        cairo_line_to(cr, px, a.y + a.height + 5);
        cairo_stroke(cr);
        showText(cr, tickText(value, xStep), px, a.y + a.height + 8, 0.5, 0);
    }
    const double yStep = niceStep(axes.yHigh - axes.yLow, 6);
    for (double value = std::ceil(axes.yLow / yStep) * yStep; value <= axes.yHigh + yStep * 1e-6;
         value += yStep) {
        const double py = std::round(axes.y(value)) + 0.5;
        setColour(cr, grid);
        cairo_move_to(cr, a.x, py);
        cairo_line_to(cr, a.x + a.width, py);
        cairo_stroke(cr);
        setColour(cr, ink);
        cairo_move_to(cr, a.x - 5, py);
        cairo_line_to(cr, a.x, py);
        cairo_stroke(cr);
        showText(cr, tickText(value, yStep), a.x - 8, py, 1, 0.5);
    }
    setColour(cr, ink);
    cairo_rectangle(cr, a.x + 0.5, a.y + 0.5, a.width, a.height);
    cairo_stroke(cr);
    cairo_set_font_size(cr, 14);
    showText(cr, xLabel, a.x + a.width / 2, a.y + a.height + 28, 0.5, 0);
    cairo_save(cr);
    cairo_translate(cr, a.x - 62, a.y + a.height / 2);
    cairo_rotate(cr, -std::numbers::pi / 2);
    showText(cr, yLabel, 0, 0, 0.5, 0.5);
    cairo_restore(cr);
}

void drawLegend(cairo_t *cr, const PlotArea &area,
                const std::vector<std::pair<Colour, std::string>> &entries) {
    cairo_set_font_size(cr, 12);
    double y = area.y + 14;
    for (const auto &[colour, text] : entries) {
        setColour(cr, colour);
        cairo_rectangle(cr, area.x + area.width - 250, y - 5, 14, 10);
        cairo_fill(cr);
        setColour(cr, ink);
        showText(cr, text, area.x + area.width - 230, y, 0, 0.5);
        y += 18;
    }
}

// The scale the panels measure intervals against: the refresh period, else the median interval.
double referenceMs(const FrameLog &log, const FrameStats &stats) {
    if (log.trailer.periodNs > 0) {
        return static_cast<double>(log.trailer.periodNs) / 1e6;
    }
    return stats.p50Ms > 0 ? stats.p50Ms : 1.0;
}

void drawIntervals(cairo_t *cr, const PlotArea &area, const FrameLog &log,
                   const FrameStats &stats) {
    const std::vector<double> &intervals = stats.intervalsMs;
    const double reference = referenceMs(log, stats);
    const double longest =
        intervals.empty() ? reference : *std::max_element(intervals.begin(), intervals.end());
    const double top = std::max(std::min(longest, rangeLimit * reference), 1.5 * reference) * 1.1;
    // Interval i ends at row i + 1, whose frame number is i + 2.
    const Axes axes{area, 1, std::max(2.0, static_cast<double>(stats.frames)), 0, top};
    const char *clock = stats.clock == IntervalClock::present ? "present_ns" : "swap_ns";
    drawAxes(cr, axes, "frame", std::string("frame interval (ms, from ") + clock + ")");

    cairo_save(cr);
    cairo_rectangle(cr, area.x, area.y, area.width, area.height);
    cairo_clip(cr);
    if (log.trailer.periodNs > 0) {
        setColour(cr, periodColour);
        cairo_set_line_width(cr, 1.5);
        const double dashes[] = {6, 4};
        cairo_set_dash(cr, dashes, 2, 0);
        cairo_move_to(cr, area.x, axes.y(reference));
        cairo_line_to(cr, area.x + area.width, axes.y(reference));
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
    }
    const auto point = [&](std::size_t i) {
        return std::pair{axes.x(static_cast<double>(i + 2)),
                         axes.y(std::min(intervals[i], top * 0.995))};
    };
    setColour(cr, intervalColour);
    cairo_set_line_width(cr, 1);
    for (std::size_t i = 0; i < intervals.size(); ++i) {
        const auto [x, y] = point(i);
        i == 0 ? cairo_move_to(cr, x, y) : cairo_line_to(cr, x, y);
    }
    cairo_stroke(cr);
    setColour(cr, missedColour);
    for (std::size_t i = 0; i < intervals.size(); ++i) {
        if (log.trailer.notJudged.empty() && log.rows[i + 1].missed.value_or(0) > 0) {
            const auto [x, y] = point(i);
            cairo_arc(cr, x, y, 3.5, 0, 2 * std::numbers::pi);
            cairo_fill(cr);
        }
    }
    cairo_restore(cr);

    std::vector<std::pair<Colour, std::string>> legend = {{intervalColour, "frame interval"},
                                                          {missedColour, "frame with missed > 0"}};
    if (log.trailer.periodNs > 0) {
        char text[64];
        std::snprintf(text, sizeof text, "refresh period %.3f ms", reference);
        legend.push_back({periodColour, text});
    }
    drawLegend(cr, area, legend);
}

void drawHistogram(cairo_t *cr, const PlotArea &area, const FrameLog &log,
                   const FrameStats &stats) {
    const bool inPeriods = log.trailer.periodNs > 0;
    const double reference = referenceMs(log, stats);
    const double scale = inPeriods ? reference : 1.0; // ms per unit of the axis
    std::vector<double> values;
    for (const double interval : stats.intervalsMs) {
        values.push_back(interval / scale);
    }
    const double longest = values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    const double limit = rangeLimit * reference / scale;
    const double upper = std::max(std::min(longest, limit), 2.0 * reference / scale);
    const double bin = inPeriods ? periodBin : niceStep(upper, 80);
    // Bin i holds the values nearest to i * bin, so that an interval of exactly one period sits
    // on the period's line; values beyond upper join the last bin.
    const std::size_t binCount = static_cast<std::size_t>(std::round(upper / bin)) + 1;
    std::vector<std::size_t> counts(binCount, 0);
    for (const double value : values) {
        const auto index = static_cast<std::size_t>(std::round(std::max(0.0, value / bin)));
        ++counts[std::min(index, binCount - 1)];
    }
    const std::size_t most = counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
    const Axes axes{area, -bin / 2, (static_cast<double>(binCount) - 0.5) * bin, 0,
                    std::max(1.0, static_cast<double>(most) * 1.1)};
    drawAxes(cr, axes,
             inPeriods ? "frame interval (refresh periods, bins of 0.05)"
                       : "frame interval (ms; no refresh period known, bins of " +
                             tickText(bin, bin) + " ms)",
             "intervals");
    setColour(cr, barColour);
    for (std::size_t i = 0; i < binCount; ++i) {
        if (counts[i] > 0) {
            const double left = axes.x((static_cast<double>(i) - 0.5) * bin);
            const double right = axes.x((static_cast<double>(i) + 0.5) * bin);
            // A bin of one interval stays visible beside thousands.
            const double topY =
                std::min(axes.y(static_cast<double>(counts[i])), area.y + area.height - 2);
            cairo_rectangle(cr, left + 0.5, topY, std::max(1.0, right - left - 1),
                            area.y + area.height - topY);
        }
    }
    cairo_fill(cr);
    if (inPeriods) {
        setColour(cr, periodColour);
        cairo_set_line_width(cr, 1.5);
        cairo_move_to(cr, axes.x(1.0), area.y);
        cairo_line_to(cr, axes.x(1.0), area.y + area.height);
        cairo_stroke(cr);
    }
}

void drawPlot(cairo_t *cr, const std::string &logName, const FrameLog &log,
              const FrameStats &stats) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 18);
    setColour(cr, ink);
    const std::string output =
        log.trailer.output == "-" ? "output not known" : "output " + log.trailer.output;
    showText(cr, logName + ": " + std::to_string(stats.frames) + " frames, " + output,
             plotWidth / 2.0, 22, 0.5, 0);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    const PlotLayout layout = plotLayout();
    drawIntervals(cr, layout.intervals, log, stats);
    drawHistogram(cr, layout.histogram, log, stats);
}

cairo_status_t append(void *closure, const unsigned char *data, unsigned int length) {
    static_cast<std::string *>(closure)->append(reinterpret_cast<const char *>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

PlotLayout plotLayout() {
    return {{100, 60, 1070, 360}, {100, 500, 1070, 240}};
}

bool renderPlot(PlotFormat format, const std::string &logName, const FrameLog &log,
                const FrameStats &stats, std::string &bytes) {
    bytes.clear();
    cairo_surface_t *surface =
        format == PlotFormat::png
            ? cairo_image_surface_create(CAIRO_FORMAT_RGB24, plotWidth, plotHeight)
            : cairo_svg_surface_create_for_stream(append, &bytes, plotWidth, plotHeight);
    cairo_t *cr = cairo_create(surface);
    drawPlot(cr, logName, log, stats);
    bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    if (format == PlotFormat::png) {
        drawn = drawn &&
                cairo_surface_write_to_png_stream(surface, append, &bytes) == CAIRO_STATUS_SUCCESS;
    }
    cairo_surface_finish(surface);
    drawn = drawn && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return drawn;
}

} // namespace moiravel::frames
