// SPDX-License-Identifier: MIT
// Entry-point lookup for GLX platforms.
#include "lookup.h"

#include <GL/glx.h>

namespace gl_entry {

ProcAddress lookupEntryPoint(const char *name) {
    return glXGetProcAddressARB(reinterpret_cast<const GLubyte *>(name));
}

} // namespace gl_entry
