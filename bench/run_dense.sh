#!/usr/bin/env bash
# Dense cards against their truth, for the estimate that overlap does not
# bias: generated cards whose drops land at random, coverage 5 to 60 %,
# median stain diameters of 8, 16 and 30 pixels, several seeds and size
# spreads.  For drop density and deposit: the truth, the count, today's
# corrected density, the estimate with its 95 % interval and the count with
# touching stains cut apart; then how often the interval holds the truth.
# Means over the seeds, each figure's error against the truth in brackets.
#   bench/run_dense.sh [BUILD_DIR] [SEEDS] [SIDE]
set -euo pipefail
build="${1:-build}"
seeds="${2:-4}"
side="${3:-1200}"
gen="$build/tools/cardgen/vexolin-cardgen"
batch="$build/app/vexolin-batch"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home"
mkdir -p "$HOME"
spreads=(0.2 0.35 0.5)
for median in 8 16 30; do
  for coverage in 0.05 0.10 0.20 0.30 0.40 0.50 0.60; do
    for seed in $(seq 1 "$seeds"); do
      sigma="${spreads[$(((seed - 1) % 3))]}"
      card="$work/c-$median-$coverage-$seed.bmp"
      "$gen" card "$card" --overlap --coverage "$coverage" --width "$side" --height "$side" --dust 0 \
        --median-diameter "$median" --sigma "$sigma" --min-diameter 4 --max-diameter 40 --seed "$seed" \
        --truth >/dev/null
      "$batch" --quiet --no-log --json --dpi 600 --spread 0,0.56,0 --bootstrap 0 "$card" \
        >"$work/plain-$median-$coverage-$seed.json" 2>/dev/null
      "$batch" --quiet --no-log --json --dpi 600 --spread 0,0.56,0 --bootstrap 0 --split-touching "$card" \
        >"$work/split-$median-$coverage-$seed.json" 2>/dev/null
    done
  done
done
python3 - "$work" "$seeds" <<'PY'
import json, math, sys
work, seeds = sys.argv[1], int(sys.argv[2])
def err(v, t):
    return f"{v:.1f} ({100 * (v - t) / t:+.0f} %)" if t else f"{v:.1f}"
held = {"density": [0, 0], "deposit": [0, 0]}
errors = {"density": [], "deposit": []}
for what in ("density", "deposit"):
    unit = "drops/cm2" if what == "density" else "nL/cm2"
    print(f"\n## Drop {what} ({unit}); means over {seeds} seeds\n")
    print("| median px | coverage | truth | counted | corrected today | estimate | mean 95 % interval | interval holds | split touching |")
    print("|---|---|---|---|---|---|---|---|---|")
    for median in (8, 16, 30):
        for c in ("0.05", "0.10", "0.20", "0.30", "0.40", "0.50", "0.60"):
            rows, hold = [], 0
            for s in range(1, seeds + 1):
                p = json.load(open(f"{work}/plain-{median}-{c}-{s}.json"))["cards"][0]
                q = json.load(open(f"{work}/split-{median}-{c}-{s}.json"))["cards"][0]
                um = p["pixel_size_um"]
                area = p["card_area_cm2"]
                n, vol = 0, 0.0
                for line in open(f"{work}/c-{median}-{c}-{s}.truth"):
                    f = line.split()
                    if f[0] == "dust":
                        continue
                    d_drop = 0.56 * math.sqrt(4 * int(f[3]) / math.pi) * um
                    vol += math.pi / 6 * d_drop ** 3 / 1e6
                    n += 1
                o = p["overlap"]
                key = "estimated_drop_density_per_cm2" if what == "density" else "estimated_deposit_nl_per_cm2"
                est, ci = o[key], o[key + "_ci95"]
                truth = n / area if what == "density" else vol / area
                if est is None:
                    est, ci = float("nan"), [float("nan")] * 2
                else:
                    held[what][1] += 1
                    errors[what].append((est - truth) / truth)
                    if ci[0] <= truth <= ci[1]:
                        held[what][0] += 1
                        hold += 1
                if what == "density":
                    rows.append((truth, p["drop_density_per_cm2"], o["corrected_drop_density_per_cm2"], est, ci[0], ci[1],
                                 q["drop_density_per_cm2"]))
                else:
                    rows.append((truth, p["volume_density_nl_per_cm2"], float("nan"), est, ci[0], ci[1],
                                 q["volume_density_nl_per_cm2"]))
            m = [sum(r[i] for r in rows) / len(rows) for i in range(len(rows[0]))]
            t = m[0]
            corr = err(m[2], t) if what == "density" else "-"
            print(f"| {median} | {float(c):.0%} | {t:.1f} | {err(m[1], t)} | {corr} | {err(m[3], t)} | "
                  f"{m[4]:.1f} to {m[5]:.1f} | {hold}/{len(rows)} | {err(m[6], t)} |")
print()
for what in ("density", "deposit"):
    e = errors[what]
    within = sum(1 for x in e if abs(x) <= (0.05 if what == "density" else 0.10))
    print(f"{what}: 95 % interval held the truth on {held[what][0]} of {held[what][1]} cards "
          f"({100 * held[what][0] / max(held[what][1], 1):.0f} %); estimate within "
          f"{5 if what == 'density' else 10} % on {within} of {len(e)} cards; "
          f"mean error {100 * sum(e) / max(len(e), 1):+.1f} %, "
          f"rms {100 * math.sqrt(sum(x * x for x in e) / max(len(e), 1)):.1f} %")
PY
