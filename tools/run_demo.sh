#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the viewer on images of the built-in test picture in BUILD_DIR/demo-run,
# whose README.txt holds the current display's resolution. Without a display,
# runs the viewer on a virtual X server for a few seconds and saves
# screenshots.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
case "$build" in /*) ;; *) build="$root/$build" ;; esac
run="$build/demo-run"
mkdir -p "$run"

screenshot="$build/tools/screenshot/moiravel-screenshot"
screen_size() {
    DISPLAY="$1" "$screenshot" --size 2>/dev/null
}

make_images() {
    "$build/make_images/moiravel-make-images" --screen "$1" --out "$run"
}

# The current mode of the output the viewer takes by default (the primary, else the one at
# the desktop's origin), as the viewer lists it through the backend it runs on; asked where
# no README.txt lies, so that the primary's line ends with "; primary".
primary_mode() {
    local listing mode
    listing=$(cd "$build" && "$build/demo/moiravel-demo" --list-outputs 2>/dev/null) || return 0
    mode=$(sed -n 's/^[0-9]*: .*, mode \([0-9]*x[0-9]*\) at .*; primary$/\1/p' <<<"$listing")
    [ -n "$mode" ] ||
        mode=$(sed -n 's/^[0-9]*: .* at 0,0, .*, mode \([0-9]*x[0-9]*\) at .*/\1/p' <<<"$listing")
    head -n 1 <<<"$mode"
}

if [ -n "${WAYLAND_DISPLAY:-}${DISPLAY:-}" ]; then
    size=$(primary_mode || true)
    if [ -z "$size" ] && [ -n "${DISPLAY:-}" ]; then
        size=$(screen_size "$DISPLAY" || true)
    fi
    if [ -n "$size" ]; then
        make_images "$size"
        echo "Starting the viewer on ${WAYLAND_DISPLAY:-$DISPLAY} at $size (Escape quits)."
        cd "$run" && exec "$build/demo/moiravel-demo"
    fi
fi

# No display: a virtual one, a few seconds of the viewer, a screenshot.
size=1280x720
display=
for n in $(seq 70 99); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
        display=":$n"
        break
    fi
done
[ -n "$display" ] || { echo "no free X display number" >&2; exit 1; }
make_images "$size"
Xvfb "$display" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    screen_size "$display" >/dev/null && break
    sleep 0.1
done
echo "No DISPLAY: running the viewer on a virtual X server ($display, $size) for a few seconds."
(cd "$run" && DISPLAY=$display LIBGL_ALWAYS_SOFTWARE=1 "$build/demo/moiravel-demo" >/dev/null 2>&1) &
viewer=$!
sleep 3
# Movement off and back to the start, then one screenshot per mode.
keys="$build/tools/send_keys/moiravel-send-keys"
shots=()
if [ -x "$keys" ]; then
    DISPLAY=$display "$keys" m space
    for mode in 0 1 2; do
        sleep 0.5
        shot="$build/demo-screenshot-mode$mode.png"
        DISPLAY=$display "$screenshot" "$shot"
        shots+=("$shot")
        DISPLAY=$display "$keys" plus
    done
else
    shot="$build/demo-screenshot.png"
    DISPLAY=$display "$screenshot" "$shot"
    shots+=("$shot")
fi
DISPLAY=$display "$keys" Escape 2>/dev/null || kill "$viewer" 2>/dev/null || true
wait "$viewer" 2>/dev/null || true
for shot in "${shots[@]}"; do
    echo "Screenshot: $shot"
done
