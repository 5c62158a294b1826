// SPDX-License-Identifier: MIT
// The C library's scanf "%i" as C11 has it, for tests that use the C library
// itself as the reference for header numbers.
#pragma once

extern "C" {
// sscanf(text, "%i%n", value, length): 1 and the characters taken, or 0 or -1.
int c11ScanInteger(const char *text, int *value, int *length);
// sscanf(text, "%i %i", first, second).
int c11ScanIntegerPair(const char *text, int *first, int *second);
}
