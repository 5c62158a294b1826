// SPDX-License-Identifier: MIT
// The lazily resolved entry-point table: one process-global function pointer (slot) per entry
// point of names.txt, named exactly as the entry point (gl_entry::glBlendColor,
// gl_entry::wglSwapBuffersMscOML). Call an entry point by calling through its slot.
//
// Every slot starts out pointing at its stub. The first call looks the name up through
// gl_entry::lookupEntryPoint; on success the stub stores the address in the slot and forwards
// the call, so later calls go straight to the driver. On failure it returns the zero value of
// the result type (nothing, GL_FALSE, 0 or null), leaves the slot alone and tries again on the
// next call. Nothing is looked up before an entry point is first called.
#pragma once

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/wglext.h>
namespace gl_entry {
// The WGL types under the names that wgl_types.h gives them elsewhere: gl_entry::HDC, ...
using ::BOOL;
using ::DWORD;
using ::FLOAT;
using ::HANDLE;
using ::HDC;
using ::HGLRC;
using ::HPBUFFERARB;
using ::HPBUFFEREXT;
using ::INT;
using ::INT32;
using ::INT64;
using ::LPVOID;
using ::UINT;
using ::USHORT;
} // namespace gl_entry
#else
#include <GL/gl.h>
#include <GL/glext.h>
#include "wgl_types.h"
#endif

namespace gl_entry {

// The function-pointer type of each slot, named as the entry: types::glBlendColor.
namespace types {
#define GL_ENTRY_POINT(group, result, name, parameters, arguments)                                 \
    using name = result(APIENTRY *) parameters;
#include "entry_points.inc"
#undef GL_ENTRY_POINT
} // namespace types

#define GL_ENTRY_POINT(group, result, name, parameters, arguments) extern types::name name;
#include "entry_points.inc"
#undef GL_ENTRY_POINT

} // namespace gl_entry
