#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fetches and unpacks one of Debian's source packages, for the libraries that the Windows build
# cross-compiles itself (tools/windows/build_freeglut.sh, tools/windows/build_png.sh): Debian
# ships no mingw-w64 build of them. It builds nothing.
#
# The source comes through `apt-get source`, with deb-src entries derived at run time from
# this machine's apt sources (one-line sources.list files and deb822 .sources files alike),
# kept in a private apt directory: the system's apt configuration is not touched and no
# archive host is named here. Whatever version this machine's release has is taken.
#
# Usage: fetch_debian_source.sh OUTPUT_DIR PACKAGE
# Leaves the unpacked source in OUTPUT_DIR/PACKAGE-src/tree.
set -euo pipefail

out=$(realpath -m "$1")
package=$2

apt_dir=$out/debian-source-apt
src_dir=$out/$package-src
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$src_dir"

# deb-src entries for every enabled deb entry of the machine's sources.
sources=$apt_dir/sources.list
: >"$sources"
for list in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$list" ] || continue
    sed -n 's/^[[:space:]]*deb[[:space:]]\+/deb-src /p' "$list" >>"$sources"
done
deb822=$apt_dir/sources.list.d
mkdir -p "$deb822"
rm -f "$deb822"/*.sources
for list in /etc/apt/sources.list.d/*.sources; do
    [ -f "$list" ] || continue
    # Stanzas whose Types include deb get deb-src instead; stanzas without deb are dropped.
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         {
             if ($0 ~ /(^|\n)[Ee]nabled:[ \t]*no/) next
             if (!match($0, /(^|\n)Types:[^\n]*/)) next
             types = substr($0, RSTART, RLENGTH)
             if (types !~ /[ \t]deb([ \t]|$)/) next
             sub(/(^|\n)Types:[^\n]*/, (substr(types, 1, 1) == "\n" ? "\n" : "") "Types: deb-src")
             print
         }' "$list" >"$deb822/$(basename "$list")"
done
if [ ! -s "$sources" ] && ! cat "$deb822"/*.sources 2>/dev/null | grep -q .; then
    echo "fetch_debian_source: no deb entries found in /etc/apt to derive deb-src entries from" >&2
    exit 1
fi

apt_options=(
    -o "Dir::Etc::SourceList=$sources"
    -o "Dir::Etc::SourceParts=$deb822"
    -o "Dir::State::Lists=$apt_dir/lists"
    -o "Dir::Cache::Archives=$apt_dir/cache/archives"
    -o "Dir::Cache::pkgcache=$apt_dir/cache/pkgcache.bin"
    -o "Dir::Cache::srcpkgcache=$apt_dir/cache/srcpkgcache.bin"
    -o "APT::Sandbox::User=root"
)
echo "fetch_debian_source: fetching Debian's $package source package"
# A repository without source packages fails its part of the update; the Debian ones suffice.
# The lists are shared by the packages fetched into one output directory and updated once.
if [ ! -f "$apt_dir/updated" ]; then
    if ! apt-get "${apt_options[@]}" -qq update; then
        echo "fetch_debian_source: some deb-src entries could not be updated; trying the others" >&2
    fi
    touch "$apt_dir/updated"
fi
# The newest version first; a mirror that lists a version it no longer serves (or does not
# yet) gives way to the next one the lists know.
fetched=no
for version in "" $(apt-cache "${apt_options[@]}" showsrc "$package" 2>/dev/null |
    sed -n 's/^Version: //p' | sort -u -r -V); do
    rm -f "$src_dir"/"$package"_*
    if (cd "$src_dir" && apt-get "${apt_options[@]}" -qq --download-only source \
        "$package${version:+=$version}" 2>"$src_dir/apt.log"); then
        fetched=yes
        break
    fi
done
if [ "$fetched" = no ]; then
    cat "$src_dir/apt.log" >&2
    echo "fetch_debian_source: no version of $package could be fetched" >&2
    exit 1
fi
dsc=$(ls "$src_dir"/"$package"_*.dsc | tail -n 1)
rm -rf "$src_dir/tree"
dpkg-source --no-check --no-copy -x "$dsc" "$src_dir/tree" >/dev/null
