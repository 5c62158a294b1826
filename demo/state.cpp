// SPDX-License-Identifier: MIT
#include "state.h"

#include "image_set.h"

// Constant-initialised: every scalar holds its initial value before any code
// of the program runs, and the two containers start empty.
constinit DemoState demoState{};

std::int32_t wrappedMode(std::int32_t mode, bool entryMissing) {
    if (entryMissing || mode < -1) {
        return 0;
    }
    return mode == -1 ? moiravel::modeCount - 1 : mode;
}
