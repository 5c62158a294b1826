#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Usage: screenshot_test.sh SCREENSHOT_PROGRAM
# moiravel-screenshot on a small Xvfb with a black and then a white root
# window: --size prints the screen's size, and the PNG has that size and the
# root window's colour in every pixel (read back with netpbm's pngtopnm).
set -euo pipefail
program=$1
scratch=$(mktemp -d)
xvfb=
trap '[ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null; rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

run_on() { # ROOT_OPTION EXPECTED_SAMPLE
    local display=
    for n in $(seq 140 199); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
    done
    [ -n "$display" ] || fail "no free display number"
    Xvfb "$display" -screen 0 64x48x24 "$1" -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do
        DISPLAY=$display "$program" --size >"$scratch/size" 2>/dev/null && break
        sleep 0.1
    done
    [ "$(cat "$scratch/size")" = "64x48" ] || fail "--size printed '$(cat "$scratch/size")'"
    DISPLAY=$display "$program" "$scratch/shot.png" || fail "no screenshot"
    kill "$xvfb"
    wait "$xvfb" 2>/dev/null || true
    xvfb=
    pngtopnm "$scratch/shot.png" >"$scratch/shot.ppm"
    local header samples
    header=$(head -n 3 "$scratch/shot.ppm" | tr '\n' ' ')
    [ "$header" = "P6 64 48 255 " ] || fail "not a 64x48 picture: $header"
    samples=$(tail -c +$((${#header} + 1)) "$scratch/shot.ppm" | od -An -v -tu1 | tr -s ' ' '\n' |
              sort -u | tr -d '\n')
    [ "$samples" = "$2" ] || fail "with $1 the samples are '$samples', not only $2"
}
run_on -br 0
run_on -wr 255
echo "screenshot_test: size and colours are right"
