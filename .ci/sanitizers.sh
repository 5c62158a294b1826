#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# (preset "asan": clang, -fno-sanitize-recover=all) and runs the whole ctest
# suite in it, unit and end-to-end tests included; the end-to-end tests start
# the instrumented viewer. Any report fails the run. Leaks that belong to Mesa,
# freeglut or Xlib are suppressed by tests/sanitizers/lsan.supp.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install_deps.sh build-and-run headless-demo tests ci-only
cmake --preset asan
cmake --build --preset asan -j2
ctest --preset asan -j1
