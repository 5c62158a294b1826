#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Usage: tools/install_deps.sh GROUP...   (groups of tools/packages.txt)
# Lists the packages of those groups that are missing, with the reason each
# one is needed, then installs them with apt-get (directly as root, through
# sudo otherwise). With NO_INSTALL=1 it only lists them, and exits with 1
# when something is missing. Does nothing when everything is present.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
list=${PACKAGES_FILE:-$here/packages.txt}
[ $# -gt 0 ] || { echo "usage: $0 GROUP..." >&2; exit 2; }

installed() {
    [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true)" = "install ok installed" ]
}

# Lines of the requested groups as "group<TAB>alternatives<TAB>why", each
# alternatives text once.
entries=$(awk -v wanted=" $* " '
    /^#[[:space:]]*(group|added for [^:]*):/ {
        group = $0; sub(/^[^:]*:[[:space:]]*/, "", group); sub(/[[:space:]].*$/, "", group); next
    }
    /^[[:space:]]*(#|$)/ { next }
    {
        why = ""; line = $0
        if ((i = index(line, "#")) > 0) { why = substr(line, i + 1); line = substr(line, 1, i - 1) }
        gsub(/^[[:space:]]+|[[:space:]]+$/, "", why); gsub(/[[:space:]]+/, " ", line); gsub(/^ | $/, "", line)
        if (index(wanted, " " group " ") && !seen[line]++) print group "\t" line "\t" why
    }' "$list")
for group in "$@"; do
    grep -q -E "^#[[:space:]]*(group|added for [^:]*):[[:space:]]*$group([[:space:]]|\$)" "$list" \
        || { echo "$0: no group \"$group\" in $list" >&2; exit 2; }
done

missing=()
while IFS=$'\t' read -r group alternatives why; do
    [ -n "$alternatives" ] || continue
    present=
    for pkg in ${alternatives//|/ }; do
        installed "$pkg" && { present=1; break; }
    done
    [ -n "$present" ] || missing+=("$group"$'\t'"$alternatives"$'\t'"$why")
done <<<"$entries"

if [ ${#missing[@]} -eq 0 ]; then
    echo "Packages for $*: all installed."
    exit 0
fi
echo "Packages for $* that are missing:"
for m in "${missing[@]}"; do
    IFS=$'\t' read -r group alternatives why <<<"$m"
    printf '  %-32s %-14s %s\n' "$alternatives" "[$group]" "$why"
done
if [ "${NO_INSTALL:-0}" != 0 ]; then
    echo "NO_INSTALL is set: nothing installed."
    exit 1
fi

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
# Of alternatives, the first one this release's archive offers.
chosen=()
for m in "${missing[@]}"; do
    IFS=$'\t' read -r _ alternatives _ <<<"$m"
    pick=
    for pkg in ${alternatives//|/ }; do
        candidate=$(apt-cache policy "$pkg" 2>/dev/null | awk '/Candidate:/ { print $2 }')
        if [ -n "$candidate" ] && [ "$candidate" != "(none)" ]; then pick=$pkg; break; fi
    done
    [ -n "$pick" ] || { echo "$0: the archive offers none of: $alternatives" >&2; exit 1; }
    chosen+=("$pick")
done
echo "Installing: ${chosen[*]}"
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${chosen[@]}"
