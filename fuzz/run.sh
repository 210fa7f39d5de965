#!/bin/bash
# Builds the fuzz targets with clang and runs one of them.
#   bash fuzz/run.sh [fuzz_bmp|fuzz_gif_header|fuzz_colour_pass|fuzz_gif|fuzz_tif|fuzz_png|fuzz_jpeg|fuzz_templates_file|fuzz_settings_file|fuzz_trial_file|fuzz_card_finder] [seconds, default 600]
# The run works on a copy of fuzz/corpus/<target>/ in build-fuzz/corpus/<target>/,
# which keeps growing from run to run (FRESH=1 starts it again from the seeds).
# Crashing inputs go to build-fuzz/findings/<target>/; minimise each with
#   build-fuzz/fuzz/<target> -minimize_crash=1 -runs=100000 <crash file>
# and add it to fuzz/corpus/<target>/: every test run replays that folder.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build="$repo/build-fuzz"
target=${1:-fuzz_bmp}
seconds=${2:-600}
case "$target" in
  fuzz_bmp | fuzz_gif_header | fuzz_colour_pass | fuzz_gif | fuzz_tif | fuzz_png | fuzz_jpeg | fuzz_templates_file | fuzz_settings_file | fuzz_trial_file | fuzz_card_finder) ;;
  *) echo "unknown target $target" >&2; exit 2 ;;
esac

CC=clang CXX=clang++ cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVEXOLIN_GUI=ON -DBUILD_TESTING=OFF -DVEXOLIN_FUZZ=ON >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target "$target"
# A trial file is a database of pages: its seeds are trials of 512-byte pages.
max_len=4096
[ "$target" = fuzz_trial_file ] && max_len=32768

corpus="$build/corpus/$target"
findings="$build/findings/$target"
log="$build/$target.log"
[ "${FRESH:-0}" = 1 ] && rm -rf "$corpus"
mkdir -p "$corpus" "$findings"
for seed in "$repo/fuzz/corpus/$target"/*; do
  [ -e "$corpus/$(basename "$seed")" ] || cp "$seed" "$corpus/"
done

status=0
(cd "$findings" && "$build/fuzz/$target" "$corpus" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/") >"$log" 2>&1 || status=$?

# The last progress line carries the coverage; the final stats the totals.
echo "== $target, ${seconds}s, log in $log"
grep -E '^#[0-9]+' "$log" | tail -n 1 || true
grep -E '^stat::' "$log" || true
if [ "$status" -ne 0 ]; then
  echo "== the run stopped with status $status:"
  grep -E 'ERROR|SUMMARY|Test unit written|deadly signal' "$log" || tail -n 30 "$log"
fi
exit "$status"
