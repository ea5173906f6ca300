#!/bin/bash
# The long soak: FRAMES (default one million) replayed through NetGlow.exe
# under Wine with logging on, outside CTest's per-test time limit.
#   scripts/soak.sh [FRAMES]
set -eu
cd "$(dirname "$0")/.."
frames=${1:-1000000}
# The prefix's server and Wine processes and the Xvfb of the run are ended on
# every way out, also when the run fails or is interrupted.
. scripts/wine-cleanup.sh
end_wine_on_exit build/win
scripts/deps.sh
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build/win -j "$(nproc)"
# Over 100,000 frames a second under Wine: allow a second per 10,000 frames.
limit=$(( 600 + frames / 10000 ))
top=$PWD
(cd build/win/tests/e2e && NETGLOW_SOAK_FRAMES=$frames NETGLOW_SOURCE_DIR="$top" NETGLOW_BUILD_DIR="$top/build/win" \
  TZ=UTC ../../wine-run --timeout "$limit" ./e2e_soak_test.exe) &
wait $!
