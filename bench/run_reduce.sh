#!/bin/bash
# Colour reduction of a large card beside the 8-bit analysis of the same card:
# the generated 10200 x 13200 card of bench/run_scan.sh and a 24-bit copy of
# it (about 400 MB of pixels), each analysed pinned to one core, files in the
# page cache.  Prints both times, their ratio and the peak memory of the
# colour run against the decoded colour picture.
#   bash bench/run_reduce.sh [repeats, default 3]
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build="$repo/build-bench"
repeats=${1:-3}
large=/tmp/vexolin_scan_10200x13200.bmp
colour=/tmp/vexolin_scan_10200x13200_24bit.bmp

cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXOLIN_BENCH=ON \
  -DVEXOLIN_GUI=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target vexolin-cardgen scan_bench colour_copy

gen="$build/tools/cardgen/vexolin-cardgen"
[ -s "$large" ] || "$gen" card "$large" --width 10200 --height 13200 --dpi 1200 --discs 150000 \
  --min-diameter 2 --max-diameter 40 --dust 1000 --seed 7
[ -s "$colour" ] || "$build/bench/colour_copy" "$large" "$colour"

cat "$large" "$colour" >/dev/null
echo "== 8-bit card, one core"
eight=$(taskset -c 0 "$build/bench/scan_bench" "$large" 1200 "$repeats" | tee /dev/stderr | grep '^RESULT')
echo "== 24-bit copy, reduced to 256 colours, one core"
colourRun=$(taskset -c 0 "$build/bench/scan_bench" "$colour" 1200 "$repeats" 150-190 reduce | tee /dev/stderr | grep '^RESULT')

field() { sed -E "s/.*$1=([0-9.]+).*/\1/" <<<"$2"; }
eightTotal=$(awk "BEGIN{print $(field decode_ms "$eight") + $(field analysis_ms "$eight")}")
reduceMs=$(field decode_ms "$colourRun")
echo "== 8-bit analysis (decode + pass + scan + statistics) ${eightTotal} ms; 24-bit decode with reduction ${reduceMs} ms:" \
  "$(awk "BEGIN{printf \"%.2f\", $reduceMs/$eightTotal}") x the 8-bit analysis"
echo "   peak memory of the colour run: $(field peak_per_picture "$colourRun") x the decoded colour picture"
echo "   stains: 8-bit $(field components "$eight"), reduced $(field components "$colourRun")"
