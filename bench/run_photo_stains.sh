#!/usr/bin/env bash
# Stains in simulated phone photos and flatbed sheets against their truth:
# builds the benchmark in a Release tree of its own and prints its table
# (resolution, tilt, light, JPEG quality: truth and found stains, coverage
# and drop VMD), then the speed of the segmentation against the 256-colour
# reduction on a 3-megapixel card.
#
#   bench/run_photo_stains.sh [--quick] [> table.txt]
#
# PHOTO_FACTS=1 adds, under each row, the paper and stain colours learnt,
# the noise, the stains sized by their colour, the stains found by a scan
# that does not cut touching stains apart, and the VMD the analysis gives
# for the true stains.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${VEXOLIN_BENCH_DIR:-$here/build-bench}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXOLIN_BENCH=ON >/dev/null
cmake --build "$build" --parallel "${VEXOLIN_JOBS:-2}" --target photo_stains_bench >/dev/null
"$build/bench/photo_stains_bench" "$@"
