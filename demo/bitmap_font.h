// SPDX-License-Identifier: MIT
// The overlay's 9x15 bitmap font without any window system's help: GLUT's own
// GLUT_BITMAP_9_BY_15 glyphs for characters 1..255 (read back from what freeglut draws, into
// overlay_glyphs.inc), and drawing one of them at the raster position as glutBitmapCharacter
// does, pixel for pixel and with the same advance.
//
// What it does not do: choose the font the overlay draws with (the platform's overlayFont()
// and drawCharacter() do), or draw character 0, which GLUT draws nothing for either.
#pragma once

// One glyph as glBitmap takes it: a width x height bitmap whose origin lies xorig pixels
// right of and yorig pixels above its lower left corner, and the distance the raster position
// moves right after it. Rows run bottom row first, each (width + 7) / 8 bytes with the
// leftmost pixel in the most significant bit.
struct Glyph {
    int character;
    int width;
    int height;
    int xorig;
    int yorig;
    int advance;
    const unsigned char *bits;
};

// The glyph of character (ISO 8859-1); nullptr for 0 and outside 1..255. Characters GLUT only
// moves over (the space, 127..159, 0xa0) have an empty bitmap and an advance.
const Glyph *overlayGlyph(int character);

// Draws character at the current raster position and moves the position right by its
// advance; nothing where there is no glyph. Leaves the pixel unpack state as it was.
void drawOverlayGlyph(int character);
