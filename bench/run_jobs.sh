#!/bin/bash
# vexolin-batch on a line of 8 copies of run_scan.sh's large card (10200 x
# 13200, 150 000 stains) with --jobs 1 and --jobs 2, each a whole process
# from start to exit, taken in turns so that other work on the machine
# weighs on both alike; then the throughput of two jobs against one.
#   bash bench/run_jobs.sh [repeats, default 7] [extra vexolin-batch options]
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build="$repo/build-bench"
repeats=${1:-7}
shift || true
large=/tmp/vexolin_scan_10200x13200.bmp
line=/tmp/vexolin_jobs_line

cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXOLIN_BENCH=ON \
  -DVEXOLIN_GUI=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target vexolin-cardgen vexolin-batch
[ -s "$large" ] || "$build/tools/cardgen/vexolin-cardgen" card "$large" --width 10200 --height 13200 \
  --dpi 1200 --discs 150000 --min-diameter 2 --max-diameter 40 --dust 1000 --seed 7
mkdir -p "$line"
for i in 1 2 3 4 5 6 7 8; do ln -f "$large" "$line/card$i.bmp" 2>/dev/null || cp "$large" "$line/card$i.bmp"; done
cat "$large" >/dev/null

one=()
two=()
for ((r = 0; r < repeats; r++)); do
  for jobs in 1 2; do
    start=$(date +%s.%N)
    "$build/app/vexolin-batch" --jobs "$jobs" --dpi 1200 --hue 150-190 --no-log "$@" "$line" >/dev/null
    end=$(date +%s.%N)
    t=$(awk "BEGIN{printf \"%.3f\", $end - $start}")
    if [ "$jobs" = 1 ]; then one+=("$t"); else two+=("$t"); fi
  done
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END{print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
best() { printf '%s\n' "$@" | sort -n | head -1; }
echo "--jobs 1: ${one[*]} s"
echo "--jobs 2: ${two[*]} s"
b1=$(best "${one[@]}"); b2=$(best "${two[@]}"); m1=$(median "${one[@]}"); m2=$(median "${two[@]}")
echo "8 large cards ($*): --jobs 1 best $b1 s, median $m1 s; --jobs 2 best $b2 s, median $m2 s;" \
  "two jobs give $(awk "BEGIN{printf \"%.2f\", $b1/$b2}") times the throughput (best against best)," \
  "$(awk "BEGIN{printf \"%.2f\", $m1/$m2}") (median against median); load: $(cut -d' ' -f1-3 /proc/loadavg)"
