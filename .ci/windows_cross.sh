#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Cross-builds the OpenGL entry-point table (gl_entry/) for 32-bit Windows with mingw-w64
# (cmake/mingw-w64-i686.cmake), where APIENTRY is __stdcall, so that a real compiler checks the
# calling convention of every stub: the table, the WGL lookup, a program linking the two, and
# the fake-lookup tests, whose slot types are checked against mingw-w64's PFN...PROC types,
# and the viewer's code but its GLUT window system (compiled, not linked: no freeglut is built
# for 32 bits; MOIRAVEL_WINDOWS_NO_GLUT). The tests are not
# run: that needs Wine's 32-bit half, about 700 MB of i386 packages, and the 64-bit Wine "runs"
# a 32-bit program by printing nothing and ending with status 0, which must not pass for a test
# run. The 64-bit build runs its tests under Wine (tests/windows/run_under_wine.sh).
#
# Needs the Debian package g++-mingw-w64-i686 (and libgtest-dev, whose source the tests build
# GoogleTest from). Output goes to $BUILD_DIR (build-windows-i686).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-windows-i686}

cmake -S . -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
    -DCMAKE_BUILD_TYPE=Release -DMOIRAVEL_WINDOWS_NO_GLUT=ON -DBUILD_TESTING=ON \
    -DMOIRAVEL_WERROR=ON
cmake --build "$BUILD_DIR" -j"$(nproc)"
for program in gl_entry_link_check tests/gl_entry_tests; do
    test -f "$BUILD_DIR/$program.exe"
done
echo "windows_cross: built $BUILD_DIR/gl_entry_link_check.exe and tests/gl_entry_tests.exe"
