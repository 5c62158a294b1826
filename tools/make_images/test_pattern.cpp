#include "test_pattern.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <numbers>
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

TestPattern makeTestPattern(int width, int height, int factor) {
    const float grey[3] = {96, 96, 96};
    const float white[3] = {255, 255, 255};
    const float black[3] = {0, 0, 0};
    const float yellow[3] = {255, 230, 0};
    const float red[3] = {230, 20, 20};
    const float cyan[3] = {0, 200, 230};
    const float blue[3] = {20, 40, 200};
    TestPattern pattern{Picture(width, height, grey[0]), {}};
    Picture &picture = pattern.picture;
    const int k = std::max(1, factor);
    const int margin = 4 * k;

    // Title, legible at display resolution (font pixels of one display pixel and more).
    const int titleScale = 3 * k;
    const std::string title = "MOIRAVEL TEST PICTURE - FACTOR " + std::to_string(k);
    drawText(picture, margin, margin, title, titleScale, white);
    const int top = margin * 2 + textHeight(titleScale);

    // Left third: line pairs, vertical and horizontal, from twice the display's Nyquist period
    // (4 display pixels per pair) down to the picture's own (2 picture pixels per pair).
    std::vector<double> periods = {4.0 * k, 3.0 * k, 2.0 * k, 1.5 * k, 1.0 * k, 2.0};
    std::sort(periods.begin(), periods.end(), std::greater<>());
    periods.erase(std::unique(periods.begin(), periods.end()), periods.end());
    periods.erase(std::remove_if(periods.begin(), periods.end(), [](double p) { return p < 2; }),
                  periods.end());
    const int leftWidth = width / 3;
    const int rowHeight = std::max(1, (height - top - margin) / static_cast<int>(periods.size()));
    const int labelScale = k;
    for (std::size_t i = 0; i < periods.size(); ++i) {
        const int y0 = top + static_cast<int>(i) * rowHeight;
        std::string label = formatPixels(periods[i] / k);
        if (periods[i] == 2.0 * k) {
            label += " NYQUIST";
        }
        drawText(picture, margin, y0, label, labelScale, yellow);
        const int barsTop = y0 + textHeight(labelScale) + margin / 2;
        const int barsBottom = y0 + rowHeight - margin;
        const int blockWidth = (leftWidth - 3 * margin) / 2;
        fillRect(picture, margin - 1, barsTop - 1, margin + blockWidth + 1, barsBottom + 1, black);
        drawBars(picture, margin, barsTop, margin + blockWidth, barsBottom, periods[i], true);
        const int x1 = 2 * margin + blockWidth;
        fillRect(picture, x1 - 1, barsTop - 1, x1 + blockWidth + 1, barsBottom + 1, black);
        drawBars(picture, x1, barsTop, x1 + blockWidth, barsBottom, periods[i], false);
    }

    // Middle third: the zone plate.
    const int middleWidth = width / 3;
    const double radius = std::max(1.0, std::min(middleWidth, height - top) / 2.0 - margin);
    const double cx = leftWidth + middleWidth / 2.0;
    const double cy = top + (height - top) / 2.0;
    drawZonePlate(picture, cx, cy, radius);

    // Right third: text from one picture pixel per font pixel (a glyph smaller than 3 x 4
    // display pixels at factor 2) up to one display pixel per font pixel, in several colours.
    const int right = leftWidth + middleWidth + margin;
    const int textRegionWidth = width - right - margin;
    const std::string sentences[] = {
        "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789",
        "SPHINX OF BLACK QUARTZ, JUDGE MY VOW. (15% + 27/4 = 33.75)",
        "PACK MY BOX WITH FIVE DOZEN LIQUOR JUGS!",
    };
    struct TextStyle {
        int scale;
        const float *ink;
        const float *paper;
    };
    // The finest text in the middle of the stack, level with the zone plate's centre.
    const TextStyle styles[] = {{2, black, white}, {1, black, white}, {1, white, black},
                                {1, yellow, blue}, {2, red, cyan},    {k, black, white}};
    struct Block {
        TextStyle style;
        std::vector<std::string> lines;
        int height;
    };
    std::vector<Block> blocks;
    int stackHeight = 0;
    for (const TextStyle &style : styles) {
        // Wrap the sentences to the region's width.
        Block block{style, {}, 0};
        const int perLine = std::max(1, (textRegionWidth - 2 * style.scale) / (6 * style.scale));
        for (const std::string &sentence : sentences) {
            std::string line;
            std::size_t start = 0;
            while (start < sentence.size()) {
                std::size_t end = sentence.find(' ', start);
                if (end == std::string::npos) {
                    end = sentence.size();
                }
                const std::string word = sentence.substr(start, end - start);
                if (!line.empty() && static_cast<int>(line.size() + 1 + word.size()) > perLine) {
                    block.lines.push_back(line);
                    line.clear();
                }
                line += (line.empty() ? "" : " ") + word;
                start = end + 1;
            }
            block.lines.push_back(line);
        }
        block.height = static_cast<int>(block.lines.size()) * 9 * style.scale + 2 * style.scale;
        stackHeight += block.height + margin;
        blocks.push_back(std::move(block));
    }
    int y = std::max(top, static_cast<int>(cy) - stackHeight / 2);
    for (const Block &block : blocks) {
        if (y + block.height > height - margin) {
            break;
        }
        const TextStyle &style = block.style;
        fillRect(picture, right, y, right + textRegionWidth, y + block.height, style.paper);
        for (std::size_t i = 0; i < block.lines.size(); ++i) {
            drawText(picture, right + 2 * style.scale,
                     y + 2 * style.scale + static_cast<int>(i) * 9 * style.scale, block.lines[i],
                     style.scale, style.ink);
        }
        y += block.height + margin;
    }

    // The preview region: the zone plate's rim, at the picture's Nyquist frequency, beside the
    // finest text.
    const int previewWidth = std::min(width, 200 * k);
    const int previewHeight = std::min(height, 150 * k);
    pattern.highlight.width = previewWidth;
    pattern.highlight.height = previewHeight;
    pattern.highlight.x =
        std::clamp(static_cast<int>(cx + radius) - previewWidth * 2 / 5, 0, width - previewWidth);
    pattern.highlight.y =
        std::clamp(static_cast<int>(cy) - previewHeight / 2, 0, height - previewHeight);
    return pattern;
}

} // namespace moiravel::images
