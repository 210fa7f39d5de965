#!/usr/bin/env bash
# Dense cards against their truth: generated cards whose drops overlap at
# random, at rising coverage, several seeds each, analysed as they are and
# with touching stains cut apart.  Prints one table row per coverage, the
# means over the seeds.
#   bench/run_overlap.sh [BUILD_DIR] [SEEDS]
set -euo pipefail
build="${1:-build}"
seeds="${2:-4}"
gen="$build/tools/cardgen/vexolin-cardgen"
batch="$build/app/vexolin-batch"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for coverage in 0.05 0.10 0.20 0.30 0.40 0.50; do
  for seed in $(seq 1 "$seeds"); do
    card="$work/c-$coverage-$seed.bmp"
    "$gen" card "$card" --overlap --coverage "$coverage" --width 1200 --height 1200 --dust 0 \
      --median-diameter 12 --sigma 0.35 --seed "$seed" --truth >/dev/null
    "$batch" --no-log --json --dpi 600 --spread 0,0.56,0 "$card" >"$work/plain-$coverage-$seed.json" 2>/dev/null
    "$batch" --no-log --json --dpi 600 --spread 0,0.56,0 --split-touching "$card" \
      >"$work/split-$coverage-$seed.json" 2>/dev/null
  done
done
python3 - "$work" "$seeds" <<'PY'
import json, math, sys
work, seeds = sys.argv[1], int(sys.argv[2])
um = 25400 / 600
print("| coverage | true /cm2 | counted /cm2 | corrected /cm2 | split /cm2 | true nL/cm2 | counted nL/cm2 | split nL/cm2 | rejected share of area | hidden share (est.) |")
print("|---|---|---|---|---|---|---|---|---|---|")
for c in ("0.05", "0.10", "0.20", "0.30", "0.40", "0.50"):
    rows = []
    for s in range(1, seeds + 1):
        base = f"{work}/c-{c}-{s}"
        area_cm2 = (1200 * um / 1e4) ** 2
        n, vol = 0, 0.0
        for line in open(base + ".truth"):
            f = line.split()
            if f[0] == "dust":
                continue
            d_stain = math.sqrt(4 * int(f[3]) / math.pi) * um
            d_drop = 0.56 * d_stain
            vol += math.pi / 6 * d_drop ** 3 / 1e6
            n += 1
        p = json.load(open(f"{work}/plain-{c}-{s}.json"))["cards"][0]
        q = json.load(open(f"{work}/split-{c}-{s}.json"))["cards"][0]
        rows.append((n / area_cm2, p["drop_density_per_cm2"], p["overlap"]["corrected_drop_density_per_cm2"],
                     q["drop_density_per_cm2"], vol / area_cm2, p["volume_density_nl_per_cm2"],
                     q["volume_density_nl_per_cm2"], p["rejected_stains"]["area_share"], p["overlap"]["hidden_share"]))
    m = [sum(r[i] for r in rows) / len(rows) for i in range(len(rows[0]))]
    print(f"| {float(c):.0%} | {m[0]:.0f} | {m[1]:.0f} | {m[2]:.0f} | {m[3]:.0f} | {m[4]:.2f} | {m[5]:.2f} | {m[6]:.2f} | {m[7]:.3f} | {m[8]:.2f} |")
PY
