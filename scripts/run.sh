#!/bin/bash
# Builds NetGlow.exe and starts it in a Wine desktop prepared to look like a
# Windows machine (taskbar, notification area, adapters with connection names).
# Without a display it runs on Xvfb and saves build/win/screenshot.png.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build/win -j "$(nproc)" --target NetGlow netglow_help demo_wpcap_shim winelike_ipconfig list_devices
exec scripts/demo.sh build/win
