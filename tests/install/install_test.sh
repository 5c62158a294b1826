#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Usage: install_test.sh BUILD_DIR SOURCE_DIR VERSION PROGRAM...
# Installs BUILD_DIR into a scratch prefix, checks the files `make install`
# promises (the PROGRAMs in bin/ and no other), and builds and runs a small
# program against the installed entry-point table twice: through
# find_package(MoiravelGlEntry) and through pkg-config. CXX, CXXFLAGS and
# LDFLAGS: the compiler and flags of the build.
set -euo pipefail
build=$1 source=$2 version=$3
shift 3
programs=("$@")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log"

fail() { echo "FAIL: $*" >&2; exit 1; }
for file in "${programs[@]/#/bin/}" share/doc/moiravel/README.md \
            share/doc/moiravel/make_images_modes.png include/gl_entry/entry_points.h \
            include/gl_entry/entry_points.inc include/gl_entry/lookup.h; do
    [ -f "$prefix/$file" ] || fail "not installed: $file"
done
pc=$(find "$prefix" -name moiravel-gl-entry.pc)
config=$(find "$prefix" -name MoiravelGlEntryConfig.cmake)
[ -n "$pc" ] && [ -n "$config" ] || fail "no moiravel-gl-entry.pc or MoiravelGlEntryConfig.cmake"
# Nothing of the tests or benchmarks.
expected=()
for program in "${programs[@]}"; do expected+=(-e "$prefix/bin/$program"); done
extra=$(find "$prefix/bin" -type f | grep -v -x -F "${expected[@]}" || true)
[ -z "$extra" ] || fail "installed more programs than ${programs[*]}: $extra"
# The tools (not the viewer) say the version.
for program in "${programs[@]}"; do
    [ "$program" = moiravel-demo ] && continue
    [ "$("$prefix/bin/$program" --version)" = "$program $version" ] \
        || fail "$program --version does not say $version"
done

echo "== find_package(MoiravelGlEntry)"
cmake -S "$source/tests/install/consumer" -B "$scratch/cmake" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_CXX_COMPILER="${CXX:-c++}" -DCMAKE_CXX_FLAGS="${CXXFLAGS:-}" \
    -DCMAKE_EXE_LINKER_FLAGS="${LDFLAGS:-}" >"$scratch/configure.log" \
    || { cat "$scratch/configure.log"; fail "configure through find_package"; }
cmake --build "$scratch/cmake" || fail "build through find_package"
"$scratch/cmake/consumer"

echo "== pkg-config moiravel-gl-entry"
export PKG_CONFIG_PATH=$(dirname "$pc")
[ "$(pkg-config --modversion moiravel-gl-entry)" = "$version" ] || fail "pkg-config version"
# shellcheck disable=SC2046,SC2086
"${CXX:-c++}" -std=c++20 ${CXXFLAGS:-} "$source/tests/install/consumer/main.cpp" \
    $(pkg-config --cflags --libs moiravel-gl-entry) ${LDFLAGS:-} -o "$scratch/consumer-pc" \
    || fail "build through pkg-config"
"$scratch/consumer-pc"
