// SPDX-License-Identifier: MIT
// moiravel-demo's entry function; everything else of the start-up is in startup.cpp, where the
// tests reach it.
#include "startup.h"

int main(int argc, char **argv) {
    return runViewer(argc, argv);
}
