#!/bin/bash
# One bounded fuzz run: FUZZER CORPUS SECONDS SEED_DIR... (extra libFuzzer
# flags through FUZZ_FLAGS). The corpus folder is created and seeded when
# missing; findings go to CORPUS/../findings. Prints the executions run.
set -eu
fuzzer=$1 corpus=$2 seconds=$3
shift 3
mkdir -p "$corpus"
findings=$(dirname "$corpus")/findings/$(basename "$corpus")
mkdir -p "$findings"
seeds=()
for dir in "$@"; do
  [ -d "$dir" ] && seeds+=("$dir")
done
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$findings/" ${FUZZ_FLAGS:-} "$corpus" "${seeds[@]}"
