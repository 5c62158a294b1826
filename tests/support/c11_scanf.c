// SPDX-License-Identifier: MIT
/* scanf's "%i" as C11 defines it: an optional sign, then decimal digits, or
   hexadecimal after 0x, or octal after a leading 0. Newer C libraries also
   read C23's 0b binary prefix (glibc from 2.38 on, whenever C23 or GNU
   features are asked for, as every C++ compilation does through
   _GNU_SOURCE). This file is compiled as plain C11, so that its sscanf keeps
   the reading that the image files have always had. */
#if defined(_GNU_SOURCE) || defined(_ISOC2X_SOURCE) || defined(_ISOC23_SOURCE)
#error "c11_scanf.c must be compiled as C11 without GNU or C23 features"
#endif

#include <stdio.h>

int c11ScanInteger(const char *text, int *value, int *length) {
    return sscanf(text, "%i%n", value, length);
}

int c11ScanIntegerPair(const char *text, int *first, int *second) {
    return sscanf(text, "%i %i", first, second);
}
