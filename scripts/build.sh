#!/usr/bin/env bash
# Configures and builds one flavour of the project.
#   scripts/build.sh release|asan|tsan|fuzz [ninja targets...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-release}
shift || true

# Warnings are errors in every flavour here; a plain CMake build only reports them.
case "$flavour" in
  release) args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_WERROR=ON) ;;
  asan) args=(-DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON -DQV_BENCH=OFF -DQV_WERROR=ON) ;;
  tsan) args=(-DCMAKE_BUILD_TYPE=Debug -DQV_TSAN=ON -DQV_BENCH=OFF -DQV_WERROR=ON) ;;
  fuzz) args=(-DCMAKE_BUILD_TYPE=Debug -DQV_FUZZ=ON -DQV_TESTS=OFF -DQV_BENCH=OFF -DQV_WERROR=ON
              -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  *) echo "usage: scripts/build.sh release|asan|tsan|fuzz [targets...]" >&2; exit 2 ;;
esac

build="$top/build/$flavour"
# A build folder configured before warnings became an option is configured again.
if [ ! -f "$build/build.ninja" ] || ! grep -q '^QV_WERROR:BOOL=ON$' "$build/CMakeCache.txt"; then
  cmake -S "$top" -B "$build" -G Ninja "${args[@]}" >/dev/null
fi
cmake --build "$build" -- "$@"
