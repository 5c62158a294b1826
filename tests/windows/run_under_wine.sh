#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the tests of the Windows build under Wine (64-bit only) and reports each case:
#   - the table's fake-lookup suites, the table against the real WGL driver and the reader's
#     Windows file access: Windows test programs, on an Xvfb of their own with Mesa;
#   - the image tool: moiravel-make-images.exe makes a set that must match the Linux tool's
#     for the same picture and options (tests/windows/compare_image_sets.sh), and the viewer
#     then shows that set on the same Xvfb;
#   - the end-to-end and bad-input suites (Linux test programs) against moiravel-demo.exe,
#     through tests/windows/wine_viewer.sh; each suite starts its own X server.
# A suite counts as passed only when it ends with status 0 and its own summary line says that
# more than zero tests passed and none failed: a program Wine cannot run prints nothing and
# may still end with status 0.
#
# Usage: run_under_wine.sh [WINDOWS_BUILD_DIR] [LINUX_BUILD_DIR]   (build-windows, build)
set -uo pipefail
cd "$(dirname "$0")/../.."
wrapper_dir=$PWD
windows_build=$(realpath "${1:-build-windows}")
linux_build=$(realpath "${2:-build}")
work=$(mktemp -d "${TMPDIR:-/tmp}/moiravel-wine.XXXXXX")
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEPREFIX
xvfb_pid=

# Wine's server and the programs it keeps in the background (the desktop window process)
# outlive the test programs and hold on to the X server they first met: they are ended after
# each suite, and no output of a Wine program goes through a pipe that they could keep open.
end_wine() {
    WINEPREFIX=$1 wineserver -k 2>/dev/null
    WINEPREFIX=$1 wineserver -w 2>/dev/null
}

cleanup() {
    for prefix in "$windows_build"/wine/prefix-*; do
        [ -d "$prefix" ] && end_wine "$prefix"
    done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# One prefix per kind of X server, since a prefix remembers its display mode. Made once,
# without a display, and kept in the build directory.
prefix_for() {
    local prefix=$windows_build/wine/prefix-$1
    if [ ! -f "$prefix/system.reg" ]; then
        mkdir -p "$prefix"
        env -u DISPLAY WINEPREFIX="$prefix" wineboot -i </dev/null >"$work/wineboot-$1.log" 2>&1
        end_wine "$prefix"
    fi
    echo "$prefix"
}

failures=0
# check NAME LOG STATUS: prints the suite's cases and its verdict.
check() {
    local name=$1 log=$2 status=$3 passed
    tr -d '\r' <"$log" >"$log.txt"
    grep -E '^\[ +(OK|FAILED|SKIPPED) +\] [^ ]+\.[^ ]+ \(' "$log.txt" | sed "s/^/  $name: /"
    passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\.$/\1/p' "$log.txt")
    if [ "$status" -eq 0 ] && [ "${passed:-0}" -gt 0 ] && ! grep -q '^\[  FAILED  \]' "$log.txt"; then
        echo "windows: $name passed ($passed tests)"
    else
        echo "windows: $name FAILED (status $status, summary: ${passed:-none} passed); its output:"
        sed 's/^/    /' "$log.txt"
        failures=$((failures + 1))
    fi
}

# Windows test programs on an Xvfb of their own.
prefix=$(prefix_for xvfb)
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
display=:$(head -n 1 "$work/display")
for program in gl_entry_tests gl_entry_wgl_tests ppm_reader_windows_tests; do
    DISPLAY=$display WINEPREFIX=$prefix timeout 300 wine "$windows_build/tests/$program.exe" \
        </dev/null >"$work/$program.log" 2>&1
    check "$program" "$work/$program.log" $?
done

# The image tool against the Linux one, then the viewer on its set until it has drawn its first
# frame: the frame log's file is made then, under its temporary name until the run ends.
image_tool() {
    local options=(--screen 800x600 --factor 2 --iterations 20 --threads 2)
    mkdir -p "$work/set-linux" "$work/set-windows"
    "$linux_build/make_images/moiravel-make-images" "${options[@]}" --out "$work/set-linux" \
        --preview "$work/set-linux/preview.png" >/dev/null || return 1
    (cd "$work" && DISPLAY=$display WINEPREFIX=$prefix timeout 600 wine \
        "$windows_build/moiravel-make-images.exe" "${options[@]}" --out set-windows \
        --preview set-windows/preview.png </dev/null >make-images.out 2>&1) || return 1
    bash tests/windows/compare_image_sets.sh "$work/set-linux" "$work/set-windows" || return 1
    (cd "$work/set-windows" && DISPLAY=$display WINEPREFIX=$prefix \
        MOIRAVEL_DEMO_WINDOWS_EXE="$windows_build/moiravel-demo.exe" \
        "$wrapper_dir/tests/windows/wine_viewer.sh" --frame-log frames.csv \
        </dev/null >viewer.out 2>viewer.err) &
    local viewer=$! drawn=0
    for _ in $(seq 600); do
        [ -e "$work/set-windows/frames.csv.incomplete" ] && drawn=1 && break
        kill -0 "$viewer" 2>/dev/null || break
        sleep 0.1
    done
    kill "$viewer" 2>/dev/null
    wait "$viewer" 2>/dev/null
    [ "$drawn" -eq 1 ] || {
        echo "moiravel-demo.exe drew no frame of the set"
        sed 's/^/    /' "$work/set-windows/viewer.out" "$work/set-windows/viewer.err"
        return 1
    }
    echo "moiravel-demo.exe drew the set"
}
if image_tool >"$work/image-tool.log" 2>&1; then
    sed 's/^/  make_images: /' "$work/image-tool.log"
    echo "windows: make_images passed"
else
    echo "windows: make_images FAILED; its output:"
    sed 's/^/    /' "$work/image-tool.log" "$work/make-images.out" 2>/dev/null
    failures=$((failures + 1))
fi
end_wine "$prefix"
kill "$xvfb_pid" 2>/dev/null
wait "$xvfb_pid" 2>/dev/null
xvfb_pid=

# The end-to-end suites against the Windows viewer.
run_suite() {
    local name=$1 program=$2 server=$3
    local prefix
    prefix=$(prefix_for "$server")
    (cd "$work" && MOIRAVEL_DEMO_BINARY="$wrapper_dir/tests/windows/wine_viewer.sh" \
        MOIRAVEL_DEMO_WINDOWS_EXE="$windows_build/moiravel-demo.exe" WINEPREFIX="$prefix" \
        timeout 900 "$program" --server="$server" </dev/null >"$work/$name.log" 2>&1)
    local status=$?
    end_wine "$prefix"
    check "$name" "$work/$name.log" "$status"
}
run_suite e2e.xvfb "$linux_build/tests/e2e/moiravel_e2e_tests" xvfb
run_suite e2e.xorg_dummy "$linux_build/tests/e2e/moiravel_e2e_tests" xorg_dummy
run_suite bad_input.xvfb "$linux_build/tests/bad_input/moiravel_bad_input_tests" xvfb

if [ "$failures" -gt 0 ]; then
    echo "windows: $failures suite(s) failed under Wine" >&2
    exit 1
fi
echo "windows: every suite passed under Wine"
