// The overlay's 9x15 bitmap font without any window system's help: the glyphs of the X11
// misc-fixed 9x15 font for ISO 8859-1 (generated into overlay_glyphs.inc), and drawing one of
// them at the raster position as glutBitmapCharacter does with GLUT_BITMAP_9_BY_15.
//
// What it does not do: choose the font the overlay draws with (the platform's overlayFont()
// and drawCharacter() do), or draw characters the font lacks (127..159 among others).
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

// The glyph of character (0..255, ISO 8859-1); nullptr where the font has none.
const Glyph *overlayGlyph(int character);

// Draws character at the current raster position and moves the position right by its
// advance; nothing where the font has no glyph. Leaves the pixel unpack state as it was.
void drawOverlayGlyph(int character);
