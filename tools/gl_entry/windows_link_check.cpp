// SPDX-License-Identifier: MIT
// Links the entry-point table with the WGL lookup for Windows. Run without a rendering context,
// every lookup answers null, so each call below must return its zero result.
#include "gl_entry/entry_points.h"

#include <cstdio>

int main() {
    gl_entry::glBlendColor(0.0f, 0.0f, 0.0f, 0.0f);
    const bool zero = gl_entry::glIsBuffer(1) == GL_FALSE &&
                      gl_entry::glMapBuffer(GL_ARRAY_BUFFER, GL_READ_ONLY) == nullptr &&
                      gl_entry::wglSwapBuffersMscOML(nullptr, 1, 2, 3) == 0;
    std::puts(zero ? "entry points unresolved without a context, as expected"
                   : "unexpected result without a context");
    return zero ? 0 : 1;
}
