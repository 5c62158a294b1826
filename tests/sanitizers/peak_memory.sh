#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Peak resident memory of the viewer loading four images of WIDTHxHEIGHT
# (default 1920x1080), measured with /usr/bin/time -v on a fresh Xvfb, next to
# the same run with four 4x4 images as the baseline. Prints both, the
# difference, and what the pictures themselves take (width x height x 3 per
# image).
#
#   peak_memory.sh VIEWER SEND_KEYS [WIDTHxHEIGHT]
set -euo pipefail
viewer=$(realpath "$1")
send_keys=$(realpath "$2")
size=${3:-1920x1080}
width=${size%x*}
height=${size#*x}
work=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 "${width}x${height}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 30 -u "$fd" number
export DISPLAY=:$number

images() { # DIR W H
    mkdir -p "$1"
    echo "$width x $height" >"$1/README.txt"
    python3 - "$1" "$2" "$3" <<'PY'
import sys
d, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for k in range(4):
    with open("%s/%dImage.ppm" % (d, k), "w") as f:
        f.write("P3\n%d %d\n255\n" % (w, h))
        for y in range(h):
            f.write(" ".join("%d %d %d" % (x & 255, y & 255, 40 + 50 * k) for x in range(w)))
            f.write("\n")
PY
}

# Runs the viewer in DIR until its window shows, then Escape; prints its peak
# RSS in kB.
peak() {
    (cd "$1" && LIBGL_ALWAYS_SOFTWARE=1 /usr/bin/time -v -o "$1/time.txt" "$viewer" \
        >"$1/stdout" 2>"$1/stderr") &
    local pid=$!
    for _ in $(seq 240); do
        xwininfo -root -children 2>/dev/null | grep '"Moiravel Demo"' >/dev/null && break
        sleep 0.25
    done
    sleep 1
    for _ in $(seq 40); do
        kill -0 "$pid" 2>/dev/null || break
        "$send_keys" Escape 2>/dev/null || true
        sleep 0.5
    done
    wait "$pid" || true
    if ! grep -q "Exit status: 0" "$1/time.txt"; then
        echo "the viewer did not end with status 0:" >&2
        cat "$1/stdout" "$1/stderr" "$1/time.txt" >&2
        exit 1
    fi
    awk -F': ' '/Maximum resident set size/ { print $2 }' "$1/time.txt"
}

images "$work/small" 4 4
images "$work/large" "$width" "$height"
base=$(peak "$work/small")
large=$(peak "$work/large")
file_kb=$(($(stat -c %s "$work/large/0Image.ppm") / 1024))
picture_kb=$((width * height * 3 / 1024))
echo "peak RSS, four 4x4 images:            ${base} kB"
echo "peak RSS, four ${width}x${height} images: ${large} kB"
echo "difference:                            $((large - base)) kB"
echo "one picture (w x h x 3):               ${picture_kb} kB; one file: ${file_kb} kB"
echo "difference / one picture:              $(awk -v d=$((large - base)) -v p=$picture_kb 'BEGIN { printf "%.2f", d / p }')"
