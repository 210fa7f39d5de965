#!/bin/bash
# The stain scan's worst cases beside a normal card of the same size, one
# core each: the large generated card scanned with the dither question
# answered No (its dither pixels become thousands of touching specks), and a
# checkerboard of one-pixel stains.
#   bash bench/run_worst_cases.sh [repeats, default 3]
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build="$repo/build-bench"
repeats=${1:-3}
large=/tmp/vexolin_scan_10200x13200.bmp
normal=/tmp/vexolin_scan_10000x10000.bmp
board=/tmp/vexolin_checkerboard_10000.bmp

cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXOLIN_BENCH=ON \
  -DVEXOLIN_GUI=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target vexolin-cardgen scan_bench

gen="$build/tools/cardgen/vexolin-cardgen"
[ -s "$large" ] || "$gen" card "$large" --width 10200 --height 13200 --dpi 1200 --discs 150000 \
  --min-diameter 2 --max-diameter 40 --dust 1000 --seed 7
[ -s "$normal" ] || "$gen" card "$normal" --width 10000 --height 10000 --dpi 1200 --discs 110000 \
  --min-diameter 2 --max-diameter 40 --dust 700 --seed 9
[ -s "$board" ] || /usr/bin/python3 "$repo/bench/make_checkerboard.py" "$board" 10000
cat "$large" "$normal" "$board" >/dev/null

run() { # label, file, extra arguments
  echo "== $1"
  taskset -c 0 "$build/bench/scan_bench" "$2" 1200 "$repeats" 150-190 "${@:3}" | grep -E '^(stain pixels|analysis  )'
}
run "normal card 10200 x 13200" "$large"
run "the same card, dither answered No" "$large" no-dither
run "normal card 10000 x 10000" "$normal"
run "checkerboard of one-pixel stains 10000 x 10000" "$board" no-dither
