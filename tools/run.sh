#!/usr/bin/env bash
# Builds Vexolin and starts it.  Without a display it starts on a virtual one.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/tools/deps.sh"
bash "$here/tools/build.sh"
program="${VEXOLIN_BUILD_DIR:-$here/build}/vexolin"
# On a first run the open dialog starts in the sample line of cards.
export VEXOLIN_SAMPLES="${VEXOLIN_SAMPLES:-$here/samples}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Vexolin on a virtual screen (xvfb-run)."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$program"
fi
exec "$program"
