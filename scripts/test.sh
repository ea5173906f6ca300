#!/bin/bash
# Builds everything and runs every test: the portable code natively under
# AddressSanitizer and UndefinedBehaviorSanitizer, short libFuzzer runs of the
# code that reads outside input, and the Windows code under Wine (unit tests of
# the Win32 glue, then NetGlow.exe end to end).
set -eu
cd "$(dirname "$0")/.."

# Whatever the Wine runs of this tree started is ended on the way out, also
# after a failure: the server of each of its prefixes (with every Wine
# process of that prefix) and the Xvfb that build/win/wine-run noted beside
# its display. Found by this tree's own files, never by process name alone:
# other trees may be testing at the same time.
end_wine() {
  local root=build/win/wine prefix pid
  for prefix in "$root"/*/; do
    [ -f "$prefix/system.reg" ] || continue
    prefix=$(cd "$prefix" && pwd)
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    WINEPREFIX=$prefix timeout 30 wineserver -w 2>/dev/null || true
  done
  if [ -s "$root/xvfb.display" ] && [ -s "$root/xvfb.pid" ]; then
    pid=$(cat "$root/xvfb.pid")
    if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do [ -d "/proc/$pid" ] || break; sleep 0.1; done
    fi
    rm -f "$root/xvfb.display" "$root/xvfb.pid"
  fi
}
trap end_wine EXIT

scripts/deps.sh
jobs=$(nproc)
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/native -j "$jobs"
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNETGLOW_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/fuzz -j "$jobs" --target fuzz_packet fuzz_ipconfig fuzz_profile_number
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build/win -j "$jobs"
status=0
ctest --test-dir build/native -j "$jobs" --output-on-failure || status=1
ctest --test-dir build/fuzz -L fuzz -j "$jobs" --output-on-failure || status=1
ctest --test-dir build/win -j "$jobs" --output-on-failure || status=1
exit $status
