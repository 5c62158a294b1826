// SPDX-License-Identifier: MIT
#include "test_pattern.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace moiravel::images {

namespace {

struct Glyph {
    char character;
    std::array<unsigned char, 7> rows; // bit 4 is the leftmost column
};

constexpr Glyph glyphs[] = {
    {' ', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {'!', {0x04, 0x04, 0x04, 0x04, 0x04, 0x00, 0x04}},
    {'%', {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03}},
    {'\'', {0x04, 0x04, 0x08, 0x00, 0x00, 0x00, 0x00}},
    {'(', {0x02, 0x04, 0x08, 0x08, 0x08, 0x04, 0x02}},
    {')', {0x08, 0x04, 0x02, 0x02, 0x02, 0x04, 0x08}},
    {'+', {0x00, 0x04, 0x04, 0x1f, 0x04, 0x04, 0x00}},
    {',', {0x00, 0x00, 0x00, 0x00, 0x0c, 0x04, 0x08}},
    {'-', {0x00, 0x00, 0x00, 0x1f, 0x00, 0x00, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0c, 0x0c}},
    {'/', {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00}},
    {'0', {0x0e, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0e}},
    {'1', {0x04, 0x0c, 0x04, 0x04, 0x04, 0x04, 0x0e}},
    {'2', {0x0e, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1f}},
    {'3', {0x1f, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0e}},
    {'4', {0x02, 0x06, 0x0a, 0x12, 0x1f, 0x02, 0x02}},
    {'5', {0x1f, 0x10, 0x1e, 0x01, 0x01, 0x11, 0x0e}},
    {'6', {0x06, 0x08, 0x10, 0x1e, 0x11, 0x11, 0x0e}},
    {'7', {0x1f, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0e, 0x11, 0x11, 0x0e, 0x11, 0x11, 0x0e}},
    {'9', {0x0e, 0x11, 0x11, 0x0f, 0x01, 0x02, 0x0c}},
    {':', {0x00, 0x0c, 0x0c, 0x00, 0x0c, 0x0c, 0x00}},
    {'=', {0x00, 0x00, 0x1f, 0x00, 0x1f, 0x00, 0x00}},
    {'?', {0x0e, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04}},
    {'A', {0x0e, 0x11, 0x11, 0x1f, 0x11, 0x11, 0x11}},
    {'B', {0x1e, 0x11, 0x11, 0x1e, 0x11, 0x11, 0x1e}},
    {'C', {0x0e, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0e}},
    {'D', {0x1e, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1e}},
    {'E', {0x1f, 0x10, 0x10, 0x1e, 0x10, 0x10, 0x1f}},
    {'F', {0x1f, 0x10, 0x10, 0x1e, 0x10, 0x10, 0x10}},
    {'G', {0x0e, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0f}},
    {'H', {0x11, 0x11, 0x11, 0x1f, 0x11, 0x11, 0x11}},
    {'I', {0x0e, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0e}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0c}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1f}},
    {'M', {0x11, 0x1b, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0e, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0e}},
    {'P', {0x1e, 0x11, 0x11, 0x1e, 0x10, 0x10, 0x10}},
    {'Q', {0x0e, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0d}},
    {'R', {0x1e, 0x11, 0x11, 0x1e, 0x14, 0x12, 0x11}},
    {'S', {0x0f, 0x10, 0x10, 0x0e, 0x01, 0x01, 0x1e}},
    {'T', {0x1f, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0e}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0a, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0a}},
    {'X', {0x11, 0x11, 0x0a, 0x04, 0x0a, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x0a, 0x04, 0x04, 0x04, 0x04}},
    {'Z', {0x1f, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1f}},
};

const Glyph &glyphFor(char c) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const Glyph *fallback = nullptr;
    for (const Glyph &glyph : glyphs) {
        if (glyph.character == upper) {
            return glyph;
        }
        if (glyph.character == '?') {
            fallback = &glyph;
        }
    }
    return *fallback;
}

void fillRect(Picture &picture, int x0, int y0, int x1, int y1, const float colour[3]) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, picture.width);
    y1 = std::min(y1, picture.height);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            std::copy(colour, colour + 3, picture.pixel(x, y));
        }
    }
}

// Integral over [0, t) of a square wave of the given period that is 1 in the first half of
// each period and 0 in the second.
double squareIntegral(double t, double period) {
    const double cycles = std::floor(t / period);
    return cycles * period / 2 + std::min(t - cycles * period, period / 2);
}

// Mean of that square wave over [a, b): the exact coverage of a pixel by the bars.
double squareCoverage(double a, double b, double period) {
    return (squareIntegral(b, period) - squareIntegral(a, period)) / (b - a);
}

// Bars of the given period in picture pixels inside [x0, x1) x [y0, y1), starting with a
// bright bar at the block's left (or top) edge.
void drawBars(Picture &picture, int x0, int y0, int x1, int y1, double period, bool vertical) {
    for (int y = std::max(y0, 0); y < std::min(y1, picture.height); ++y) {
        for (int x = std::max(x0, 0); x < std::min(x1, picture.width); ++x) {
            const double along = vertical ? x - x0 : y - y0;
            const auto value = static_cast<float>(255.0 * squareCoverage(along, along + 1, period));
            float *p = picture.pixel(x, y);
            p[0] = p[1] = p[2] = value;
        }
    }
}

// A circular zone plate of radius r centred at (cx, cy): cos(pi r^2 / (2 radius)), whose local
// frequency r / (2 radius) cycles per pixel reaches the picture's Nyquist frequency at the rim.
void drawZonePlate(Picture &picture, double cx, double cy, double radius) {
    const int y0 = std::max(0, static_cast<int>(cy - radius));
    const int y1 = std::min(picture.height, static_cast<int>(cy + radius) + 1);
    const int x0 = std::max(0, static_cast<int>(cx - radius));
    const int x1 = std::min(picture.width, static_cast<int>(cx + radius) + 1);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const double dx = x + 0.5 - cx;
            const double dy = y + 0.5 - cy;
            const double r2 = dx * dx + dy * dy;
            if (r2 > radius * radius) {
                continue;
            }
            const auto value =
                static_cast<float>(127.5 + 127.5 * std::cos(std::numbers::pi * r2 / (2 * radius)));
            float *p = picture.pixel(x, y);
            p[0] = p[1] = p[2] = value;
        }
    }
}

std::string formatPixels(double displayPixels) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2g PX", displayPixels);
    return text;
}

} // namespace

void drawText(Picture &picture, int x, int y, std::string_view text, int scale,
              const float colour[3]) {
    for (std::size_t n = 0; n < text.size(); ++n) {
        const Glyph &glyph = glyphFor(text[n]);
        const int left = x + static_cast<int>(n) * 6 * scale;
        for (int row = 0; row < 7; ++row) {
            for (int col = 0; col < 5; ++col) {
                if (glyph.rows[row] & (0x10 >> col)) {
                    fillRect(picture, left + col * scale, y + row * scale, left + (col + 1) * scale,
                             y + (row + 1) * scale, colour);
                }
            }
        }
    }
}

int textWidth(std::string_view text, int scale) {
    return text.empty() ? 0 : (static_cast<int>(text.size()) * 6 - 1) * scale;
}

namespace {

constexpr float white[3] = {255, 255, 255};
constexpr float black[3] = {0, 0, 0};
constexpr float yellow[3] = {255, 230, 0};

// Where the parts of the picture go; all in picture pixels.
struct Layout {
    int width = 0;
    int height = 0;
    int factor = 1;
    int margin = 0;
    int top = 0; // below the title
    int leftWidth = 0;
    int middleWidth = 0;
};

// The title, legible at display resolution (font pixels of one display pixel and more).
void drawTitle(Picture &picture, const Layout &layout) {
    const std::string title = "MOIRAVEL TEST PICTURE - FACTOR " + std::to_string(layout.factor);
    drawText(picture, layout.margin, layout.margin, title, 3 * layout.factor, white);
}

// Left third: line pairs, vertical and horizontal, from twice the display's Nyquist period
// (4 display pixels per pair) down to the picture's own (2 picture pixels per pair).
void drawLinePairs(Picture &picture, const Layout &layout) {
    const int k = layout.factor;
    const int margin = layout.margin;
    std::vector<double> periods = {4.0 * k, 3.0 * k, 2.0 * k, 1.5 * k, 1.0 * k, 2.0};
    std::sort(periods.begin(), periods.end(), std::greater<>());
    periods.erase(std::unique(periods.begin(), periods.end()), periods.end());
    periods.erase(std::remove_if(periods.begin(), periods.end(), [](double p) { return p < 2; }),
                  periods.end());
    const int rowHeight =
        std::max(1, (layout.height - layout.top - margin) / static_cast<int>(periods.size()));
    const int blockWidth = (layout.leftWidth - 3 * margin) / 2;
    for (std::size_t i = 0; i < periods.size(); ++i) {
        const int y0 = layout.top + static_cast<int>(i) * rowHeight;
        std::string label = formatPixels(periods[i] / k);
        if (periods[i] == 2.0 * k) {
            label += " NYQUIST";
        }
        drawText(picture, margin, y0, label, k, yellow);
        const int barsTop = y0 + textHeight(k) + margin / 2;
        const int barsBottom = y0 + rowHeight - margin;
        for (const bool vertical : {true, false}) {
            const int x0 = vertical ? margin : 2 * margin + blockWidth;
            fillRect(picture, x0 - 1, barsTop - 1, x0 + blockWidth + 1, barsBottom + 1, black);
            drawBars(picture, x0, barsTop, x0 + blockWidth, barsBottom, periods[i], vertical);
        }
    }
}

// The words of the sentences wrapped to lines of at most perLine characters.
std::vector<std::string> wrapSentences(std::span<const std::string> sentences, int perLine) {
    std::vector<std::string> lines;
    for (const std::string &sentence : sentences) {
        std::string line;
        std::size_t start = 0;
        while (start < sentence.size()) {
            const std::size_t end = std::min(sentence.find(' ', start), sentence.size());
            const std::string word = sentence.substr(start, end - start);
            if (!line.empty() && static_cast<int>(line.size() + 1 + word.size()) > perLine) {
                lines.push_back(line);
                line.clear();
            }
            line += (line.empty() ? "" : " ") + word;
            start = end + 1;
        }
        lines.push_back(line);
    }
    return lines;
}

// Right third: text from one picture pixel per font pixel (a glyph smaller than 3 x 4 display
// pixels at factor 2) up to one display pixel per font pixel, in several colours, the finest
// in the middle of the stack, level with centreY.
void drawTextBlocks(Picture &picture, const Layout &layout, double centreY) {
    const float red[3] = {230, 20, 20};
    const float cyan[3] = {0, 200, 230};
    const float blue[3] = {20, 40, 200};
    const int margin = layout.margin;
    const int right = layout.leftWidth + layout.middleWidth + margin;
    const int regionWidth = layout.width - right - margin;
    const std::string sentences[] = {
        "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789",
        "SPHINX OF BLACK QUARTZ, JUDGE MY VOW. (15% + 27/4 = 33.75)",
        "PACK MY BOX WITH FIVE DOZEN LIQUOR JUGS!",
    };
    struct Block {
        int scale;
        const float *ink;
        const float *paper;
        std::vector<std::string> lines;
        int height = 0;
    };
    std::vector<Block> blocks = {{2, black, white, {}}, {1, black, white, {}},
                                 {1, white, black, {}}, {1, yellow, blue, {}},
                                 {2, red, cyan, {}},    {layout.factor, black, white, {}}};
    int stackHeight = 0;
    for (Block &block : blocks) {
        const int perLine = std::max(1, (regionWidth - 2 * block.scale) / (6 * block.scale));
        block.lines = wrapSentences(sentences, perLine);
        block.height = static_cast<int>(block.lines.size()) * 9 * block.scale + 2 * block.scale;
        stackHeight += block.height + margin;
    }
    int y = std::max(layout.top, static_cast<int>(centreY) - stackHeight / 2);
    for (const Block &block : blocks) {
        if (y + block.height > layout.height - margin) {
            break;
        }
        fillRect(picture, right, y, right + regionWidth, y + block.height, block.paper);
        for (std::size_t i = 0; i < block.lines.size(); ++i) {
            drawText(picture, right + 2 * block.scale,
                     y + 2 * block.scale + static_cast<int>(i) * 9 * block.scale, block.lines[i],
                     block.scale, block.ink);
        }
        y += block.height + margin;
    }
}

} // namespace

TestPattern makeTestPattern(int width, int height, int factor) {
    TestPattern pattern{Picture(width, height, 96.0f), {}};
    Picture &picture = pattern.picture;
    Layout layout;
    layout.width = width;
    layout.height = height;
    layout.factor = std::max(1, factor);
    layout.margin = 4 * layout.factor;
    layout.top = layout.margin * 2 + textHeight(3 * layout.factor);
    layout.leftWidth = width / 3;
    layout.middleWidth = width / 3;

    drawTitle(picture, layout);
    drawLinePairs(picture, layout);
    // Middle third: the zone plate.
    const double radius =
        std::max(1.0, std::min(layout.middleWidth, height - layout.top) / 2.0 - layout.margin);
    const double cx = layout.leftWidth + layout.middleWidth / 2.0;
    const double cy = layout.top + (height - layout.top) / 2.0;
    drawZonePlate(picture, cx, cy, radius);
    drawTextBlocks(picture, layout, cy);

    // The preview region: the zone plate's rim, at the picture's Nyquist frequency, beside the
    // finest text.
    const int k = layout.factor;
    Region &region = pattern.highlight;
    region.width = std::min(width, 200 * k);
    region.height = std::min(height, 150 * k);
    region.x =
        std::clamp(static_cast<int>(cx + radius) - region.width * 2 / 5, 0, width - region.width);
    region.y = std::clamp(static_cast<int>(cy) - region.height / 2, 0, height - region.height);
    return pattern;
}

} // namespace moiravel::images
