#include "scene_setup.h"

#include "ppm_reader.h"
#include "state.h"
#include "swap_interval.h"

#include <cstdio>
#include <cstdlib>

std::string imageFileName(int index) {
    std::string name = "0Image.ppm";
    name[0] = static_cast<char>('0' + index);
    return name;
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
    textures.resize(4);
    glGenTextures(4, textures.data());
    for (int i = 0; i < 4; ++i) {
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
    // Mode 2 shows the fourth image in both of its subimage slots.
    textures.push_back(textures[3]);
    textures.push_back(textures[3]);
}
