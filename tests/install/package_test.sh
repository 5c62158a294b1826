#!/usr/bin/env bash
# Usage: package_test.sh BUILD_DIR VERSION PROGRAM...
# Makes the Debian package of BUILD_DIR with CPack in a scratch directory,
# checks its name, its computed dependencies and its file list (the PROGRAMs
# in /usr/bin), unpacks it into a scratch root and runs the unpacked tools'
# --version.
set -euo pipefail
build=$1 version=$2
shift 2
programs=("$@")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 \
    || { cat "$scratch/cpack.log"; fail "cpack"; }
deb=$scratch/out/moiravel_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$scratch/out"; fail "no $(basename "$deb")"; }

info=$(dpkg-deb -I "$deb")
echo "$info"
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
# dpkg-shlibdeps names the libraries the programs link, with versions.
libraries=(libc6 libglut libpng)
[[ " ${programs[*]} " == *" moiravel-frame-report "* ]] && libraries+=(libcairo2)
for library in "${libraries[@]}"; do
    grep -q "$library[^,]* (>= " <<<"$depends" || fail "Depends lacks $library: $depends"
done

contents=$(dpkg-deb -c "$deb" | awk '{ print $NF }')
for file in "${programs[@]/#/./usr/bin/}" ./usr/share/doc/moiravel/README.md \
            ./usr/include/gl_entry/entry_points.h; do
    grep -qx -- "$file" <<<"$contents" || fail "$file is not in the package"
done
grep -q '/libmoiravel_gl_entry\.a$' <<<"$contents" || fail "the table's library is missing"
grep -q '/pkgconfig/moiravel-gl-entry\.pc$' <<<"$contents" || fail "the .pc file is missing"

dpkg -x "$deb" "$scratch/root"
for program in "${programs[@]}"; do
    [ "$program" = moiravel-demo ] && continue
    [ "$("$scratch/root/usr/bin/$program" --version)" = "$program $version" ] \
        || fail "the unpacked $program --version does not say $version"
done
echo "package_test: $(basename "$deb") is complete"
