#!/bin/bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each one for a
# bounded time, two at a time, on a corpus kept under the build folder.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     default: 20 s, all three targets
# Long runs by hand, e.g. an hour each: scripts/fuzz.sh 3600
# Exit status 1 when any target reports a finding; the reproducer is in
# build/fuzz/findings/TARGET/ (copy it to tests/fuzz/regressions/TARGET/
# once fixed, where the native build replays it).
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(packet ipconfig profile_number)
build=${FUZZ_BUILD:-build/fuzz}
cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNETGLOW_FUZZ=ON >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target "${targets[@]/#/fuzz_}" >/dev/null
dir="$build/tests/fuzz"
status=0
run() {
  local target=$1 log="$dir/fuzz_$1.log"
  if tests/fuzz/run_fuzzer.sh "$dir/fuzz_$target" "$dir/corpus/$target" "$seconds" \
       "$dir/seeds/$target" tests/fuzz/regressions/"$target" >"$log" 2>&1 \
     && ! grep -qE "ERROR: |runtime error|^fuzz_[a-z_]+: " "$log"; then
    echo "fuzz_$target: $(sed -n 's/^stat::number_of_executed_units: *//p' "$log") executions in ${seconds} s, no finding"
  else
    echo "fuzz_$target: FINDING, see $log"
    grep -E "ERROR: |runtime error|^fuzz_[a-z_]+: |Test unit written" "$log" | head -5
    return 1
  fi
}
pids=()
for target in "${targets[@]}"; do
  run "$target" & pids+=($!)
  # At most two at once.
  if [ ${#pids[@]} -ge "${JOBS:-2}" ]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do
  wait "$pid" || status=1
done
exit $status
