// SPDX-License-Identifier: MIT
// The demo's one record of shared state. GLUT callbacks carry no user
// pointer, so every function of the demo reaches the single instance
// `demoState` directly.
#pragma once

#include "pixel_buffer.h"

#include <GL/gl.h>

#include <cstdint>
#include <vector>

// Texture names; entry mode * subimagesPerMode + subimage is the one drawn.
using SubimageList = std::vector<GLuint>;

struct DemoState {
    std::int32_t screenWidth = 0;  // display size from README.txt, never changed after
    std::int32_t screenHeight = 0; // start-up
    std::uint32_t imageWidth = 0;  // size of the image loaded last
    std::uint32_t imageHeight = 0;
    // Declared before subimageList so that subimageList is released first.
    PixelBuffer pixelBuffer;
    SubimageList subimageList;
    std::int32_t mode = 0;
    std::int32_t subimagesPerMode = 2; // never written
    std::int32_t subimage = 0;
    std::int32_t cycleFrame = 0;
    float offsetX = 0.0f; // image displacement in display pixels; offsetX == -offsetY
    float offsetY = 0.0f;
    bool movementOn = true;
    bool flickerFrozen = false;
    std::int32_t swapIntervalOn = 0; // the swap interval requested last, 0 or 1
};

extern DemoState demoState;

// The wrap-around of mode. One step back from the first mode goes to the last. A mode that has
// no entry in the list (entryMissing, which the frame finds out) starts again at the first; the
// keys, which do not look at the list, leave a mode past the last as it is. Negative modes
// other than one step back also start again at the first.
std::int32_t wrappedMode(std::int32_t mode, bool entryMissing);
