#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Compares two sets made by moiravel-make-images for the same picture and options (the Linux
# tool's and the Windows one's, tests/windows/run_under_wine.sh): README.txt byte for byte,
# each plain PPM sample within one code value, with the count of samples that differ, and the
# preview PNG byte for byte when both have one (a different zlib may pack the same pixels
# otherwise, so that is only said). Prints one line per file; the status is 0 when every PPM
# and README.txt match.
#
# Usage: compare_image_sets.sh LINUX_DIR WINDOWS_DIR
set -u
linux=$1 windows=$2 status=0
if tr -d '\r' <"$windows/README.txt" | cmp -s - "$linux/README.txt"; then
    echo "README.txt: identical"
else
    echo "README.txt: DIFFERS"
    status=1
fi
for image in 0Image.ppm 1Image.ppm 2Image.ppm 3Image.ppm; do
    if ! result=$(awk '
        FNR == NR { for (i = 1; i <= NF; ++i) a[++n] = $i; next }
        { for (i = 1; i <= NF; ++i) b[++m] = $i }
        END {
            if (n != m || n < 4) { print "sizes differ (" n " and " m " values)"; exit 1 }
            for (i = 1; i <= 4; ++i) if (a[i] != b[i]) { print "headers differ"; exit 1 }
            worst = 0; differing = 0
            for (i = 5; i <= n; ++i) {
                d = a[i] - b[i]; if (d < 0) d = -d
                if (d > 0) ++differing
                if (d > worst) worst = d
            }
            print (differing == 0 ? "identical" : differing " of " n - 4 " samples differ by " worst)
            exit worst > 1
        }' "$linux/$image" <(tr -d '\r' <"$windows/$image")); then
        status=1
        result="$result: DIFFERS"
    fi
    echo "$image: $result"
done
if [ -f "$linux/preview.png" ] && [ -f "$windows/preview.png" ]; then
    cmp -s "$linux/preview.png" "$windows/preview.png" && echo "preview.png: identical" ||
        echo "preview.png: packed differently (not compared further)"
fi
exit "$status"
