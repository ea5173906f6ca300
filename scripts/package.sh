#!/bin/bash
# Builds NetGlow for Windows and writes the release package:
#   scripts/package.sh [OUTPUT_DIR]      (default: dist/)
# The zip holds one folder, NetGlow-<version>/, with NetGlow.exe, NetGlow.chm
# and ReadMe.txt. NETGLOW_PACKAGE_BUILD names the build folder (default
# build/package).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/dist}
build=${NETGLOW_PACKAGE_BUILD:-$root/build/package}
version=$(sed -n 's/^project(NetGlow VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "package.sh: no version in CMakeLists.txt" >&2; exit 1; }
name=NetGlow-$version

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" -j 2 --target NetGlow netglow_help

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$name"
# The build's read-me carries the version and Windows line ends.
cp "$build/NetGlow.exe" "$build/NetGlow.chm" "$build/ReadMe.txt" "$stage/$name/"

mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out/$name.zip"
(cd "$stage" && zip -q -X -r "$out/$name.zip" "$name")
echo "$out/$name.zip"
