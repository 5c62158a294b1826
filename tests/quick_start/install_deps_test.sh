#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Usage: install_deps_test.sh SOURCE_DIR
# tools/install_deps.sh on package lists of its own (NO_INSTALL=1, so nothing
# is installed): groups, "# added for" lines, alternatives, the exit status;
# then the real tools/packages.txt: every group the Makefile and CI ask for
# exists and has packages.
set -uo pipefail
source=$1
deps=$source/tools/install_deps.sh
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# dpkg is on every Debian system; the moiravel-test-* names are on none.
cat >"$scratch/packages.txt" <<'LIST'
# group: first
dpkg  # present
moiravel-test-missing-a | dpkg  # an alternative is present
moiravel-test-missing-b | moiravel-test-missing-c  # none is present

# group: second
moiravel-test-missing-d  # only in the second group
# added for another topic: first
moiravel-test-missing-e  # appended later to the first group
LIST

expect() { # NAME EXPECTED_STATUS GROUP... ; prints the output to $scratch/out
    local name=$1 expected=$2
    shift 2
    PACKAGES_FILE=$scratch/packages.txt NO_INSTALL=1 "$deps" "$@" >"$scratch/out" 2>&1
    local status=$?
    [ "$status" -eq "$expected" ] || { fail "$name: status $status, not $expected"; cat "$scratch/out"; }
}
listed() { grep -q -- "$1" "$scratch/out"; }

expect "first group" 1 first
listed "moiravel-test-missing-b | moiravel-test-missing-c" || fail "missing alternatives not listed"
listed "none is present" || fail "the reason is not printed"
listed "moiravel-test-missing-e" || fail "an '# added for' line did not join its group"
listed "moiravel-test-missing-a" && fail "an alternative that is present counted as missing"
listed "moiravel-test-missing-d" && fail "a package of another group was listed"
listed "NO_INSTALL" || fail "NO_INSTALL does not say that nothing was installed"

expect "second group" 1 second
[ "$(grep -c moiravel-test "$scratch/out")" -eq 1 ] || fail "second group: not just its one package"

sed -i '/moiravel-test/d' "$scratch/packages.txt"
expect "all present" 0 first
listed "all installed" || fail "nothing missing is not reported as such"

expect "unknown group" 2 no-such-group

# The real list: the groups that the Makefile and CI ask for, each with packages.
for group in build-and-run headless-demo tests package report ci-only; do
    grep -q -E "^# group: $group\$" "$source/tools/packages.txt" || fail "no group $group"
    count=$(awk -v g="$group" '/^# (group|added for [^:]*):/ { sub(/^[^:]*: */, ""); in_g = ($0 == g); next }
                               in_g && !/^[[:space:]]*(#|$)/ { n++ } END { print n + 0 }' \
            "$source/tools/packages.txt")
    [ "$count" -gt 0 ] || fail "group $group lists no packages"
done
[ $failures -eq 0 ] && echo "install_deps_test: all checks passed"
exit $((failures > 0))
