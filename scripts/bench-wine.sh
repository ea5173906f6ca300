#!/bin/bash
# Figures of NetGlow.exe under Wine (see docs/PERFORMANCE.md): builds the
# Windows program and the fakes (Release), then bench/wine_bench.exe, and
# runs it in the test prefix.
#   scripts/bench-wine.sh [FRAMES]      default 1000000 frames per throughput run
#   scripts/bench-wine.sh startup       the anchors and start-up figures only
#   scripts/bench-wine.sh latency       the lamp latency only
#   scripts/bench-wine.sh graph         the GUI thread's CPU with the traffic graph open
#   scripts/bench-wine.sh programs      the same on a quiet adapter, and with the list of programs fed by
#                                       200 ports' traffic and 1,000 owner-table rows; the working set
#   scripts/bench-wine.sh list          only the list's busy case, measured over 60 s
set -eu -o pipefail
cd "$(dirname "$0")/.."
frames=${1:-1000000}
build=${BENCH_WIN_BUILD:-build/win}
# The prefix's server and Wine processes and the Xvfb of the run are ended on
# every way out, also when the run fails or is interrupted.
. scripts/wine-cleanup.sh
end_wine_on_exit "$build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target NetGlow fake_wpcap fake_ipconfig >/dev/null
mkdir -p "$build/bench"
# The end-to-end runs' harness, with the parts it shares with the Wine tests.
support=(tests/e2e/support/*.cpp tests/wine/support/{prefix_scaling,test_files,message_boxes,notify_recorder,import_patch,registry_seed}.cpp)
x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -static -D_WIN32_WINNT=0x0600 \
  -I. -Itests/e2e -Itests/wine -I"$build/pcap-include" bench/wine_bench.cpp "${support[@]}" \
  -o "$build/bench/wine_bench.exe" -ladvapi32 -luser32 -lgdi32 -lws2_32 -lshell32
x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -static -mwindows -D_WIN32_WINNT=0x0600 \
  bench/wine_floor.cpp -o "$build/bench/wine_floor.exe" -lws2_32 -lshell32 -luser32 -lgdi32
cd "$build/bench"
NETGLOW_SOURCE_DIR="$OLDPWD" NETGLOW_BUILD_DIR="$OLDPWD/$build" TZ=UTC \
  ../wine-run --timeout 1800 wine_bench.exe "$frames" | grep -v '^[A-Z]:.*ipconfig' &
wait $!
