// SPDX-License-Identifier: MIT
// The window system through GLUT (freeglut), the same on X11 and on Windows: start-up, game
// mode, windows, the main loop, the buffer swap and bitmap text.
//
// What it does not do: look at the display or the placement of windows, or read clocks and
// refresh counters (the display's and the presentation's platform files do).
#include "platform_glut.h"

#include <GL/freeglut.h>

namespace glut {

void initWindowSystem(int &argc, char **argv) {
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
}

bool enterGameMode(const char *modeString, int &width, int &height) {
    glutGameModeString(modeString);
    glutEnterGameMode();
    if (!glutGameModeGet(GLUT_GAME_MODE_ACTIVE) || glutGetWindow() == 0) {
        return false;
    }
    width = glutGameModeGet(GLUT_GAME_MODE_WIDTH);
    height = glutGameModeGet(GLUT_GAME_MODE_HEIGHT);
    return true;
}

void leaveGameMode() {
    glutLeaveGameMode();
}

int screenWidth() {
    return glutGet(GLUT_SCREEN_WIDTH);
}

int screenHeight() {
    return glutGet(GLUT_SCREEN_HEIGHT);
}

void createWindow(const char *title, int x, int y, int width, int height, bool unframed) {
    if (unframed) {
        // GLUT_BORDERLESS asks for no decorations (Motif hints) before the window is mapped;
        // the position and size go out as user-specified hints.
        glutInitDisplayMode(static_cast<unsigned>(glutGet(GLUT_INIT_DISPLAY_MODE)) |
                            GLUT_BORDERLESS);
    }
    glutInitWindowPosition(x, y);
    glutInitWindowSize(width, height);
    // GLUT makes the new window's context current and waits until the window is mapped.
    glutCreateWindow(title);
}

void askForFullScreen() {
    glutFullScreen();
}

void runMainLoop(const WindowCallbacks &callbacks) {
    glutDisplayFunc(callbacks.display);
    glutIdleFunc(callbacks.display);
    glutReshapeFunc(callbacks.reshape);
    glutKeyboardFunc(callbacks.keyboard);
    glutMainLoop();
}

void swapBuffers() {
    glutSwapBuffers();
}

void *overlayFont() {
    return GLUT_BITMAP_9_BY_15;
}

void drawCharacter(void *font, int character) {
    glutBitmapCharacter(font, character);
}

} // namespace glut
