#!/bin/bash
# The analysis of a card (colour pass, stain scan, statistics) beside the same
# job done with OpenCV's connectedComponentsWithStats, in one run, each pinned
# to one core, on a large generated card with about 150 000 stains; then
# vexolin-batch on that card as a whole process, start to exit, beside
# OpenCV's in-process time; then a typical 2400 x 3600 card.
#   bash bench/run_scan.sh [repeats, default 5]
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build="$repo/build-bench"
repeats=${1:-5}
large=/tmp/vexolin_scan_10200x13200.bmp
typical=/tmp/vexolin_scan_2400x3600.bmp

if ! /usr/bin/python3 -c 'import cv2' 2>/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y python3-opencv >/dev/null
fi
# The batch tool sits on the Qt adapters, so they are built too.
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXOLIN_BENCH=ON \
  -DVEXOLIN_GUI=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target vexolin-cardgen scan_bench vexolin-batch

gen="$build/tools/cardgen/vexolin-cardgen"
[ -s "$large" ] || "$gen" card "$large" --width 10200 --height 13200 --dpi 1200 --discs 150000 \
  --min-diameter 2 --max-diameter 40 --dust 1000 --seed 7
[ -s "$typical" ] || "$gen" card "$typical" --width 2400 --height 3600 --dpi 1200 --discs 6000 \
  --min-diameter 2 --max-diameter 40 --dust 100 --seed 8

cat "$large" "$typical" >/dev/null
echo "== Vexolin on one core: $large"
ours=$(taskset -c 0 "$build/bench/scan_bench" "$large" 1200 "$repeats" | tee /dev/stderr | grep '^RESULT')
background=$(sed -E 's/.*background=([0-9]+).*/\1/' <<<"$ours")
dither=$(sed -E 's/.*dither=([0-9]+).*/\1/' <<<"$ours")
echo "== OpenCV on one core"
theirs=$(OPENCV_FOR_THREADS_NUM=1 taskset -c 0 /usr/bin/python3 "$repo/bench/opencv_scan.py" "$large" "$background" "$dither" "$repeats" | tee /dev/stderr | grep '^RESULT')
# What a user waits for: the batch tool from start to exit, its JSON thrown
# away, scan log off, the file in the page cache.
echo "== vexolin-batch as a whole process on one core (load: $(cut -d' ' -f1-3 /proc/loadavg))"
whole=$(taskset -c 0 /usr/bin/python3 "$repo/bench/time_process.py" "$repeats" \
  "$build/app/vexolin-batch" --dpi 1200 --no-log --json "$large" | tee /dev/stderr | grep '^RESULT')
echo "== OpenCV with both cores"
/usr/bin/python3 "$repo/bench/opencv_scan.py" "$large" "$background" "$dither" "$repeats" | grep -v '^RESULT'

a=$(sed -E 's/.*analysis_ms=([0-9.]+).*/\1/' <<<"$ours")
b=$(sed -E 's/.*analysis_ms=([0-9.]+).*/\1/' <<<"$theirs")
ca=$(sed -E 's/.*components=([0-9]+).*/\1/' <<<"$ours")
cb=$(sed -E 's/.*components=([0-9]+).*/\1/' <<<"$theirs")
echo "== large card: Vexolin ${a} ms, OpenCV ${b} ms (one core each): OpenCV takes $(awk "BEGIN{printf \"%.2f\", $b/$a}") times as long"
echo "   stains: Vexolin ${ca} (accepted + rejected), OpenCV ${cb} components"
wb=$(sed -E 's/.* best_ms=([0-9.]+).*/\1/' <<<"$whole")
wm=$(sed -E 's/.* median_ms=([0-9.]+).*/\1/' <<<"$whole")
wc=$(sed -E 's/.*cpu_best_ms=([0-9.]+).*/\1/' <<<"$whole")
ob=$(sed -E 's/.* best_ms=([0-9.]+).*/\1/' <<<"$theirs")
echo "== whole process: vexolin-batch best ${wb} ms, median ${wm} ms from start to exit (processor time best ${wc} ms);" \
  "OpenCV's labelling in-process best ${ob} ms, median ${b} ms (one core each)"
echo "   OpenCV's labelling takes $(awk "BEGIN{printf \"%.2f\", $ob/$wb}") times as long (best against best)," \
  "$(awk "BEGIN{printf \"%.2f\", $b/$wm}") (median against median); load: $(cut -d' ' -f1-3 /proc/loadavg)"

echo
echo "== Vexolin on one core: $typical"
taskset -c 0 "$build/bench/scan_bench" "$typical" 1200 "$repeats"
