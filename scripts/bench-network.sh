#!/bin/bash
# Figures of NetGlow.exe following the network under Wine (see
# docs/PERFORMANCE.md), with two real adapters in a private network
# namespace, as root: the time from a change of the default route to the
# first frame logged on the newly routed adapter (median and worst of 10),
# and the CPU time NetGlow.exe uses over 10 s on a quiet adapter. Builds
# NetGlow.exe, the demo forwarder and bench/network_bench.cpp (Release) and
# runs it through wine-run --private-network, which ends every process the
# run started in its namespace when it ends or gets TERM; what is left of the
# tree's Wine runs is ended on the way out.
#   scripts/bench-network.sh
set -eu -o pipefail
cd "$(dirname "$0")/.."
build=${BENCH_WIN_BUILD:-build/win}
. scripts/wine-cleanup.sh
end_wine_on_exit "$build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target network_bench >/dev/null
cd "$build/bench"
NETGLOW_SOURCE_DIR="$OLDPWD" NETGLOW_BUILD_DIR="$OLDPWD/$build" TZ=UTC \
  ../wine-run --prefix follow --private-network --timeout 600 network_bench.exe | grep -v 'ipconfig\.exe\|^\r\?$' &
wait $!
