// SPDX-License-Identifier: MIT
// Draws text the way the overlay is meant to look, for the end-to-end tests to compare with
// the viewer's screen: a full-screen window (black), opened as the viewer opens its own when
// it does not use game mode, and for each pair of arguments
// "y" "text" the text in yellow GLUT_BITMAP_9_BY_15 from raster position (-0.1, y).
//   moiravel_e2e_text_reference WIDTH HEIGHT y1 text1 [y2 text2 ...]
// Runs until killed.
#include "display_probe.h"
#include "platform.h"
#include "full_screen_window.h"

#include <GL/glut.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::pair<float, std::string>> lines;

void frame() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 1, 0);
    for (const auto &[y, text] : lines) {
        glRasterPos2f(-0.1f, y);
        for (char c : text) {
            glutBitmapCharacter(GLUT_BITMAP_9_BY_15, static_cast<signed char>(c));
        }
    }
    glutSwapBuffers();
}

void reshape(int, int) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

} // namespace

int main(int argc, char **argv) {
    glutInit(&argc, argv);
    if (argc < 3) {
        return 2;
    }
    for (int i = 3; i + 1 < argc; i += 2) {
        lines.emplace_back(std::strtof(argv[i], nullptr), argv[i + 1]);
    }
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    const bool xwayland = runsUnderXwayland(probeDisplayServer(nullptr));
    openFullScreenWindow("overlay text reference", std::atoi(argv[1]), std::atoi(argv[2]),
                         xwayland ? FullScreenWay::ScreenSizedUnframed
                                  : FullScreenWay::AskAfterOpening);
    glutDisplayFunc(frame);
    glutIdleFunc(frame);
    glutReshapeFunc(reshape);
    glutMainLoop();
    return 0;
}
