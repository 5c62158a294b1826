// Turning the four image files into textures.
#pragma once

#include <string>

// Sets up the OpenGL state, switches the swap interval on, loads
// "0Image.ppm" to "3Image.ppm" into textures and fills subimageList with
// T0 T1 T2 T3 T3 T3. On the first image that cannot be loaded, writes one line
// saying why to standard error and ends the process with status -1. Needs a current OpenGL context.
void initScene();

// The file name of image index (0 to 3).
std::string imageFileName(int index);
