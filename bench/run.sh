#!/bin/bash
# Builds the benchmark (Release, no sanitizers), makes a capture of 100000
# frames and prints ns/packet with logging off, logging on and for tcpdump.
#   bench/run.sh [FRAMES]
set -eu
cd "$(dirname "$0")/.."
frames=${1:-100000}
command -v tcpdump >/dev/null || scripts/deps.sh
build=build/bench
cmake -S . -B "$build" -G Ninja -DNETGLOW_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target packet_bench >/dev/null
work="$build/bench-data"
mkdir -p "$work"
python3 bench/make_bench_pcap.py "$work/frames.pcap" "$frames"
# The same time zone for the program and for tcpdump.
export TZ=${TZ:-UTC}
"$build/bench/packet_bench" "$work/frames.pcap" "$work/NetGlow.txt" "$work/tcpdump.txt"
