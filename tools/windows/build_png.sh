#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Cross-builds zlib and libpng as static libraries for 64-bit Windows from Debian's own source
# packages (zlib, libpng1.6), for the Windows build of the image tool (Debian ships no mingw-w64
# build of them). The sources come through tools/windows/fetch_debian_source.sh. Everything
# stays under the output directory, so a second run finds the installed libraries and fetches
# nothing.
#
# Usage: build_png.sh OUTPUT_DIR TOOLCHAIN_FILE
# Leaves OUTPUT_DIR/png-install with include/{zlib.h,zconf.h,png.h,pngconf.h,pnglibconf.h},
# lib/libz.a and lib/libpng.a, and the sources' licences as share/doc/zlib/LICENSE and
# share/doc/libpng/LICENSE for the zip.
set -euo pipefail

out=$(realpath -m "$1")
toolchain=$(realpath "$2")
install_dir=$out/png-install
if [ -f "$install_dir/lib/libz.a" ] && [ -f "$install_dir/lib/libpng.a" ] \
    && [ -f "$install_dir/share/doc/zlib/LICENSE" ] \
    && [ -f "$install_dir/share/doc/libpng/LICENSE" ]; then
    exit 0
fi
jobs=$(nproc 2>/dev/null || echo 2)
mkdir -p "$install_dir/include" "$install_dir/lib"

bash "$(dirname "$0")/fetch_debian_source.sh" "$out" zlib
bash "$(dirname "$0")/fetch_debian_source.sh" "$out" libpng1.6

# zlib with its own CMake files; only the static library is built.
echo "build_png: building a static zlib for x86_64 Windows"
zlib=$out/zlib-src/tree
cmake -S "$zlib" -B "$out/zlib-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out/zlib-build" -j"$jobs" --target zlibstatic >/dev/null
# zlib's CMake files write zconf.h into the build directory.
install -m 0644 "$zlib/zlib.h" "$out/zlib-build/zconf.h" "$install_dir/include/"
# The static library's name depends on the release (libzlibstatic.a, libz.a).
install -m 0644 "$(find "$out/zlib-build" -maxdepth 1 -name 'lib*.a' | head -n 1)" \
    "$install_dir/lib/libz.a"
install -D -m 0644 "$zlib/LICENSE" "$install_dir/share/doc/zlib/LICENSE"

echo "build_png: building a static libpng for x86_64 Windows"
png=$out/libpng1.6-src/tree
cmake -S "$png" -B "$out/libpng-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$out/libpng-stage" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_INCLUDE_DIR="$install_dir/include" -DZLIB_LIBRARY="$install_dir/lib/libz.a" \
    -DCMAKE_POLICY_DEFAULT_CMP0077=NEW >/dev/null
cmake --build "$out/libpng-build" -j"$jobs" --target png_static >/dev/null
for header in png.h pngconf.h; do
    install -m 0644 "$png/$header" "$install_dir/include/"
done
install -m 0644 "$out/libpng-build/pnglibconf.h" "$install_dir/include/"
# The static library's name depends on the release (libpng16.a, libpng16_static.a, ...).
install -m 0644 "$(find "$out/libpng-build" -maxdepth 1 -name 'libpng*.a' | head -n 1)" \
    "$install_dir/lib/libpng.a"
install -D -m 0644 "$png/LICENSE" "$install_dir/share/doc/libpng/LICENSE"
test -f "$install_dir/lib/libpng.a"
