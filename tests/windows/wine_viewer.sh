#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Stands in for the viewer binary in the end-to-end suites (MOIRAVEL_DEMO_BINARY): runs the
# Windows build, $MOIRAVEL_DEMO_WINDOWS_EXE, under Wine in $WINEPREFIX on the X server that
# the suite names in DISPLAY, and hands back its exit status, its standard output with the
# carriage returns of Windows line ends removed, and its standard error.
#
# The arguments go to the viewer after freeglut's -display.
#
# Wine's OpenGL trace channel is on, so that a test can see each wglSwapIntervalEXT call
# reach the driver; of that channel only those lines are passed on.
set -u
exe=${MOIRAVEL_DEMO_WINDOWS_EXE:?the Windows viewer to run}
: "${WINEPREFIX:?a Wine prefix}"
export WINEPREFIX
export WINEDEBUG=-all,err+all,+wgl
export WINEDLLOVERRIDES="mscoree,mshtml="

arguments=("$@")
capture=$(mktemp -d "${TMPDIR:-/tmp}/moiravel-wine.XXXXXX")
# freeglut on Windows would take the X display name in DISPLAY for a Windows display name;
# Wine itself reads DISPLAY to find the X server.
start_viewer() {
    wine "$exe" -display '\\.\DISPLAY1' "${arguments[@]}" <&0 >"$capture/out" 2>"$capture/err" &
    viewer=$!
}
start_viewer
# The suites end a run they no longer want with a signal to this script, SIGKILL included;
# the watcher then ends the viewer too.
(
    while kill -0 $$ 2>/dev/null; do
        sleep 0.2
    done
    kill -9 "$viewer" 2>/dev/null
    rm -rf "$capture"
) </dev/null >/dev/null 2>&1 &
watcher=$!
trap 'kill -9 "$viewer" 2>/dev/null' TERM INT

wait "$viewer"
status=$?
# Now and then Wine cannot lay out a new process's address space and gives up before the
# program runs ("failed to map the shared user data"); that says nothing about the viewer,
# which is started again, at most twice.
for _ in 1 2; do
    if [ "$status" -eq 0 ] || [ -s "$capture/out" ] ||
        ! grep -q 'failed to map the shared user data' "$capture/err"; then
        break
    fi
    start_viewer
    wait "$viewer"
    status=$?
done
kill "$watcher" 2>/dev/null
tr -d '\r' <"$capture/out"
tr -d '\r' <"$capture/err" | awk '!/:trace:wgl:/ || /wglSwapIntervalEXT/' >&2
rm -rf "$capture"
exit "$status"
