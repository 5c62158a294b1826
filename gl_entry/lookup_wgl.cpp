// SPDX-License-Identifier: MIT
// Entry-point lookup for Windows.
#include "lookup.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>

namespace gl_entry {

ProcAddress lookupEntryPoint(const char *name) {
    const PROC address = wglGetProcAddress(name);
    // Some Windows drivers answer an unknown name with 1, 2, 3 or -1 instead of null.
    switch (reinterpret_cast<std::intptr_t>(address)) {
    case 1:
    case 2:
    case 3:
    case -1:
        return nullptr;
    default:
        return reinterpret_cast<ProcAddress>(address);
    }
}

} // namespace gl_entry
