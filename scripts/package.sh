#!/bin/bash
# Builds NetGlow for Windows and writes the release files:
#   scripts/package.sh [OUTPUT_DIR] [RELEASE_URL]      (default: dist/)
# into OUTPUT_DIR:
#   NetGlow-<version>.zip        one folder, NetGlow-<version>/, with
#                                NetGlow.exe, NetGlow.chm and ReadMe.txt
#   NetGlow-<version>-setup.exe  the installer (NSIS, packaging/installer)
#   SHA256SUMS                   of both
#   winget/                      the manifests of packaging/winget, filled in
#                                with the version, each file's SHA-256 and its
#                                address RELEASE_URL/<file name>
# RELEASE_URL defaults to the GitHub release of the tag v<version>.
# NETGLOW_PACKAGE_BUILD names the build folder (default build/package).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/dist}
build=${NETGLOW_PACKAGE_BUILD:-$root/build/package}
version=$(sed -n 's/^project(NetGlow VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "package.sh: no version in CMakeLists.txt" >&2; exit 1; }
release_url=${2:-https://github.com/NetGlow/NetGlow/releases/download/v$version}
release_url=${release_url%/}
command -v makensis >/dev/null \
  || { echo "package.sh: makensis is missing (Debian package nsis; scripts/deps.sh installs it)" >&2; exit 1; }
name=NetGlow-$version

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" -j 2 --target NetGlow netglow_help netglow_setup

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$name"
# The build's read-me carries the version and Windows line ends.
cp "$build/NetGlow.exe" "$build/NetGlow.chm" "$build/ReadMe.txt" "$stage/$name/"

mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out/$name.zip" "$out/$name-setup.exe" "$out/SHA256SUMS"
(cd "$stage" && zip -q -X -r "$out/$name.zip" "$name")
cp "$build/$name-setup.exe" "$out/"
(cd "$out" && sha256sum "$name.zip" "$name-setup.exe" > SHA256SUMS)

# Filled copies only: the templates stay as committed.
sha() { sha256sum "$1" | cut -c1-64 | tr a-f A-F; }
literal() { printf '%s' "$1" | sed 's/[&|\\]/\\&/g'; }
rm -rf "$out/winget"
mkdir "$out/winget"
for template in "$root"/packaging/winget/*.yaml; do
  sed -e "s|{{VERSION}}|$(literal "$version")|g" \
      -e "s|{{SETUP_URL}}|$(literal "$release_url/$name-setup.exe")|g" \
      -e "s|{{SETUP_SHA256}}|$(sha "$out/$name-setup.exe")|g" \
      -e "s|{{ZIP_URL}}|$(literal "$release_url/$name.zip")|g" \
      -e "s|{{ZIP_SHA256}}|$(sha "$out/$name.zip")|g" \
      "$template" > "$out/winget/$(basename "$template")"
done
echo "$out/$name.zip"
echo "$out/$name-setup.exe"
echo "$out/SHA256SUMS"
echo "$out/winget"
