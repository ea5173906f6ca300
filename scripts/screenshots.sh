#!/bin/bash
# Refreshes the screenshots under docs/screenshots: the first session through
# the tray icon, run under Wine, saves them as it goes.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build/win -j "$(nproc)"
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
NETGLOW_SCREENSHOTS="$shots" NETGLOW_SOURCE_DIR="$PWD" NETGLOW_BUILD_DIR="$PWD/build/win" TZ=UTC \
  build/win/wine-run build/win/tests/e2e/e2e_user_session_test.exe
mkdir -p docs/screenshots
for bmp in "$shots"/*.bmp; do
  convert "$bmp" "docs/screenshots/$(basename "${bmp%.bmp}").png"
done
ls docs/screenshots
