#!/bin/bash
# Builds Palwrite and its benchmark in Release and saves a 10 000 x 10 000
# picture a few times, pinned to one core.
#   bash bench/run_palwrite.sh [repeats, default 3]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build="$repo/build-bench"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXOLIN_BENCH=ON \
  -DVEXOLIN_GUI=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target palwrite palwrite_bench
taskset -c 0 "$build/bench/palwrite_bench" "$build/palwrite/libpalwrite.so.1" /tmp/palwrite_bench.bmp 10000 "${1:-3}"
