#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test; then runs the thread and
# link tests under ThreadSanitizer and every fuzz target briefly.
# Exits non-zero on any failure.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"

jobs=$(nproc)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

echo "== AddressSanitizer and UndefinedBehaviorSanitizer: every test"
"$top/scripts/build.sh" asan
ctest --test-dir "$top/build/asan" --output-on-failure -j "$jobs" --timeout 300

echo "== ThreadSanitizer: threads and links"
"$top/scripts/build.sh" tsan
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1} \
  ctest --test-dir "$top/build/tsan" --output-on-failure -j "$jobs" --timeout 300 -L 'threads|link|garmin|sim'

echo "== Fuzz targets, briefly"
"$top/scripts/build.sh" fuzz
"$top/scripts/run-fuzzers.sh" "$top/build/fuzz" "${QV_FUZZ_SECONDS:-20}"
