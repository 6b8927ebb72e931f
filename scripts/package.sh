#!/usr/bin/env bash
# Builds the Debian package in build/package and checks it: its control data
# and file list (dpkg-deb -I / -c), the files every install needs, and
# qvagent-cli --version run from the package unpacked into a scratch root.
# Prints the package's path last.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build/package"

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
expect=(./usr/bin/qvagent-cli ./usr/share/man/man1/qvagent-cli.1.gz ./lib/udev/rules.d/51-garmin-usb.rules)
if [ -x "$build/agent/app/qvagent" ]; then
  expect+=(./usr/bin/qvagent ./usr/share/man/man1/qvagent.1.gz ./usr/share/applications/tavelnor-agent.desktop
           ./usr/share/icons/hicolor/scalable/apps/tavelnor-agent.svg)
fi
for f in "${expect[@]}"; do
  echo "$files" | grep -qxF "$f" || fail "$f is missing"
done
if [ -n "$(find "$build/install" -name 'libqvinstall.so*' -print -quit)" ]; then
  echo "$files" | grep -q '^\./usr/lib/.*libqvinstall\.so$' || fail "libqvinstall.so is missing"
fi
for dep in libcurl4 libexpat1 libusb-1.0-0 zlib1g libstdc++6 xdg-utils; do
  echo "$info" | grep -E '^ Depends:' | grep -q "$dep" || fail "dependency $dep is not declared"
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
version=$("$root/usr/bin/qvagent-cli" --version)
[ "$version" = "qvagent-cli $(sed -n 's/^project(QVAgent VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")" ] ||
  fail "unexpected version: $version"
echo "$version, run from the unpacked package"
echo "$deb"
