#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Usage: package_test.sh BUILD_DIR VERSION PROGRAM...
# Makes the two Debian packages of BUILD_DIR with CPack in a scratch directory (moiravel and
# moiravel-gl-entry-dev) and checks their names, dependencies and file lists (the PROGRAMs in
# /usr/bin with their manual pages, each package's copyright and changelog.gz); installs them
# into a scratch dpkg root and checks what `dpkg -L` lists; runs the unpacked tools' --version;
# checks that each PROGRAM's manual page names every option of its --help; and runs lintian on
# both, failing on any error or warning. Without lintian that last step is skipped, saying so,
# after the others passed.
set -euo pipefail
build=$1 version=$2
shift 2
programs=("$@")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 \
    || { cat "$scratch/cpack.log"; fail "cpack"; }
arch=$(dpkg --print-architecture)
viewer=$scratch/out/moiravel_${version}_$arch.deb
dev=$scratch/out/moiravel-gl-entry-dev_${version}_$arch.deb
for deb in "$viewer" "$dev"; do
    [ -f "$deb" ] || { ls "$scratch/out"; fail "no $(basename "$deb")"; }
done

# Package, field, then what the field holds (grep patterns).
field_lines=(
    "$viewer Depends libc6[^,]* (>= " "$viewer Depends libglut[^,]* (>= "
    "$viewer Depends libpng[^,]* (>= " "$dev Depends libgl-dev" "$dev Depends libopengl-dev"
    "$viewer Maintainer @" "$dev Section libdevel"
)
[[ " ${programs[*]} " == *" moiravel-frame-report "* ]] \
    && field_lines+=("$viewer Depends libcairo2[^,]* (>= ")
for line in "${field_lines[@]}"; do
    read -r deb field pattern <<<"$line"
    value=$(dpkg-deb -f "$deb" "$field")
    grep -q -- "$pattern" <<<"$value" || fail "$(basename "$deb") $field lacks $pattern: $value"
done
# The long description: more than the summary line.
for deb in "$viewer" "$dev"; do
    [ "$(dpkg-deb -f "$deb" Description | wc -l)" -gt 3 ] \
        || fail "$(basename "$deb") has no extended description"
done

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
viewer_files=("${programs[@]/#//usr/bin/}" /usr/share/doc/moiravel/README.md)
for program in "${programs[@]}"; do viewer_files+=("/usr/share/man/man1/$program.1.gz"); done
dev_files=(/usr/include/gl_entry/entry_points.h "/usr/lib/$multiarch/libmoiravel_gl_entry.a"
           "/usr/lib/$multiarch/pkgconfig/moiravel-gl-entry.pc"
           "/usr/lib/$multiarch/cmake/MoiravelGlEntry/MoiravelGlEntryConfig.cmake")
for package in moiravel moiravel-gl-entry-dev; do
    deb=$scratch/out/${package}_${version}_$arch.deb
    listing=$(dpkg-deb -c "$deb")
    for doc in copyright changelog.gz; do
        grep -q -- "^-rw-r--r-- .* \./usr/share/doc/$package/$doc\$" <<<"$listing" \
            || fail "$package lacks /usr/share/doc/$package/$doc with mode 0644"
    done
    grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
        <(dpkg-deb --fsys-tarfile "$deb" | tar -xOf - "./usr/share/doc/$package/copyright") \
        || fail "$package's copyright is not DEP-5"
done

# Installed into a scratch dpkg database, as `apt install ./*.deb` would put them.
root=$scratch/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-not-root --force-depends --force-script-chrootless \
    --log=/dev/null -i "$viewer" "$dev" >"$scratch/dpkg.log" 2>&1 \
    || { cat "$scratch/dpkg.log"; fail "dpkg -i"; }
for line in "moiravel ${viewer_files[*]} /usr/share/doc/moiravel/copyright" \
            "moiravel-gl-entry-dev ${dev_files[*]} /usr/share/doc/moiravel-gl-entry-dev/copyright"; do
    read -r -a words <<<"$line"
    listed=$(dpkg --root="$root" -L "${words[0]}")
    for file in "${words[@]:1}"; do
        grep -qx -- "$file" <<<"$listed" || fail "dpkg -L ${words[0]} does not list $file"
    done
done

for program in "${programs[@]}"; do
    if [ "$program" != moiravel-demo ]; then
        [ "$("$root/usr/bin/$program" --version)" = "$program $version" ] \
            || fail "the installed $program --version does not say $version"
    fi
    # Every option of --help is on the manual page (help2man writes - as \-).
    page=$(gzip -dc "$root/usr/share/man/man1/$program.1.gz" | sed 's/\\-/-/g')
    for option in $("$root/usr/bin/$program" --help 2>&1 | grep -o -- '--[a-z][a-z-]*' | sort -u); do
        grep -q -- "$option" <<<"$page" || fail "$program.1 lacks $option of its --help"
    done
done

if ! command -v lintian >/dev/null; then
    echo "package_test: the packages are complete; lintian is not installed here, not run" \
         "(tools/install_deps.sh package)"
    exit 0
fi
lintian --fail-on error,warning --tag-display-limit 0 "$viewer" "$dev" \
    || fail "lintian found errors or warnings"
echo "package_test: $(basename "$viewer") and $(basename "$dev") are complete and lintian-clean"
