// SPDX-License-Identifier: MIT
// The scene's OpenGL state: the viewport, and the four image files turned into textures.
#pragma once

#include "image_set.h"

#include <vector>

// Sets up the OpenGL state, switches the swap interval on, loads
// "0Image.ppm" to "3Image.ppm" into textures and fills subimageList with
// T0 T1 T2 T3 T3 T3. On the first image that cannot be loaded, writes one line
// saying why to standard error and ends the process with status -1. Needs a current OpenGL context.
void initScene();

// Makes the lower-left width x height of the current window the viewport and the scissor box,
// so that the picture and the overlay land in that area, one to one, and nothing outside it.
// Nothing resets them later: the reshape callback (resetProjection) leaves them alone, and
// each frame's clear covers the whole window.
void setPictureViewport(int width, int height);

using moiravel::imageFileName;

// The image file behind each entry of subimageList, mode by mode: 0 1 2 3 3 3, since mode 2
// shows the fourth image in both of its subimage slots.
std::vector<int> subimageFiles();
