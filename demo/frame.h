// SPDX-License-Identifier: MIT
// One frame: the subimage cycle, the diagonal movement, the textured quad.
#pragma once

#include "state.h"

// GLUT display and idle callback: advances the cycle by one frame, draws the
// selected subimage texel for display pixel, the overlay, and swaps buffers.
void displayFrame();

// GLUT reshape callback: identity projection and modelview, so all drawing is
// in normalised device coordinates. Width and height are not used, and the
// viewport stays as it is (freeglut sets none of its own while this callback is set).
void resetProjection(int width, int height);

// Advances cycleFrame and subimage by one frame and, when a cycle completes
// with the movement on, moves the image one pixel left and one up.
void advanceFrame(DemoState &state);

// The entry of subimageList to draw: mode * subimagesPerMode + subimage. An
// index outside the list sets mode back to 0 and selects entry 0. Returns -1,
// with mode set to 0, when the list is empty.
int selectSubimage(DemoState &state);

// The textured quad's edges in normalised device coordinates.
struct QuadCorners {
    float left;
    float bottom;
    float right;
    float top;
};

// Places the image's lower-left corner at (offsetX, offsetY) display pixels
// and makes each texel cover exactly one display pixel.
QuadCorners quadCorners(const DemoState &state);
