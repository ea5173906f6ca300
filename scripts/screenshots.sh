#!/bin/bash
# Refreshes the screenshots under docs/screenshots: the first session through
# the tray icon, run under Wine, saves them as it goes.
set -eu
cd "$(dirname "$0")/.."
# The prefix's server and Wine processes and the Xvfb of the run are ended on
# every way out, also when the run fails or is interrupted.
. scripts/wine-cleanup.sh
end_wine_on_exit build/win
scripts/deps.sh
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build/win -j "$(nproc)"
# Inside the build tree, so that the exit trap (the Wine clean-up) leaves
# nothing behind elsewhere; emptied at each run.
shots=$PWD/build/win/screenshots
rm -rf "$shots" && mkdir -p "$shots"
# Wine draws a light taskbar but keeps no value for it (Windows reads a
# missing one as dark): the pictures show the lamps for a light taskbar. The
# value is taken away again, as the tests expect the prefix without it.
personalize='HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize'
build/win/wine-run reg add "$personalize" /v SystemUsesLightTheme /t REG_DWORD /d 1 /f >/dev/null
status=0
NETGLOW_SCREENSHOTS="$shots" NETGLOW_SOURCE_DIR="$PWD" NETGLOW_BUILD_DIR="$PWD/build/win" TZ=UTC \
  build/win/wine-run build/win/tests/e2e/e2e_user_session_test.exe &
wait $! || status=$?
build/win/wine-run reg delete "$personalize" /v SystemUsesLightTheme /f >/dev/null
[ "$status" -eq 0 ] || exit "$status"
mkdir -p docs/screenshots
for bmp in "$shots"/*.bmp; do
  convert "$bmp" "docs/screenshots/$(basename "${bmp%.bmp}").png"
done
ls docs/screenshots
