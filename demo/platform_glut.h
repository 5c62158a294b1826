// SPDX-License-Identifier: MIT
// The window system through GLUT (platform_glut.cpp), shared by the X11 and the Windows
// backends: the functions of platform.h's window system that GLUT answers.
//
// What it does not do: the display's facts, outputs or presentation.
#pragma once

#include "platform.h"

namespace glut {

void initWindowSystem(int &argc, char **argv);
bool enterGameMode(const char *modeString, int &width, int &height);
void leaveGameMode();
int screenWidth();
int screenHeight();
void createWindow(const char *title, int x, int y, int width, int height, bool unframed);
void askForFullScreen();
void runMainLoop(const WindowCallbacks &callbacks);
void swapBuffers();
void *overlayFont();
void drawCharacter(void *font, int character);

} // namespace glut
