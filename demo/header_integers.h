// SPDX-License-Identifier: MIT
// The image reader's header numbers (width, height, maxval) read as the C
// library's "%i" conversion reads them. Only the numbers of one line of text:
// finding the header lines is the reader's job (ppm_reader.cpp).
#pragma once

#include <cstdint>

// Header numbers exactly as glibc's sscanf(text, "%i %i ...") converts them:
// stores up to count integers through targets (each the low 32 bits of the
// value saturated to the range of a 64-bit long) and returns what sscanf
// would: the number converted, or -1 when text holds only white space.
int scanHeaderIntegers(const char *text, std::uint32_t *const targets[], int count);
