// SPDX-License-Identifier: MIT
// The overlay's 9x15 glyphs drawn with glBitmap from the table of GLUT's own 9x15 glyphs
// (overlay_glyphs.inc, made by tools/glyph_table/).
//
// What it does not do: draw strings, or set the colour or the raster position.
#include "bitmap_font.h"

#include <GL/gl.h>

#include <algorithm>
#include <iterator>

namespace {

#include "overlay_glyphs.inc"

} // namespace

const Glyph *overlayGlyph(int character) {
    const Glyph *found =
        std::lower_bound(std::begin(overlayGlyphs), std::end(overlayGlyphs), character,
                         [](const Glyph &glyph, int code) { return glyph.character < code; });
    if (found == std::end(overlayGlyphs) || found->character != character) {
        return nullptr;
    }
    return found;
}

void drawOverlayGlyph(int character) {
    const Glyph *glyph = overlayGlyph(character);
    if (glyph == nullptr) {
        return;
    }
    // The rows are packed to whole bytes, most significant bit first, with no row length or
    // skipping of their own: the unpack state is set so, and put back after.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glBitmap(glyph->width, glyph->height, static_cast<GLfloat>(glyph->xorig),
             static_cast<GLfloat>(glyph->yorig), static_cast<GLfloat>(glyph->advance), 0.0f,
             glyph->bits);
    glPopClientAttrib();
}
