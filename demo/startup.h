// SPDX-License-Identifier: MIT
// Start-up: the display resolution from README.txt, game mode, the scene.
#pragma once

#include <cstdint>
#include <istream>
#include <string>

// Reads "width separator height" from the start of in: white space skipped
// before each item, optionally signed decimal 32-bit integers, any one
// non-blank separator character. A read that fails leaves its field and every
// later one at 0. Returns false when the width could not be read.
bool readScreenSize(std::istream &in, std::int32_t &width, std::int32_t &height);

// The viewer from start to end: reads README.txt, opens the display, sets up the
// scene and runs the frames until Escape. Returns the exit status of a start-up
// that fails before the main loop (-1), or 0 should the main loop return.
int runViewer(int argc, char **argv);

// GLUT's game-mode string for the size at 32 bits per pixel: "1024x768:32".
std::string gameModeString(std::int32_t width, std::int32_t height);

// Where the picture goes: always one to one, never scaled, in an area of README.txt's size at
// the window's lower left. A display larger than README.txt shows black around it; a smaller
// one cuts off what lies beyond its edges. Where the sizes agree the area is the whole window,
// as the context's own viewport is; a display that only claims to have switched to
// README.txt's size still gets the picture in that area alone.
struct PictureArea {
    // True when README.txt's size is above 0 by 0: the viewport and scissor box are then the
    // lower-left width x height of the window. Otherwise they stay the window's own.
    bool setViewport = false;
    int width = 0;
    int height = 0;
    // The warning that the display is another size and what that does, or an empty string
    // when the sizes are the same.
    std::string warning;
};
PictureArea pictureArea(std::int32_t wantedWidth, std::int32_t wantedHeight, int gotWidth,
                        int gotHeight);
