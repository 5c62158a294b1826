#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Usage: tools/run_benchmarks.sh [BUILD_DIR]   (what `make bench` runs)
# Runs every benchmark of BUILD_DIR/bench, each measuring against its own
# baseline in the same run, then repeats each one's ratio lines together.
# Fails when a benchmark is missing or fails.
set -uo pipefail
build=${1:-build}
# Program, then its arguments.
benchmarks=(
    "bench/ppm_reader/moiravel_bench_ppm_reader"
    "bench/gl_entry/gl_entry_bench"
    "bench/frame_rate/moiravel_frame_rate_bench"
)
status=0
summary=()
for entry in "${benchmarks[@]}"; do
    read -r -a command <<<"$entry"
    program=$build/${command[0]}
    name=$(basename "${command[0]}")
    echo "== $name"
    if [ ! -x "$program" ]; then
        echo "   not built: $program" >&2
        status=1
        continue
    fi
    # Without the terminal colours some reporters use.
    output=$("$program" "${command[@]:1}" 2>&1)
    result=$?
    output=$(sed 's/\x1b\[[0-9;]*m//g' <<<"$output")
    echo "$output"
    if [ $result -ne 0 ]; then
        echo "   $name failed with status $result" >&2
        status=1
    fi
    while IFS= read -r line; do
        summary+=("$name: $line")
    done < <(grep -i 'ratio\| / ' <<<"$output" | grep -v '^-\|^Benchmark')
done
echo
echo "== ratios"
printf '%s\n' "${summary[@]}"
exit $status
