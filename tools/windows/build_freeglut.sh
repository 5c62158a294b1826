#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Cross-builds freeglut as a static library for 64-bit Windows from Debian's own source
# package, for the Windows build of the viewer (Debian ships no mingw-w64 build of it).
#
# The source comes through tools/windows/fetch_debian_source.sh. Everything stays under the
# output directory, so a second run finds the installed library and fetches nothing.
#
# Usage: build_freeglut.sh OUTPUT_DIR TOOLCHAIN_FILE
# Leaves OUTPUT_DIR/freeglut-install with include/GL/*.h and lib/libglut.a (FREEGLUT_REPLACE_GLUT names it so),
# and the source's licence as share/doc/freeglut/COPYING for the zip.
set -euo pipefail

out=$(realpath -m "$1")
toolchain=$(realpath "$2")
install_dir=$out/freeglut-install
if [ -f "$install_dir/lib/libglut.a" ] && [ -f "$install_dir/include/GL/glut.h" ] \
    && [ -f "$install_dir/share/doc/freeglut/COPYING" ]; then
    exit 0
fi

bash "$(dirname "$0")/fetch_debian_source.sh" "$out" freeglut
src_dir=$out/freeglut-src

echo "build_freeglut: building a static freeglut for x86_64 Windows"
cmake -S "$src_dir/tree" -B "$out/freeglut-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$install_dir" \
    -DFREEGLUT_BUILD_SHARED_LIBS=OFF -DFREEGLUT_BUILD_STATIC_LIBS=ON \
    -DFREEGLUT_REPLACE_GLUT=ON -DFREEGLUT_BUILD_DEMOS=OFF -DFREEGLUT_GLES=OFF \
    -DCMAKE_POLICY_DEFAULT_CMP0077=NEW >/dev/null
cmake --build "$out/freeglut-build" -j"$(nproc 2>/dev/null || echo 2)" >/dev/null
cmake --install "$out/freeglut-build" >/dev/null
install -D -m 0644 "$src_dir/tree/COPYING" "$install_dir/share/doc/freeglut/COPYING"
test -f "$install_dir/lib/libglut.a"
