#!/bin/bash
# Builds NetGlow.exe and starts it in a Wine desktop prepared to look like a
# Windows machine (taskbar, notification area, adapters with connection names).
# Without a display it runs on Xvfb and saves a screenshot to docs/.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build/win -j "$(nproc)" --target NetGlow
if [ ! -x scripts/demo.sh ]; then
  echo "NetGlow.exe is built (build/win/NetGlow.exe) but cannot start yet."
  exit 0
fi
exec scripts/demo.sh build/win
