#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer targets (preset "fuzz": clang, ASan + UBSan), replays
# every checked-in input of tests/fuzz/corpus, then fuzzes each target for
# FUZZ_SECONDS (default 60). Fails on any finding: the reproducer is left in
# build-fuzz/fuzz-artifacts/ and printed in base64.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
build=build-fuzz
artifacts=$build/fuzz-artifacts
corpus=tests/fuzz/corpus

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target ppm_reader_fuzzer screen_size_fuzzer

status=0
# Regressions first: every seed and every past crash input must pass.
ctest --test-dir "$build" -L fuzz --output-on-failure || status=1

rm -rf "$artifacts"
mkdir -p "$artifacts"
run() {
    local name=$1 seeds=$2
    shift 2
    local work log
    work=$(mktemp -d)
    log=$artifacts/$name.log
    echo "== $name: ${seconds}s"
    # New inputs go to a scratch directory, never into the checked-in corpus.
    if "$build/tests/fuzz/$name" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/$name-" "$@" \
        "$work" "$corpus/$seeds" >"$log" 2>&1; then
        echo "   clean: $(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}')" \
             "executions, peak RSS $(grep -m1 'stat::peak_rss_mb' "$log" | awk '{print $2}') MB"
    else
        status=1
        echo "   FINDING in $name; last lines of $log:"
        tail -40 "$log"
        for f in "$artifacts/$name"-*; do
            [ -f "$f" ] || continue
            echo "   reproducer $f (base64): $(base64 -w0 "$f")"
        done
    fi
    rm -rf "$work"
}
run ppm_reader_fuzzer ppm -max_len=16384
run screen_size_fuzzer readme -max_len=256
exit $status
