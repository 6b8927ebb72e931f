#!/usr/bin/env bash
# Configures and builds one flavour of the project.
#   scripts/build.sh release|asan|tsan|fuzz [ninja targets...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-release}
shift || true

case "$flavour" in
  release) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan) args=(-DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON -DQV_BENCH=OFF) ;;
  tsan) args=(-DCMAKE_BUILD_TYPE=Debug -DQV_TSAN=ON -DQV_BENCH=OFF) ;;
  fuzz) args=(-DCMAKE_BUILD_TYPE=Debug -DQV_FUZZ=ON -DQV_TESTS=OFF -DQV_BENCH=OFF
              -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  *) echo "usage: scripts/build.sh release|asan|tsan|fuzz [targets...]" >&2; exit 2 ;;
esac

build="$top/build/$flavour"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja "${args[@]}" >/dev/null
fi
cmake --build "$build" -- "$@"
