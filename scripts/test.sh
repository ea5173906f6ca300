#!/bin/bash
# Builds everything and runs every test: the portable code natively under
# AddressSanitizer and UndefinedBehaviorSanitizer, short libFuzzer runs of the
# code that reads outside input, and the Windows code under Wine (unit tests of
# the Win32 glue, then NetGlow.exe end to end).
set -eu
cd "$(dirname "$0")/.."

# Whatever the Wine runs of this tree started is ended on the way out, also
# after a failure.
. scripts/wine-cleanup.sh
end_wine_on_exit build/win

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
