#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Usage: tools/check_debian.sh RELEASE   (e.g. bookworm, trixie; run as root)
# Checks the quick start on a fresh Debian RELEASE: makes a minimal chroot
# with debootstrap (kept in $CHECK_DIR/base-RELEASE for the next run), copies
# it, installs git and make there, clones the current commit, then runs
# `make demo` without a display and `make test`. Prints how much apt had to
# download for `make demo` and how long `make test` took.
# The Debian mirror is the one this machine's apt sources use.
set -euo pipefail
release=${1:?usage: $0 RELEASE}
repo=$(cd "$(dirname "$0")/.." && pwd)
work=${CHECK_DIR:-/var/tmp/moiravel-check}
base=$work/base-$release
root=$work/root-$release
log=$work/$release.log
[ "$(id -u)" -eq 0 ] || { echo "$0: needs root (debootstrap, chroot)" >&2; exit 2; }

mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources \
             2>/dev/null | grep -E '^(URIs:|deb )' | grep -o -E 'https?://[^ ]+/debian/?( |$)' |
         head -n1 | tr -d ' ' || true)
[ -n "$mirror" ] || { echo "$0: no Debian mirror in /etc/apt/sources*" >&2; exit 2; }

mkdir -p "$work"
if [ ! -x "$base/bin/bash" ]; then
    echo "== debootstrap $release from $mirror"
    rm -rf "$base"
    debootstrap --variant=minbase "$release" "$base" "$mirror" >"$work/debootstrap-$release.log"
fi

mounted=()
cleanup() {
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" || true; done
}
trap cleanup EXIT
rm -rf "$root"
cp -a "$base" "$root"
for dir in proc sys dev dev/pts dev/shm; do
    mkdir -p "$root/$dir"
    mount --bind "/$dir" "$root/$dir"
    mounted+=("$root/$dir")
done
cp /etc/resolv.conf "$root/etc/resolv.conf"
git -C "$repo" bundle create "$root/root/moiravel.bundle" HEAD >/dev/null 2>&1

inside() { chroot "$root" env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
               bash -c "$1"; }
echo "== $release: git and make, a clone of $(git -C "$repo" rev-parse --short HEAD)"
inside "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        --no-install-recommends git make ca-certificates >/dev/null &&
        git clone -q /root/moiravel.bundle /root/moiravel" >"$log" 2>&1

status=0
# Plain CMake with only the build-and-run group first; make demo then adds
# its group to the same build.
echo "== $release: build-and-run group, plain cmake, then make demo (no DISPLAY)"
start=$SECONDS
inside "cd /root/moiravel && tools/install_deps.sh build-and-run &&
        cmake -S . -B build && cmake --build build -j\$(nproc) && make demo" \
    >"$work/$release-demo.log" 2>&1 || status=1
demo_time=$((SECONDS - start))
download=$(grep -h -o 'Need to get [0-9.,]* [kMG]B' "$work/$release-demo.log" | sed 's/Need to get //' |
           paste -sd+ - || true)
shots=$(inside "ls /root/moiravel/build/demo-screenshot*.png 2>/dev/null | wc -l")
packages=$(grep -h -o '[0-9]* newly installed' "$work/$release-demo.log" | sed 's/ .*//' |
           paste -sd+ - || true)
echo "   apt downloaded ${download:-nothing} for ${packages:-0} packages; ${demo_time} s;" \
     "$shots screenshots"
[ $status -eq 0 ] && [ "$shots" -gt 0 ] || { status=1; tail -30 "$work/$release-demo.log"; }

echo "== $release: make test"
start=$SECONDS
test_status=0
inside "cd /root/moiravel && make test" >"$work/$release-test.log" 2>&1 || test_status=1
test_time=$((SECONDS - start))
echo "   $(grep -h 'Need to get' "$work/$release-test.log" || echo "nothing to download")"
echo "   $(grep -h 'tests passed' "$work/$release-test.log" || echo "no test summary")"
echo "   ${test_time} s"
[ $test_status -eq 0 ] || { status=1; grep -A20 'tests failed' "$work/$release-test.log" | head -40; }
echo "== $release: $([ $status -eq 0 ] && echo passed || echo FAILED); logs in $work"
exit $status
