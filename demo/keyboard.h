// SPDX-License-Identifier: MIT
// The viewer's keys.
#pragma once

#include "state.h"

// GLUT keyboard callback. Only key is used.
void handleKey(unsigned char key, int x, int y);

// What a key asks of the program beyond its change to the state.
enum class KeyRequest { none, toggleSwapInterval, quit };

// Applies a key's change to the state (mode never left negative) and tells
// what else it asks for.
KeyRequest applyKey(DemoState &state, unsigned char key);
