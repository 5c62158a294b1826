// SPDX-License-Identifier: MIT
// The yellow text drawn over the image in every frame.
#pragma once

#include "state.h"

#include <array>
#include <string>
#include <vector>

// Draws the six overlay lines for the current state.
void drawOverlay();

// Draws text with a GLUT bitmap font from the current raster position;
// null or empty text draws nothing.
void drawText(void *font, const char *text);

// Draws value in decimal with a GLUT bitmap font.
void drawNumber(void *font, int value);

// The display name of a mode.
std::string modeName(int mode);

// The characters drawNumber draws for value.
std::string numberText(int value);

// One piece of an overlay line: a literal, or a number drawn in decimal.
struct OverlayPiece {
    std::string text;
    bool isNumber = false;
    int number = 0;
};

struct OverlayLine {
    float x;
    float y;
    std::vector<OverlayPiece> pieces;
};

inline constexpr int overlayLineCount = 6;

// The overlay's lines, positions in normalised device coordinates.
std::array<OverlayLine, overlayLineCount> overlayLines(const DemoState &state);

// A line's text as it appears on screen.
std::string overlayLineText(const OverlayLine &line);
