// SPDX-License-Identifier: MIT
// moiravel-make-glyph-table: writes the overlay's glyph table (demo/overlay_glyphs.inc) from
// GLUT's own GLUT_BITMAP_9_BY_15, as freeglut draws it on the X server of $DISPLAY. Each
// character 1..255 is drawn with glutBitmapCharacter into a cell of its own and read back with
// glReadPixels; its glyph is the bounding box of its lit pixels, placed so that glBitmap at the
// same raster position lights the same pixels, and its advance is how far the raster position
// moved.
//
//   moiravel-make-glyph-table OUTPUT
//
// What it does not do: start an X server (the build target regenerate-glyph-table runs it
// under xvfb-run), read any font file, or make tables of fonts other than 9x15.
#include <GL/freeglut.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr const char *programName = "moiravel-make-glyph-table";
constexpr int firstCharacter = 1; // glutBitmapCharacter draws nothing for 0
constexpr int lastCharacter = 255;

// Characters sit in a 16 x 16 grid of cells, character c in column c % 16 and row c / 16 from
// the bottom, each drawn from the raster position in the pixel originInCell pixels right of and
// above its cell's lower left corner. A cell leaves room around the 9x15 glyph on every side; a lit
// pixel on a cell's edge means the glyph may reach beyond it, and the run fails.
constexpr int gridColumns = 16;
constexpr int gridRows = 16;
constexpr int cellSize = 24;
constexpr int originInCell = 8;
constexpr int windowWidth = gridColumns * cellSize;
constexpr int windowHeight = gridRows * cellSize;
// How far from a whole pixel the projection's rounding may leave a raster position.
constexpr float rasterSlack = 1.0f / 1024;
constexpr int bytesALine = 16; // of the bitmap bytes in the table, within its 100 columns

// One byte a pixel of the window, nonzero where lit; rows bottom row first.
using Picture = std::vector<unsigned char>;

// A glyph as glBitmap takes it (the fields of demo/bitmap_font.h's Glyph), with its rows bottom
// row first, each (width + 7) / 8 bytes, the leftmost pixel in the most significant bit.
struct MeasuredGlyph {
    int character = 0;
    int width = 0;
    int height = 0;
    int xorig = 0;
    int yorig = 0;
    int advance = 0;
    std::vector<unsigned char> rows;
};

[[noreturn]] void fail(const std::string &what) {
    std::fprintf(stderr, "%s: %s\n", programName, what.c_str());
    std::exit(1);
}

int cellLeft(int character) {
    return character % gridColumns * cellSize;
}
int cellBottom(int character) {
    return character / gridColumns * cellSize;
}

bool lit(const Picture &picture, int x, int y) {
    return picture[static_cast<std::size_t>(y) * windowWidth + static_cast<std::size_t>(x)] != 0;
}

// The glyph of character's cell in picture: the bounding box of its lit pixels, with the origin
// at the cell's raster position. A cell with nothing lit gives an empty bitmap.
MeasuredGlyph cutGlyph(const Picture &picture, int character, int advance) {
    const int left = cellLeft(character);
    const int bottom = cellBottom(character);
    int minX = cellSize;
    int maxX = -1;
    int minY = cellSize;
    int maxY = -1;
    for (int y = 0; y < cellSize; ++y) {
        for (int x = 0; x < cellSize; ++x) {
            if (!lit(picture, left + x, bottom + y)) {
                continue;
            }
            if (x == 0 || y == 0 || x == cellSize - 1 || y == cellSize - 1) {
                fail("character " + std::to_string(character) +
                     " reaches the edge of its cell: the cells are too small for the font");
            }
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
    }
    MeasuredGlyph glyph;
    glyph.character = character;
    glyph.advance = advance;
    if (maxX < 0) {
        return glyph;
    }
    glyph.width = maxX - minX + 1;
    glyph.height = maxY - minY + 1;
    glyph.xorig = originInCell - minX;
    glyph.yorig = originInCell - minY;
    const int rowBytes = (glyph.width + 7) / 8;
    for (int y = minY; y <= maxY; ++y) {
        std::vector<unsigned char> row(static_cast<std::size_t>(rowBytes), 0);
        for (int x = minX; x <= maxX; ++x) {
            if (lit(picture, left + x, bottom + y)) {
                row[static_cast<std::size_t>((x - minX) / 8)] |=
                    static_cast<unsigned char>(0x80u >> ((x - minX) % 8));
            }
        }
        glyph.rows.insert(glyph.rows.end(), row.begin(), row.end());
    }
    return glyph;
}

// Draws every character with GLUT into its cell of the back buffer and reads the glyphs back.
// Characters GLUT neither draws nor advances over are left out.
std::vector<MeasuredGlyph> measureGlutGlyphs() {
    glViewport(0, 0, windowWidth, windowHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, windowWidth, 0, windowHeight, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDrawBuffer(GL_BACK);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 1);

    std::vector<int> advances(lastCharacter + 1, 0);
    for (int c = firstCharacter; c <= lastCharacter; ++c) {
        // The centre of the pixel, so that rounding in the projection cannot move the raster
        // position into the pixel left of or below it.
        const float x = static_cast<float>(cellLeft(c) + originInCell) + 0.5f;
        const float y = static_cast<float>(cellBottom(c) + originInCell) + 0.5f;
        glRasterPos2f(x, y);
        glutBitmapCharacter(GLUT_BITMAP_9_BY_15, c);
        GLint valid = GL_FALSE;
        glGetIntegerv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
        GLfloat position[4];
        glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
        const float moved = position[0] - x;
        if (valid != GL_TRUE || std::fabs(position[1] - y) > rasterSlack ||
            std::fabs(moved - std::round(moved)) > rasterSlack) {
            fail("character " + std::to_string(c) +
                 " leaves the raster position invalid, moved up or between pixels");
        }
        advances[static_cast<std::size_t>(c)] = static_cast<int>(std::lround(moved));
    }
    glFinish();

    std::vector<unsigned char> rgb(static_cast<std::size_t>(windowWidth) * windowHeight * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, windowWidth, windowHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    if (glGetError() != GL_NO_ERROR) {
        fail("OpenGL reports an error drawing or reading back the glyphs");
    }
    Picture picture(static_cast<std::size_t>(windowWidth) * windowHeight);
    for (std::size_t k = 0; k < picture.size(); ++k) {
        picture[k] = rgb[3 * k] | rgb[3 * k + 1] | rgb[3 * k + 2];
    }

    std::vector<MeasuredGlyph> glyphs;
    for (int c = firstCharacter; c <= lastCharacter; ++c) {
        MeasuredGlyph glyph = cutGlyph(picture, c, advances[static_cast<std::size_t>(c)]);
        if (glyph.width > 0 || glyph.advance != 0) {
            glyphs.push_back(std::move(glyph));
        }
    }
    return glyphs;
}

std::string characterName(int c) {
    char name[8];
    if (c > 0x20 && c < 0x7f && c != '\\') {
        std::snprintf(name, sizeof name, "'%c'", c);
    } else {
        std::snprintf(name, sizeof name, "0x%02x", c);
    }
    return name;
}

constexpr const char *tableHeader =
    R"(// SPDX-License-Identifier: X11
// The overlay's 9x15 glyphs: GLUT_BITMAP_9_BY_15 as freeglut draws it, one entry a character
// of 1..255 that glutBitmapCharacter draws or moves the raster position over: glBitmap's width,
// height, x and y origin and advance, and the rows bottom row first, each padded to a whole
// byte with the leftmost pixel in the most significant bit. A character GLUT moves over
// without drawing anything has an empty bitmap.
//
// Generated by moiravel-make-glyph-table (tools/glyph_table/), which draws each character with
// glutBitmapCharacter on an X server, reads the pixels back and cuts each glyph to its lit
// pixels. Do not edit; regenerate with
//   cmake --build build --target regenerate-glyph-table
// which runs `moiravel-make-glyph-table demo/overlay_glyphs.inc` under
// `xvfb-run -a -s "-screen 0 640x480x24"` (any X server of 24 bits a pixel will do).
// `ctest -R glyphs` checks that this file is what that gives, and that it draws as GLUT does.
//
// The glyphs are freeglut's built-in copy of the X11 misc-fixed 9x15 font (a public domain
// font). freeglut is under the X Consortium (MIT) licence:
//   Copyright (C) 1999-2000 Pawel W. Olszta. All Rights Reserved.
//
//   Permission is hereby granted, free of charge, to any person obtaining a copy of this
//   software and associated documentation files (the "Software"), to deal in the Software
//   without restriction, including without limitation the rights to use, copy, modify, merge,
//   publish, distribute, sublicense, and/or sell copies or substantial portions of the
//   Software.
//
//   The above copyright notice and this permission notice shall be included in all copies or
//   substantial portions of the Software.
//
//   THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR IMPLIED,
//   INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY, FITNESS FOR A PARTICULAR
//   PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL PAWEL W. OLSZTA BE LIABLE FOR ANY CLAIM,
//   DAMAGES OR OTHER LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING
//   FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER DEALINGS IN THE
//   SOFTWARE.
//
//   Except as contained in this notice, the name of Pawel W. Olszta shall not be used in
//   advertising or otherwise to promote the sale, use or other dealings in this Software
//   without prior written authorization from Pawel W. Olszta.
//
// Included by demo/bitmap_font.cpp alone, after the declaration of Glyph.

// clang-format off
constexpr unsigned char overlayGlyphBits[] = {
)";

std::string tableText(const std::vector<MeasuredGlyph> &glyphs) {
    std::string text = tableHeader;
    std::string entries;
    std::size_t offset = 0;
    char line[160];
    for (const MeasuredGlyph &glyph : glyphs) {
        const std::string name = characterName(glyph.character);
        if (!glyph.rows.empty()) {
            text += "    // " + name + " at " + std::to_string(offset) + "\n";
            for (std::size_t at = 0; at < glyph.rows.size(); at += bytesALine) {
                text += "   ";
                for (std::size_t k = at; k < glyph.rows.size() && k < at + bytesALine; ++k) {
                    std::snprintf(line, sizeof line, " 0x%02x,", glyph.rows[k]);
                    text += line;
                }
                text += "\n";
            }
        }
        std::snprintf(line, sizeof line,
                      "    {%d, %d, %d, %d, %d, %d, overlayGlyphBits + %zu}, // ", glyph.character,
                      glyph.width, glyph.height, glyph.xorig, glyph.yorig, glyph.advance, offset);
        entries += line + name + "\n";
        offset += glyph.rows.size();
    }
    text += "};\n\n// Sorted by character code.\nconstexpr Glyph overlayGlyphs[] = {\n";
    text += entries;
    text += "};\n// clang-format on\n";
    return text;
}

// Writes text to path whole or not at all: a temporary file beside it, synced, then renamed.
void writeWhole(const std::string &path, const std::string &text) {
    const std::string temporary = path + ".tmp";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        fail("cannot write " + temporary);
    }
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n <= 0) {
            close(fd);
            unlink(temporary.c_str());
            fail("cannot write " + temporary);
        }
        written += static_cast<std::size_t>(n);
    }
    if (fsync(fd) != 0 || close(fd) != 0 || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        fail("cannot write " + path);
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", programName);
        return 2;
    }
    const std::string output = argv[1];
    if (std::getenv("DISPLAY") == nullptr) {
        fail("DISPLAY is not set: run it on an X server (xvfb-run)");
    }
    int glutArgc = 1;
    char *glutArgv[] = {argv[0], nullptr};
    glutInit(&glutArgc, glutArgv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    glutInitWindowSize(windowWidth, windowHeight);
    glutCreateWindow(programName);
    // Drawing and reading back happen outside GLUT's callbacks; GLUT wants a display callback.
    glutDisplayFunc([] {});
    glutMainLoopEvent();
    if (glutGet(GLUT_WINDOW_WIDTH) != windowWidth || glutGet(GLUT_WINDOW_HEIGHT) != windowHeight) {
        fail("the window is not " + std::to_string(windowWidth) + "x" +
             std::to_string(windowHeight) + ": the screen is too small");
    }
    const std::vector<MeasuredGlyph> glyphs = measureGlutGlyphs();
    writeWhole(output, tableText(glyphs));
    std::printf("%s: %zu glyphs of GLUT_BITMAP_9_BY_15 into %s\n", programName, glyphs.size(),
                output.c_str());
    glutExit();
    return 0;
}
