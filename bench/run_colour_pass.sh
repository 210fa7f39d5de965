#!/bin/bash
# Builds the colour pass benchmark in Release, makes the large test card once,
# brings it into the page cache and measures on one core.
#   bash bench/run_colour_pass.sh [repeats]
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build="$repo/build-bench"
card=/tmp/vexolin_card_10200x13200.bmp
repeats=${1:-7}

cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXOLIN_BENCH=ON \
  -DVEXOLIN_GUI=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target make_card colour_pass_bench

if [ ! -s "$card" ]; then
  "$build/bench/make_card" "$card.part" 10200 13200 0.15 1
  mv "$card.part" "$card"
fi

# Read it twice: the pass is measured from the page cache, not from the disk.
cat "$card" >/dev/null
cat "$card" >/dev/null

taskset -c 0 "$build/bench/colour_pass_bench" "$card" "$repeats"
