#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test; then runs the thread and
# link tests under ThreadSanitizer and every fuzz target briefly; last builds
# the optimised flavour with the benchmarks, which the README's walk-through
# uses, and packages that same build. Exits non-zero on any failure.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"

jobs=$(nproc)

# The test programs that exercise threads and links; the simulator's own when present.
tsan_targets() {
  local targets=(qv_test_threads qv_test_link qv_test_garmin)
  if grep -q 'qv_test_sim' "$top/tests/sim/CMakeLists.txt" 2>/dev/null; then targets+=(qv_test_sim); fi
  printf '%s ' "${targets[@]}"
}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

echo "== AddressSanitizer and UndefinedBehaviorSanitizer: every test"
"$top/scripts/build.sh" asan
ctest --test-dir "$top/build/asan" --output-on-failure -j "$jobs" --timeout 300

echo "== ThreadSanitizer: threads and links"
# Only the programs whose tests run here are built.
"$top/scripts/build.sh" tsan $(tsan_targets)
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1} \
  ctest --test-dir "$top/build/tsan" --output-on-failure -j "$jobs" --timeout 300 -L 'threads|link|garmin|sim'

echo "== Fuzz targets, briefly"
"$top/scripts/build.sh" fuzz
"$top/scripts/run-fuzzers.sh" "$top/build/fuzz" "${QV_FUZZ_SECONDS:-20}"

echo "== Optimised build with the benchmarks"
# The optimiser finds warnings the unoptimised flavours do not; built only.
"$top/scripts/build.sh" release

echo "== The Debian package from the optimised build: inspected, both programs run from it"
"$top/scripts/package.sh" "$top/build/release" | tail -n 3
