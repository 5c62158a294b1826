// SPDX-License-Identifier: MIT
// The one outside call the entry-point stubs make: find an entry point by its exact name.
// lookup_glx.cpp defines it with glXGetProcAddressARB, lookup_wgl.cpp with wglGetProcAddress;
// a test may link the table with a definition of its own instead.
#pragma once

namespace gl_entry {

using ProcAddress = void (*)();

// The address of the named entry point in the current driver, or null when there is none.
ProcAddress lookupEntryPoint(const char *name);

} // namespace gl_entry
