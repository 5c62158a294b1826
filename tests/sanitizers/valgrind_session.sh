#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the viewer under Valgrind's memcheck on a fresh Xvfb through a short
# scripted session: start-up with four images, keys (m, Space, +, -, f, v, s),
# then Escape. Fails unless the viewer ends with status 0 and memcheck reports
# no error and no definite leak outside the libraries that
# valgrind.supp names (Mesa, LLVM, freeglut, Xlib).
#
#   valgrind_session.sh VIEWER SEND_KEYS [LOG]
#
# VIEWER must be an uninstrumented build (no sanitizers). The memcheck log is
# written to LOG (default: a temporary file) and printed on failure.
set -euo pipefail
viewer=$(realpath "$1")
send_keys=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
log=${3:-$work/memcheck.log}
xvfb_pid=
viewer_pid=
cleanup() {
    [ -n "$viewer_pid" ] && kill -9 "$viewer_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A display of its own; Xvfb writes its number once it accepts clients.
exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 640x480x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
read -r -t 30 -u "$fd" number
export DISPLAY=:$number

# Four small images with distinct colours, and the screen size.
mkdir "$work/run"
echo "640 x 480" >"$work/run/README.txt"
for k in 0 1 2 3; do
    python3 - "$k" >"$work/run/${k}Image.ppm" <<'PY'
import sys
k, w, h = int(sys.argv[1]), 61, 37
print("P3\n# memcheck session image\n%d %d\n255" % (w, h))
for y in range(h):
    print(" ".join("%d %d %d" % (x * 4, y * 6, 40 + 50 * k) for x in range(w)))
PY
done

cd "$work/run"
LIBGL_ALWAYS_SOFTWARE=1 valgrind --tool=memcheck --error-exitcode=99 \
    --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
    --keep-debuginfo=yes --num-callers=40 --gen-suppressions=all \
    --suppressions="$here/valgrind.supp" --log-file="$log" \
    "$viewer" >"$work/stdout" 2>"$work/stderr" &
viewer_pid=$!

# Wait for the window (memcheck makes start-up slow), let it draw, send keys.
for _ in $(seq 240); do
    xwininfo -root -children 2>/dev/null | grep '"Moiravel Demo"' >/dev/null && break
    kill -0 "$viewer_pid" 2>/dev/null || break
    sleep 0.5
done
sleep 3
"$send_keys" m space plus minus f v s v m
sleep 3
status=
for _ in $(seq 60); do
    "$send_keys" Escape 2>/dev/null || true
    for _ in 1 2 3 4; do
        if ! kill -0 "$viewer_pid" 2>/dev/null; then
            wait "$viewer_pid" && status=0 || status=$?
            break 2
        fi
        sleep 0.5
    done
done
viewer_pid_done=$viewer_pid
viewer_pid=

fail() {
    echo "valgrind session: $*" >&2
    echo "--- memcheck log ($log)" >&2
    cat "$log" >&2
    echo "--- viewer stderr" >&2
    cat "$work/stderr" >&2
    exit 1
}
[ -n "$status" ] || { kill -9 "$viewer_pid_done" 2>/dev/null; fail "the viewer did not end after Escape"; }
[ "$status" = 0 ] || fail "the viewer ended with status $status (99: memcheck found errors)"
grep -q "ERROR SUMMARY: 0 errors" "$log" || fail "memcheck reported errors"
grep -q "Loading images, please wait" "$work/stdout" || fail "unexpected standard output"
echo "valgrind session: clean ($(grep -m1 'ERROR SUMMARY' "$log" | sed 's/^==[0-9]*== //'))"
grep -E "definitely lost|suppressed:" "$log" | sed 's/^==[0-9]*== /  /' || true
