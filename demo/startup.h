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

// The warning written when the window the viewer got is not the requested
// size, or an empty string when it is.
std::string windowSizeWarning(std::int32_t wantedWidth, std::int32_t wantedHeight, int gotWidth,
                              int gotHeight);
