// SPDX-License-Identifier: MIT
#include "frame.h"

#include "draw_state.h"
#include "overlay.h"
#include "platform.h"
#include "refresh_check.h"

void advanceFrame(DemoState &state) {
    const int count = state.subimagesPerMode;
    const bool frozen = state.flickerFrozen;

    ++state.cycleFrame;
    if (!frozen) {
        ++state.subimage;
        state.cycleFrame = state.subimage;
    }
    if (state.cycleFrame >= count) {
        if (state.movementOn) {
            state.offsetX = static_cast<float>(static_cast<double>(state.offsetX) - 1.0);
            state.offsetY = static_cast<float>(static_cast<double>(state.offsetY) + 1.0);
        }
        state.cycleFrame = 0;
        if (!frozen) {
            state.subimage = 0;
        }
    }
    if (state.subimage >= count) {
        state.subimage = 0;
    }
}

int selectSubimage(DemoState &state) {
    // Wrapping 32-bit arithmetic, and a negative index counts as out of range.
    const std::uint32_t index = static_cast<std::uint32_t>(state.mode) *
                                    static_cast<std::uint32_t>(state.subimagesPerMode) +
                                static_cast<std::uint32_t>(state.subimage);
    if (state.subimageList.empty()) {
        state.mode = 0;
        return -1;
    }
    if (index >= state.subimageList.size()) {
        state.mode = wrappedMode(state.mode, true);
        return 0;
    }
    return static_cast<int>(index);
}

QuadCorners quadCorners(const DemoState &state) {
    const double screenWidth = state.screenWidth;
    const double screenHeight = state.screenHeight;
    const float sx = static_cast<float>((static_cast<double>(state.offsetX) * 2.0) / screenWidth);
    const float sy = static_cast<float>((static_cast<double>(state.offsetY) * 2.0) / screenHeight);
    QuadCorners corners;
    corners.left = static_cast<float>(static_cast<double>(sx) - 1.0);
    corners.bottom = static_cast<float>(static_cast<double>(sy) - 1.0);
    corners.right = static_cast<float>(
        ((static_cast<double>(state.imageWidth) / screenWidth) * 2.0 - 1.0) + sx);
    corners.top = static_cast<float>(
        ((static_cast<double>(state.imageHeight) / screenHeight) * 2.0 - 1.0) + sy);
    return corners;
}

void resetProjection(int, int) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void displayFrame() {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    // The whole window black, also outside the scissor box of a picture area
    // (setPictureViewport).
    glPushAttrib(GL_SCISSOR_BIT);
    glDisable(GL_SCISSOR_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPopAttrib();
    glDisable(GL_DEPTH_TEST);

    advanceFrame(demoState);
    const QuadCorners quad = quadCorners(demoState);

    glPushAttrib(allAttribBits);
    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
    const int entry = selectSubimage(demoState);
    if (entry >= 0) {
        glBindTexture(GL_TEXTURE_2D, demoState.subimageList[static_cast<std::size_t>(entry)]);
        // Texture row 0, the file's first row, goes to the top edge.
        glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 1.0f);
        glVertex2f(quad.left, quad.bottom);
        glTexCoord2f(1.0f, 1.0f);
        glVertex2f(quad.right, quad.bottom);
        glTexCoord2f(1.0f, 0.0f);
        glVertex2f(quad.right, quad.top);
        glTexCoord2f(0.0f, 0.0f);
        glVertex2f(quad.left, quad.top);
        glEnd();
    }
    glPopAttrib();

    drawOverlay();
    swapBuffers();
    watchRefresh();
}
