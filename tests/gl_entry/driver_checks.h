// SPDX-License-Identifier: MIT
// Checks shared by the table's real-driver tests (GLX on Linux, WGL on Windows): with an
// OpenGL context current, entries called through the table resolve to exactly what the
// platform's own lookup answers for their names, and reach the driver.
#pragma once

#include "gl_entry/lookup.h"

namespace driver_checks {

// The platform's lookup by name, as the test calls it for comparison.
using PlatformLookup = gl_entry::ProcAddress (*)(const char *name);

// glActiveTexture and the buffer-object entries through the table (GoogleTest expectations).
void expectTextureUnitAndBufferEntriesWork(PlatformLookup lookup);

} // namespace driver_checks
