#!/bin/bash
# Scan logs and the PDF report under two programs writing at once and under
# kill -9 at random moments: every file must be whole (an old version or a
# new one, never a torn mix) and no temporary may be left beside it.
#   bash bench/run_crash_writes.sh [rounds, default 100]
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-100}
batch="${VEXOLIN_BUILD_DIR:-$repo/build}/app/vexolin-batch"
[ -x "$batch" ] || bash "$repo/tools/build.sh" >/dev/null
work=$(mktemp -d /tmp/vexolin_crash.XXXXXX)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
cp "$repo"/samples/card0[1-6].bmp "$work/"
args=(--dpi 600 --hue 150-190 --log --positions -20,10 --report "$work/report.pdf" "$work"/card0*.bmp)

# A log is whole when it starts with its header and ends with a section's
# closing empty line; the report when it is a PDF that reaches its end mark.
torn() {
  local bad=0 f
  for f in "$work"/card0*.scn; do
    [ -e "$f" ] || continue
    if ! head -c 43 "$f" | grep -q "Vexolin -- Quarrow Droplet Analysis Program" ||
       [ "$(tail -c 4 "$f" | od -An -c | tr -d ' ')" != '\r\n\r\n' ]; then bad=$((bad + 1)); fi
  done
  if [ -e "$work/report.pdf" ]; then
    head -c 5 "$work/report.pdf" | grep -q '%PDF-' && tail -c 16 "$work/report.pdf" | grep -q '%%EOF' || bad=$((bad + 1))
  fi
  echo "$bad"
}
strays() { find "$work" -maxdepth 1 -name '.*' -type f | wc -l; }

echo "== two writers over the same folder, $rounds rounds"
tornTwo=0
for ((i = 0; i < rounds; ++i)); do
  "$batch" "${args[@]}" >/dev/null 2>&1 & a=$!
  "$batch" "${args[@]}" >/dev/null 2>&1 & b=$!
  wait "$a" "$b" || true
  tornTwo=$((tornTwo + $(torn)))
done
echo "torn files: $tornTwo, stray temporaries: $(strays)"

echo "== kill -9 at a random moment, $rounds rounds"
tornKill=0
for ((i = 0; i < rounds; ++i)); do
  "$batch" "${args[@]}" >/dev/null 2>&1 & p=$!
  sleep "0.$(printf '%03d' $((RANDOM % 400)))"
  kill -9 "$p" 2>/dev/null || true
  wait "$p" 2>/dev/null || true
  tornKill=$((tornKill + $(torn)))
done
echo "torn files: $tornKill, stray temporaries: $(strays)"
