#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows part of continuous integration, from package install to test results:
#   - 32-bit (i686) compile checks (.ci/windows_cross.sh): the entry-point table with its
#     fake-lookup tests, and the viewer's code but its GLUT window system, where the WGL calls
#     are __stdcall;
#   - `make windows`: the 64-bit viewer, its zip and its test programs, warnings as errors;
#   - every Windows test under Wine (tests/windows/run_under_wine.sh), the end-to-end suites
#     included, which use the Linux test programs of $LINUX_BUILD_DIR (build).
# Prints the time it took.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)
phase() {
    echo "windows: $1 after $(($(date +%s) - started)) s"
}
LINUX_BUILD_DIR=${LINUX_BUILD_DIR:-build}
WINDOWS_BUILD_DIR=${WINDOWS_BUILD_DIR:-build-windows}

# mingw-w64, Wine, zip and the rest come from tools/packages.txt.
tools/install_deps.sh windows ci-only

# The table and the viewer's Windows code (swap interval through WGL, the reader's file
# access) in 32-bit mingw-w64, where the WGL calls are __stdcall.
bash .ci/windows_cross.sh
phase "packages and 32-bit compile checks done"

make windows WINDOWS_BUILD_DIR="$WINDOWS_BUILD_DIR" CMAKE_FLAGS="-DMOIRAVEL_WERROR=ON"
test -f "$WINDOWS_BUILD_DIR/moiravel-demo.exe"
test -f "$WINDOWS_BUILD_DIR/moiravel-windows-x86_64.zip"
phase "64-bit build (freeglut included) done"

if [ ! -x "$LINUX_BUILD_DIR/tests/e2e/moiravel_e2e_tests" ] ||
    [ ! -x "$LINUX_BUILD_DIR/tests/bad_input/moiravel_bad_input_tests" ]; then
    make configure BUILD_DIR="$LINUX_BUILD_DIR" CMAKE_FLAGS="-DMOIRAVEL_WERROR=ON"
    cmake --build "$LINUX_BUILD_DIR" -j"$(nproc)" --target moiravel_e2e_tests \
        moiravel_bad_input_tests
fi
phase "Linux e2e test programs ready"
bash tests/windows/run_under_wine.sh "$WINDOWS_BUILD_DIR" "$LINUX_BUILD_DIR"

echo "windows: the Windows part of CI took $(($(date +%s) - started)) s"
