// SPDX-License-Identifier: MIT
// What each drawing stage of a frame saves and restores of the OpenGL state.
#pragma once

#include <GL/gl.h>

// Every attribute group of OpenGL 1.1 (its GL_ALL_ATTRIB_BITS). Newer headers define that name
// as 0xFFFFFFFF, which sets bits no group of 1.1 has; the drawing stages keep to these.
inline constexpr GLbitfield allAttribBits = 0x000FFFFF;
