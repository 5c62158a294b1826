// SPDX-License-Identifier: MIT
// Generic access to every slot of the entry-point table, for tests that go over all entries.
#pragma once

#include "gl_entry/lookup.h"

#include <vector>

namespace slots {

struct Slot {
    const char *group;
    const char *name;
    const char *resultType;
    gl_entry::ProcAddress (*read)();
    void (*write)(gl_entry::ProcAddress);
    // Calls through the slot with value-initialised arguments; true when the result is the
    // value-initialised result (always true for void).
    bool (*callWithZeros)();
    // Calls through the slot with distinct argument values (see marker in slots.cpp); true when
    // the result is recorder's marker result (always true for void).
    bool (*callWithMarkers)();
    // A function of the slot's type that counts its calls and checks callWithMarkers' arguments.
    gl_entry::ProcAddress recorder;
};

// Every slot, in table order.
const std::vector<Slot> &all();

// The slots' values before any test code ran (their stubs), in table order.
const std::vector<gl_entry::ProcAddress> &initialValues();

// Writes the initial values back, undoing resolutions made by earlier tests.
void restoreInitialValues();

// Calls of the recorders, and those among them whose arguments differed from the markers.
int recorderCalls();
int recorderCallsWithWrongArguments();

} // namespace slots
