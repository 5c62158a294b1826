#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Cross-builds freeglut as a static library for 64-bit Windows from Debian's own source
# package, for the Windows build of the viewer (Debian ships no mingw-w64 build of it).
#
# The source comes through `apt-get source`, with deb-src entries derived at run time from
# this machine's apt sources (one-line sources.list files and deb822 .sources files alike),
# kept in a private apt directory: the system's apt configuration is not touched and no
# archive host is named here. Everything stays under the output directory, so a second run
# finds the installed library and fetches nothing.
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

apt_dir=$out/freeglut-apt
src_dir=$out/freeglut-src
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$src_dir"

# deb-src entries for every enabled deb entry of the machine's sources.
sources=$apt_dir/sources.list
: >"$sources"
for list in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$list" ] || continue
    sed -n 's/^[[:space:]]*deb[[:space:]]\+/deb-src /p' "$list" >>"$sources"
done
deb822=$apt_dir/sources.list.d
mkdir -p "$deb822"
rm -f "$deb822"/*.sources
for list in /etc/apt/sources.list.d/*.sources; do
    [ -f "$list" ] || continue
    # Stanzas whose Types include deb get deb-src instead; stanzas without deb are dropped.
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         {
             if ($0 ~ /(^|\n)[Ee]nabled:[ \t]*no/) next
             if (!match($0, /(^|\n)Types:[^\n]*/)) next
             types = substr($0, RSTART, RLENGTH)
             if (types !~ /[ \t]deb([ \t]|$)/) next
             sub(/(^|\n)Types:[^\n]*/, (substr(types, 1, 1) == "\n" ? "\n" : "") "Types: deb-src")
             print
         }' "$list" >"$deb822/$(basename "$list")"
done
if [ ! -s "$sources" ] && ! cat "$deb822"/*.sources 2>/dev/null | grep -q .; then
    echo "build_freeglut: no deb entries found in /etc/apt to derive deb-src entries from" >&2
    exit 1
fi

apt_options=(
    -o "Dir::Etc::SourceList=$sources"
    -o "Dir::Etc::SourceParts=$deb822"
    -o "Dir::State::Lists=$apt_dir/lists"
    -o "Dir::Cache::Archives=$apt_dir/cache/archives"
    -o "Dir::Cache::pkgcache=$apt_dir/cache/pkgcache.bin"
    -o "Dir::Cache::srcpkgcache=$apt_dir/cache/srcpkgcache.bin"
    -o "APT::Sandbox::User=root"
)
echo "build_freeglut: fetching Debian's freeglut source package"
# A repository without source packages fails its part of the update; the Debian ones suffice.
if ! apt-get "${apt_options[@]}" -qq update; then
    echo "build_freeglut: some deb-src entries could not be updated; trying the others" >&2
fi
(cd "$src_dir" && apt-get "${apt_options[@]}" -qq --download-only source freeglut)
dsc=$(ls "$src_dir"/freeglut_*.dsc | tail -n 1)
rm -rf "$src_dir/tree"
dpkg-source --no-check --no-copy -x "$dsc" "$src_dir/tree" >/dev/null

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
