#!/usr/bin/env bash
# Runs every fuzz program of a build folder for a few seconds each, starting
# from the checked-in seeds under tests/fuzz/corpus/<name> when there are any.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$1
seconds=${2:-20}
found=0
for fuzzer in "$build"/tests/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  found=1
  name=$(basename "$fuzzer")
  work=$(mktemp -d)
  seeds="$top/tests/fuzz/corpus/$name"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  echo "-- $name (${seconds}s)"
  "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 "$work" 2>"$work.log" || {
    tail -n 60 "$work.log"; echo "fuzz target $name failed" >&2; exit 1; }
  rm -rf "$work" "$work.log"
done
[ "$found" = 1 ] || echo "no fuzz targets built"
