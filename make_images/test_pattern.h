// SPDX-License-Identifier: MIT
// The built-in test picture: detail finer than a display pixel.
#pragma once

#include "picture.h"

#include <string_view>

namespace moiravel::images {

struct Region {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Draws text in the built-in 5 x 7 font with its top-left corner at (x, y); each font pixel is
// a scale x scale block and each character advances 6 * scale pixels. Lower case is drawn as
// upper case; characters without a glyph are drawn as '?'. Drawing is clipped to the picture.
void drawText(Picture &picture, int x, int y, std::string_view text, int scale,
              const float colour[3]);
int textWidth(std::string_view text, int scale);
inline int textHeight(int scale) {
    return 7 * scale;
}

struct TestPattern {
    Picture picture;
    Region highlight; // a part rich in fine detail, for previews
};

// A picture of width x height pixels meant to be shown at 1 / factor of its size: fine text at
// several sizes, a zone plate whose frequency rises to the picture's own Nyquist frequency, and
// groups of line pairs from twice the display's Nyquist period down to the picture's.
TestPattern makeTestPattern(int width, int height, int factor);

} // namespace moiravel::images
