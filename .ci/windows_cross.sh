#!/usr/bin/env bash
# Cross-compiles the OpenGL entry-point table (gl_entry/) for 32-bit Windows with mingw-w64,
# where APIENTRY is __stdcall, so that a real compiler checks the calling convention of every
# stub. Then builds the fake-lookup tests for 32-bit Windows. They are not run: that needs Wine's
# 32-bit half, about 700 MB of i386 packages, and the 64-bit Wine "runs" a 32-bit program by
# printing nothing and ending with status 0, which must not pass for a test run. The 64-bit
# build runs its tests under Wine (tests/windows/run_under_wine.sh).
#
# Needs the Debian package g++-mingw-w64-i686 (the -posix compiler variant builds GoogleTest
# from /usr/src/googletest, package libgtest-dev). Output goes to $BUILD_DIR (build-windows-i686).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD_DIR=${BUILD_DIR:-$ROOT/build-windows-i686}
mkdir -p "$BUILD_DIR"

CXX_WIN32=i686-w64-mingw32-g++
CXX_POSIX=i686-w64-mingw32-g++-posix
FLAGS=(-std=c++20 -O2 -Wall -Wextra -Wpedantic -Werror -I"$ROOT")
GTEST_SRC=/usr/src/googletest/googletest

for tool in "$CXX_WIN32" "$CXX_POSIX"; do
    if ! command -v "$tool" >/dev/null; then
        echo "windows_cross: $tool not found (install g++-mingw-w64-i686)" >&2
        exit 1
    fi
done

echo "windows_cross: compiling the table and the WGL lookup with $CXX_WIN32"
"$CXX_WIN32" "${FLAGS[@]}" -c gl_entry/entry_points.cpp -o "$BUILD_DIR/entry_points.o"
"$CXX_WIN32" "${FLAGS[@]}" -c gl_entry/lookup_wgl.cpp -o "$BUILD_DIR/lookup_wgl.o"
"$CXX_WIN32" "${FLAGS[@]}" -c tools/gl_entry/windows_link_check.cpp \
    -o "$BUILD_DIR/windows_link_check.o"
"$CXX_WIN32" -static -o "$BUILD_DIR/gl_entry_link_check.exe" "$BUILD_DIR/windows_link_check.o" \
    "$BUILD_DIR/entry_points.o" "$BUILD_DIR/lookup_wgl.o" -lopengl32

# GoogleTest needs std::mutex, which only the posix thread model of mingw-w64 has; the tests
# and a second build of the table use that compiler. GoogleTest is built once per build dir.
echo "windows_cross: building the fake-lookup tests with $CXX_POSIX"
GTEST_FLAGS=(-std=c++20 -O1 -I"$GTEST_SRC/include" -I"$GTEST_SRC")
pids=()
for source in gtest-all gtest_main; do
    if [ ! -f "$BUILD_DIR/$source.o" ]; then
        "$CXX_POSIX" "${GTEST_FLAGS[@]}" -c "$GTEST_SRC/src/$source.cc" -o "$BUILD_DIR/$source.o" &
        pids+=($!)
    fi
done
# coverage_test.cpp checks the slot types against the PFN...PROC list of the GL headers.
mkdir -p "$BUILD_DIR/generated/gl_entry"
python3 tools/gl_entry/generate.py --include /usr/i686-w64-mingw32/include \
    --pfn-types "$BUILD_DIR/generated/gl_entry/glext_pfn_types.inc"
objects=()
for source in gl_entry/entry_points.cpp tests/gl_entry/entry_points_test.cpp \
    tests/gl_entry/coverage_test.cpp tests/gl_entry/slots.cpp tests/gl_entry/fake_lookup.cpp; do
    object="$BUILD_DIR/posix_$(basename "$source" .cpp).o"
    "$CXX_POSIX" "${FLAGS[@]}" -I"$GTEST_SRC/include" -I"$BUILD_DIR/generated" -c "$source" \
        -o "$object"
    objects+=("$object")
done
for pid in "${pids[@]}"; do
    wait "$pid"
done
"$CXX_POSIX" -static -o "$BUILD_DIR/gl_entry_tests.exe" "${objects[@]}" \
    "$BUILD_DIR/gtest-all.o" "$BUILD_DIR/gtest_main.o"
echo "windows_cross: built $BUILD_DIR/gl_entry_tests.exe and gl_entry_link_check.exe"

