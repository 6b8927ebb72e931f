#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it: its control data
# and file list (dpkg-deb -I / -c), the files every install needs, and
# qvagent-cli --version and qvagent --no-browser run from the package unpacked
# into a scratch root. Prints the package's path last.
#   scripts/package.sh [BUILD]  BUILD: an optimised build folder to package
#                               (default build/package, configured here without tests)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/package}
build=$(mkdir -p "$build" && cd "$build" && pwd)

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_TESTS=OFF -DQV_BENCH=OFF >/dev/null
fi
cmake --build "$build" >/dev/null
rm -f "$build"/*.deb
log=$(cd "$build" && cpack -G DEB 2>&1) || { echo "$log" >&2; exit 1; }
deb=$(ls "$build"/*.deb)

info=$(dpkg-deb -I "$deb")
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
echo "$info"
echo "$files" | grep -v '/$'

fail() { echo "package: $*" >&2; exit 1; }
expect=(./usr/bin/qvagent ./usr/bin/qvagent-cli ./usr/share/man/man1/qvagent.1.gz ./usr/share/man/man1/qvagent-cli.1.gz
        ./lib/udev/rules.d/51-garmin-usb.rules ./usr/share/applications/tavelnor-agent.desktop
        ./usr/share/icons/hicolor/scalable/apps/tavelnor-agent.svg)
for f in "${expect[@]}"; do
  echo "$files" | grep -qxF "$f" || fail "$f is missing"
done
echo "$files" | grep -q '^\./usr/lib/.*libqvinstall\.so$' || fail "libqvinstall.so is missing"
for dep in libcurl4 libexpat1 libusb-1.0-0 zlib1g libstdc++6 xdg-utils; do
  echo "$info" | grep -E '^ Depends:' | grep -q "$dep" || fail "dependency $dep is not declared"
done

root=$(mktemp -d)
agent=
cleanup() {
  if [ -n "$agent" ]; then kill -KILL "$agent" 2>/dev/null || true; fi
  rm -rf "$root"
}
trap cleanup EXIT
dpkg -x "$deb" "$root"
version=$("$root/usr/bin/qvagent-cli" --version)
[ "$version" = "qvagent-cli $(sed -n 's/^project(QVAgent VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")" ] ||
  fail "unexpected version: $version"
echo "$version, run from the unpacked package"

# The windowed agent in a home of its own, so that no agent already running
# on this desktop takes its place.
home="$root/home"
mkdir -p "$home/config" "$home/data" "$home/cache"
mkdir -m 700 "$home/run"
HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" \
  XDG_RUNTIME_DIR="$home/run" "$root/usr/bin/qvagent" --no-browser >"$home/agent.out" 2>&1 &
agent=$!
for _ in $(seq 100); do
  [ -s "$home/agent.out" ] || ! kill -0 "$agent" 2>/dev/null && break
  sleep 0.1
done
address=$(head -n 1 "$home/agent.out")
[[ "$address" == http://127.0.0.1:*/start* ]] || fail "qvagent --no-browser printed no address: $(cat "$home/agent.out")"
kill -TERM "$agent"
status=0
wait "$agent" || status=$?
agent=
[ "$status" -eq 0 ] || fail "qvagent ended with $status when asked to stop"
echo "qvagent --no-browser: $address, run from the unpacked package and stopped"
echo "$deb"
