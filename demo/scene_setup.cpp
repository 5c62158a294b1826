// SPDX-License-Identifier: MIT
#include "scene_setup.h"

#include "ppm_reader.h"
#include "state.h"
#include "swap_interval.h"

#include <cstdio>
#include <cstdlib>

std::vector<int> subimageFiles() {
    std::vector<int> files;
    for (const auto &mode : moiravel::modeImages) {
        files.insert(files.end(), mode.begin(), mode.end());
    }
    return files;
}

void setPictureViewport(int width, int height) {
    glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    // The overlay's bitmaps are drawn in window coordinates and would run past the
    // viewport's edge; the scissor box keeps them in the area too.
    glScissor(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    glEnable(GL_SCISSOR_TEST);
}

void initScene() {
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glShadeModel(GL_SMOOTH);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    // 0 -> 1 -> 0 -> 1: swaps wait for the display refresh from the first frame.
    toggleSwapInterval();
    toggleSwapInterval();
    toggleSwapInterval();

    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_REPLACE));

    SubimageList &textures = demoState.subimageList;
    textures.resize(moiravel::imageCount);
    glGenTextures(moiravel::imageCount, textures.data());
    for (int i = 0; i < moiravel::imageCount; ++i) {
        // Each image is uploaded before the next file is opened, so one
        // buffer serves all four. A failure says why on standard error only:
        // standard output keeps the start-up lines alone.
        const std::string fileName = imageFileName(i);
        PpmLoadError error;
        if (!loadPpmImageWithReason(fileName.c_str(), demoState.pixelBuffer, demoState.imageWidth,
                                    demoState.imageHeight, error)) {
            std::fprintf(stderr, "%s\n", ppmLoadErrorLine(fileName, error).c_str());
            std::exit(-1);
        }
        glBindTexture(GL_TEXTURE_2D, textures[static_cast<std::size_t>(i)]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        // Rows are packed with nothing between them, whatever the width.
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, static_cast<GLsizei>(demoState.imageWidth),
                     static_cast<GLsizei>(demoState.imageHeight), 0, GL_RGB, GL_UNSIGNED_BYTE,
                     demoState.pixelBuffer.data());
    }
    // One entry per mode and subimage: T0 T1 T2 T3 T3 T3.
    const SubimageList files = textures;
    textures.clear();
    for (const int file : subimageFiles()) {
        textures.push_back(files[static_cast<std::size_t>(file)]);
    }
}
