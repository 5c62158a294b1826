// SPDX-License-Identifier: MIT
// Windows data types that the WGL entry points of the table take and return, declared for
// platforms without <windows.h>. They live in namespace gl_entry so that they cannot clash
// with same-named types of other headers (X11's <X11/Xmd.h> has its own BOOL and INT64).
#pragma once

#include <cstdint>

namespace gl_entry {

using BOOL = int;
using INT = int;
using INT32 = std::int32_t;
using INT64 = std::int64_t;
using UINT = unsigned int;
using USHORT = unsigned short;
using DWORD = std::uint32_t;
using FLOAT = float;
using VOID = void;
using LPVOID = void *;
using HANDLE = void *;

// Opaque handles, each its own pointer type as with Windows' STRICT handles.
struct DeviceContext;
struct RenderingContext;
struct PbufferArb;
struct PbufferExt;
using HDC = DeviceContext *;
using HGLRC = RenderingContext *;
using HPBUFFERARB = PbufferArb *;
using HPBUFFEREXT = PbufferExt *;

} // namespace gl_entry
