#!/usr/bin/env bash
# Whole `vexolin-batch --find-cards` runs on simulated phone photos and
# flatbed sheets against their truth: the cards are found in the picture
# (found corners, not the simulator's), straightened, segmented and
# analysed as a user's run would.  Prints one row per picture: corners off
# (largest corner distance, % of the card's width), stains counted (accepted
# drops, and rejected), drop VMD and coverage, truth against found; then,
# for each sheet, every card's figures against the same card cut out as a
# picture of its own (they must be equal).
#
#   bench/run_find_cards.sh [BUILD_DIR] [> table.txt]
#
# SEEDS="1 2 3" runs the photo cases for several seeds (default "1 2").
# QUICK=1 runs a few cases only.  Sheets are read through `convert FILE.png ppm:-`.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
batch="$build/app/vexolin-batch"
cardgen="$build/tools/cardgen/vexolin-cardgen"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work"
seeds="${SEEDS:-1 2}"

# name dpi tilt light quality scene extra...
cases=(
    "400dpi 400 5 0.25 85 leaf"
    "600dpi 600 5 0.25 85 leaf"
    "900dpi 900 5 0.25 85 soil"
    "1200dpi 1200 5 0.25 85 leaf"
    "tilt0 600 0 0.25 85 table"
    "tilt10 600 10 0.25 85 soil"
    "light0 600 5 0.0 85 leaf"
    "jpeg80 600 5 0.25 80 skin"
    "jpeg92 600 5 0.25 92 leaf"
    "1200/10/80 1200 10 0.25 80 soil"
    "shadow40 600 4 0.10 88 table --shadow 0.4"
    "dense 600 8 0.25 85 leaf --stains 3000"
)
[ "${QUICK:-0}" = 1 ] && cases=("${cases[@]:1:1}" "${cases[@]:3:1}")

compare() { # truth.json batch.json name dpi tilt light quality seed
    python3 - "$@" <<'EOF'
import json, math, sys
t = json.load(open(sys.argv[1])); b = json.load(open(sys.argv[2]))
name, dpi, tilt, light, q, seed = sys.argv[3:9]
cards = b.get('cards', [])
if not cards:
    print(f"{name:<11} {dpi:>5} {tilt:>4} {float(light)*100:>4.0f}% {q:>3} {seed:>4} | no card found"); sys.exit()
c = cards[0]
found = c['source']['corners_px']; true = t['corners_px']
width = math.dist(true[0], true[1])
off = min(max(math.dist(found[(i + k) % 4], true[i]) for i in range(4)) for k in range(4))
n = t['count']; a = c['accepted']
def pct(f, r): return 100.0 * (f - r) / r
print(f"{name:<11} {dpi:>5} {tilt:>4} {float(light)*100:>4.0f}% {q:>3} {seed:>4} | {100*off/width:6.2f} | "
      f"{n:6d} {a:6d} {c['rejected']:4d} {pct(a, n):+6.1f} | {t['drop_vmd_um']:6.0f} {c['vmd_um']:6.0f} "
      f"{pct(c['vmd_um'], t['drop_vmd_um']):+5.1f} | {t['coverage']:6.2f} {c['coverage_percent']:6.2f} "
      f"{c['coverage_percent'] - t['coverage']:+6.2f} | {len(cards)}")
EOF
}

echo "Whole vexolin-batch --find-cards runs on simulated photos (corners found, not given)."
echo "corner%: largest corner off, % of card width; stains: truth, accepted drops, rejected, % off;"
echo "VMD: drop VMD um (truth by the analysis's spread factor); cov: coverage %, pp off; cards: found."
printf '%-11s %5s %4s %5s %3s %4s | %6s | %6s %6s %4s %6s | %6s %6s %5s | %6s %6s %6s | %s\n' \
    case dpi tilt light Q seed corner% truth found rej off% truth found off% truth found pp cards
for c in "${cases[@]}"; do
    read -r name dpi tilt light q scene extra <<<"$c"
    for seed in $seeds; do
        [ "$name" = dense ] && [ "$seed" != "${seeds%% *}" ] && continue
        pic="$work/p.jpg"
        # shellcheck disable=SC2086
        "$cardgen" photo "$pic" --dpi "$dpi" --seed "$seed" --photo-seed $((100 + seed)) --scene "$scene" \
            --rotation "$tilt" --tilt-x "$tilt" --tilt-y "$(echo "$tilt / 2" | bc -l)" --gradient "$light" \
            --vignetting "$light" --quality "$q" --truth "$work/t.json" $extra >/dev/null
        "$batch" --find-cards --json "$pic" >"$work/b.json" 2>"$work/b.err" || true
        compare "$work/t.json" "$work/b.json" "$name" "$dpi" "$tilt" "$light" "$q" "$seed"
    done
done

echo
echo "Flatbed sheets at 600 dpi (light and dark lid): each card found against its truth, and against"
echo "the same pixels cut out as a picture of its own (equal: accepted, rejected, VMD, coverage alike)."
echo "Cards cut from a scan are analysed as their files are: touching stains are cut with --split-touching."
for lid in light dark light+split; do
    flag=""
    split=""
    [ $lid = dark ] && flag="--dark"
    [ $lid = light+split ] && split="--split-touching"
    # shellcheck disable=SC2086
    "$cardgen" sheet "$work/s.png" --dpi 600 --cards 4 $flag --truth "$work/st.json" >/dev/null
    # shellcheck disable=SC2086
    "$batch" --find-cards --dpi 600 $split --json "$work/s.png" >"$work/sb.json" 2>"$work/sb.err" || true
    python3 - "$work/st.json" "$work/sb.json" $lid >"$work/cuts.txt" <<'EOF'
import json, math, sys
t = json.load(open(sys.argv[1])); b = json.load(open(sys.argv[2]))
for k, c in enumerate(b['cards']):
    xs = sorted(p[0] for p in c['source']['corners_px']); ys = sorted(p[1] for p in c['source']['corners_px'])
    x0 = math.ceil(xs[1] - 0.05) + 2; y0 = math.ceil(ys[1] - 0.05) + 2
    x1 = math.floor(xs[2] + 0.05) - 2; y1 = math.floor(ys[2] + 0.05) - 2
    print(k, x1 - x0 + 1, y1 - y0 + 1, x0, y0)
EOF
    convert "$work/s.png" ppm:- >"$work/s.ppm"
    python3 - "$work/s.ppm" "$work/cuts.txt" "$work" <<'EOF'
# Each card's pixels as a 24-bit BMP at 600 dpi, as a scanner would save it.
import struct, sys
data = open(sys.argv[1], 'rb').read()
fields = []; at = 0
while len(fields) < 4:
    while data[at:at + 1].isspace(): at += 1
    if data[at:at + 1] == b'#':
        at = data.index(b'\n', at); continue
    end = at
    while not data[end:end + 1].isspace(): end += 1
    fields.append(data[at:end]); at = end
at += 1
W, H = int(fields[1]), int(fields[2])
for line in open(sys.argv[2]):
    k, w, h, x, y = map(int, line.split())
    pad = (4 - 3 * w % 4) % 4
    rows = []
    for r in range(y + h - 1, y - 1, -1):
        rgb = data[at + 3 * (r * W + x): at + 3 * (r * W + x + w)]
        bgr = bytearray(rgb); bgr[0::3] = rgb[2::3]; bgr[2::3] = rgb[0::3]
        rows.append(bytes(bgr) + b'\0' * pad)
    body = b''.join(rows); ppm = round(600 / 0.0254)
    head = struct.pack('<2sIHHIIiiHHIIiiII', b'BM', 54 + len(body), 0, 0, 54, 40, w, h, 1, 24, 0, len(body), ppm, ppm, 0, 0)
    open(f"{sys.argv[3]}/card{k}.bmp", 'wb').write(head + body)
EOF
    while read -r k _; do
        # shellcheck disable=SC2086
        "$batch" --reduce-colours --dpi 600 $split --json "$work/card$k.bmp" >"$work/alone$k.json" 2>/dev/null || true
    done <"$work/cuts.txt"
    python3 - "$work/st.json" "$work/sb.json" $lid "$work" <<'EOF'
import json, math, sys
t = json.load(open(sys.argv[1])); b = json.load(open(sys.argv[2])); lid = sys.argv[3]; work = sys.argv[4]
def pct(f, r): return 100.0 * (f - r) / r
for k, c in enumerate(b['cards']):
    found = c['source']['corners_px']
    centre = [sum(p[i] for p in found) / 4 for i in (0, 1)]
    truth = min(t['cards'], key=lambda tc: math.dist(centre, [sum(p[i] for p in tc['corners_px']) / 4 for i in (0, 1)]))
    true = truth['corners_px']; width = math.dist(true[0], true[1])
    off = min(max(math.dist(found[(i + s) % 4], true[i]) for i in range(4)) for s in range(4))
    alone = json.load(open(f"{work}/alone{k}.json"))['cards'][0]
    same = all(alone[f] == c[f] for f in ('accepted', 'rejected', 'vmd_um', 'coverage_percent', 'foreground_pixels'))
    n = truth['count']; a = c['accepted']
    print(f"{lid + '#' + str(k + 1):<11} {600:>5} {0:>4} {'-':>5} {'-':>3} {'-':>4} | {100*off/width:6.2f} | "
          f"{n:6d} {a:6d} {c['rejected']:4d} {pct(a, n):+6.1f} | {truth['drop_vmd_um']:6.0f} {c['vmd_um']:6.0f} "
          f"{pct(c['vmd_um'], truth['drop_vmd_um']):+5.1f} | {truth['coverage']:6.2f} {c['coverage_percent']:6.2f} "
          f"{c['coverage_percent'] - truth['coverage']:+6.2f} | alone: {'equal' if same else 'DIFFERENT'} "
          f"({alone['accepted']} drops, VMD {alone['vmd_um']:.0f}, cov {alone['coverage_percent']:.2f})")
EOF
done
