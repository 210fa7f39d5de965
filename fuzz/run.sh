#!/bin/bash
# Builds the fuzz targets with clang and runs one of them.
#   bash fuzz/run.sh [fuzz_bmp|fuzz_gif_header|fuzz_colour_pass] [seconds, default 600]
# Findings go to build-fuzz/findings/<target>/; add each one as a test.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build="$repo/build-fuzz"
target=${1:-fuzz_bmp}
seconds=${2:-600}

CC=clang CXX=clang++ cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVEXOLIN_GUI=OFF -DBUILD_TESTING=OFF -DVEXOLIN_FUZZ=ON >/dev/null
cmake --build "$build" -j2 --target "$target"

seeds="$build/seeds"
[ -d "$seeds" ] || /usr/bin/python3 "$repo/fuzz/make_seeds.py" "$seeds"
case "$target" in
  fuzz_bmp) seed="$seeds/bmp" ;;
  fuzz_gif_header) seed="$seeds/gif" ;;
  *) seed="$seeds/colour" ;;
esac
corpus="$build/corpus/$target"
findings="$build/findings/$target"
mkdir -p "$corpus" "$findings"
cp -n "$seed"/* "$corpus"/ 2>/dev/null || true

cd "$findings"
"$build/fuzz/$target" "$corpus" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/"
