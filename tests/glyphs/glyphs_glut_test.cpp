// SPDX-License-Identifier: MIT
// The overlay's glyph table (demo/bitmap_font.h) against GLUT_BITMAP_9_BY_15: both drawn into
// the same window of a private Xvfb, at the same raster positions, and read back with
// glReadPixels. Every character of the font is compared in a cell of its own, and the
// printable ASCII characters also as the overlay draws them: runs of text from fractional
// raster positions, with unpack state of the caller's that neither may heed.
//
// What it does not do: run the viewer (the end-to-end suites compare its screen with GLUT's
// text), or compare fonts other than 9x15.
// GoogleTest comes before the X11 headers, whose None and Bool macros it would trip over.
#include <gtest/gtest.h>

#include "bitmap_font.h"
#include "x_server.h"

#include <GL/freeglut.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

using moiravel::xtest::XServer;
using moiravel::xtest::XServerKind;

// Characters sit in a 16 x 16 grid of cells, each larger than the 9x15 glyph so that no glyph
// reaches into the next cell.
constexpr int gridColumns = 16;
constexpr int cellWidth = 16;
constexpr int cellHeight = 24;
constexpr int windowWidth = gridColumns * cellWidth;
constexpr int windowHeight = 256 / gridColumns * cellHeight;
constexpr int firstPrintable = 32;
constexpr int lastPrintable = 126;

using Picture = std::vector<std::uint8_t>; // RGB, rows bottom up

struct Window {
    std::unique_ptr<XServer> server;
    std::string unavailable; // why no window could be opened; empty when it is open

    // GLUT lets go of the display before the server stops, so that nothing talks to a server
    // that is gone when the program ends.
    ~Window() {
        if (server) {
            glutExit();
        }
    }
};

// Starts the Xvfb and opens GLUT's window on it, or says in window.unavailable why not.
void open(Window &window) {
    window.unavailable = XServer::unavailableReason(XServerKind::Xvfb);
    if (!window.unavailable.empty()) {
        return;
    }
    try {
        window.server = std::make_unique<XServer>(XServerKind::Xvfb, 640, 480);
    } catch (const std::exception &error) {
        window.unavailable = error.what();
        return;
    }
    setenv("DISPLAY", window.server->displayName().c_str(), 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    int argc = 1;
    char name[] = "moiravel_glyph_tests";
    char *argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    glutInitWindowSize(windowWidth, windowHeight);
    glutCreateWindow("glyphs");
    // The pictures are drawn and read back outside GLUT's callbacks; GLUT wants one.
    glutDisplayFunc([] {});
    glutMainLoopEvent();
    glViewport(0, 0, windowWidth, windowHeight);
}

// One Xvfb and one GLUT window for the whole program: GLUT starts once per process.
const Window &sharedWindow() {
    static Window window;
    static const bool opened = (open(window), true);
    static_cast<void>(opened);
    return window;
}

class GlyphsAgainstGlut : public ::testing::Test {
  protected:
    void SetUp() override {
        const Window &window = sharedWindow();
        if (!window.unavailable.empty()) {
            GTEST_SKIP() << "cannot start Xvfb here: " << window.unavailable;
        }
    }

    // What `draw` puts into the cleared back buffer, in yellow.
    static Picture picture(const std::function<void()> &draw) {
        glDrawBuffer(GL_BACK);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1, 1, 0);
        draw();
        glFinish();
        Picture pixels(static_cast<std::size_t>(windowWidth) * windowHeight * 3);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, windowWidth, windowHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    static void pixelCoordinates() {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, windowWidth, 0, windowHeight, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    static void unitCoordinates() {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    // The lit pixels of the cell at column x, row y (from the bottom).
    static int litPixels(const Picture &p, int x, int y) {
        int lit = 0;
        for (int row = y * cellHeight; row < (y + 1) * cellHeight; ++row) {
            for (int column = x * cellWidth; column < (x + 1) * cellWidth; ++column) {
                const std::size_t at = 3 * (static_cast<std::size_t>(row) * windowWidth + column);
                lit += (p[at] | p[at + 1] | p[at + 2]) != 0 ? 1 : 0;
            }
        }
        return lit;
    }

    // The cell at column x, row y as text, top row first: '#' for a lit pixel.
    static std::string cellArt(const Picture &p, int x, int y) {
        std::string art;
        for (int row = (y + 1) * cellHeight - 1; row >= y * cellHeight; --row) {
            art += "\n    ";
            for (int column = x * cellWidth; column < (x + 1) * cellWidth; ++column) {
                const std::size_t at = 3 * (static_cast<std::size_t>(row) * windowWidth + column);
                art += (p[at] | p[at + 1] | p[at + 2]) != 0 ? '#' : '.';
            }
        }
        return art;
    }

    static bool sameCell(const Picture &a, const Picture &b, int x, int y) {
        for (int row = y * cellHeight; row < (y + 1) * cellHeight; ++row) {
            const std::size_t from = 3 * (static_cast<std::size_t>(row) * windowWidth +
                                          static_cast<std::size_t>(x) * cellWidth);
            for (std::size_t k = from; k < from + 3 * cellWidth; ++k) {
                if (a[k] != b[k]) {
                    return false;
                }
            }
        }
        return true;
    }
};

// Each character 1..255 in its own cell, from an integer raster position: the glyph's pixels
// and the raster position it leaves behind are GLUT's, for every character, those GLUT only
// moves over (the space, 127..159, 0xa0) among them.
TEST_F(GlyphsAgainstGlut, EveryCharacterInACellOfItsOwn) {
    pixelCoordinates();
    std::vector<float> glutAdvance(256);
    std::vector<float> tableAdvance(256);
    const auto grid = [](void (*drawOne)(int), std::vector<float> &advance) {
        return [drawOne, &advance] {
            for (int c = 1; c < 256; ++c) {
                const int x = c % gridColumns * cellWidth + 2;
                const int y = c / gridColumns * cellHeight + 4;
                glRasterPos2i(x, y);
                drawOne(c);
                GLfloat position[4];
                glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
                advance[static_cast<std::size_t>(c)] = position[0] - static_cast<float>(x);
            }
        };
    };
    const Picture glut =
        picture(grid([](int c) { glutBitmapCharacter(GLUT_BITMAP_9_BY_15, c); }, glutAdvance));
    const Picture table = picture(grid(drawOverlayGlyph, tableAdvance));

    int identical = 0;
    int inTable = 0;
    int litInTable = 0;
    for (int c = 1; c < 256; ++c) {
        const int x = c % gridColumns;
        const int y = c / gridColumns;
        const float glutMove = glutAdvance[static_cast<std::size_t>(c)];
        const float tableMove = tableAdvance[static_cast<std::size_t>(c)];
        const bool same = sameCell(glut, table, x, y) && glutMove == tableMove;
        if (overlayGlyph(c) != nullptr) {
            ++inTable;
            litInTable += litPixels(table, x, y);
        }
        identical += same ? 1 : 0;
        EXPECT_TRUE(same) << "character " << c << " differs from GLUT's; advance " << glutMove
                          << " and " << tableMove << "; GLUT's:" << cellArt(glut, x, y)
                          << "\nthe table's:" << cellArt(table, x, y);
        if (c > ' ' && c <= lastPrintable) {
            EXPECT_GT(litPixels(table, x, y), 0) << "character " << c << " draws nothing";
        }
    }
    std::cout << "glyphs in the table: " << inTable << ", lit pixels " << litInTable
              << "; characters 1..255 identical to GLUT: " << identical << " of 255\n";
}

// Printable ASCII as the overlay draws it: lines of text from fractional raster positions in
// unit coordinates, advancing glyph by glyph, with the caller's unpack state set to values
// that would garble the bitmaps if heeded. Both leave that state as it was.
TEST_F(GlyphsAgainstGlut, PrintableTextAsTheOverlayDrawsIt) {
    unitCoordinates();
    const auto lines = [](void (*drawOne)(int)) {
        return [drawOne] {
            glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
            glPixelStorei(GL_UNPACK_LSB_FIRST, GL_TRUE);
            glPixelStorei(GL_UNPACK_ROW_LENGTH, 3);
            constexpr int perLine = 24;
            for (int first = firstPrintable; first <= lastPrintable; first += perLine) {
                glRasterPos2f(-0.93f,
                              0.9f - 0.37f * static_cast<float>(first - firstPrintable) / perLine);
                for (int c = first; c < first + perLine && c <= lastPrintable; ++c) {
                    drawOne(c);
                }
            }
            GLint alignment = 0;
            GLint lsbFirst = 0;
            GLint rowLength = 0;
            glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
            glGetIntegerv(GL_UNPACK_LSB_FIRST, &lsbFirst);
            glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
            EXPECT_EQ(alignment, 8);
            EXPECT_EQ(lsbFirst, GL_TRUE);
            EXPECT_EQ(rowLength, 3);
            glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
            glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
            glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        };
    };
    const Picture glut = picture(lines([](int c) { glutBitmapCharacter(GLUT_BITMAP_9_BY_15, c); }));
    const Picture table = picture(lines(drawOverlayGlyph));
    std::size_t lit = 0;
    std::size_t differing = 0;
    for (std::size_t k = 0; k < glut.size(); k += 3) {
        lit += (glut[k] | glut[k + 1] | glut[k + 2]) != 0 ? 1 : 0;
        differing +=
            glut[k] != table[k] || glut[k + 1] != table[k + 1] || glut[k + 2] != table[k + 2] ? 1
                                                                                              : 0;
    }
    std::cout << "printable text: " << lit << " lit pixels in GLUT's picture, " << differing
              << " pixels differ\n";
    EXPECT_GT(lit, 0u);
    EXPECT_EQ(differing, 0u);
}

} // namespace
