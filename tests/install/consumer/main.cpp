// SPDX-License-Identifier: MIT
// A program of someone else's that uses an installed entry-point table: it needs the headers,
// the table and the platform's lookup. Calls nothing through the table (there is no context).
#include "gl_entry/entry_points.h"
#include "gl_entry/lookup.h"

#include <cstdio>

int main() {
    if (gl_entry::glBlendColor == nullptr ||
        gl_entry::lookupEntryPoint("glBlendColor") == nullptr) {
        std::puts("glBlendColor: no slot or no address");
        return 1;
    }
    std::puts("gl_entry consumer: ok");
    return 0;
}
