#!/usr/bin/env bash
# Builds everything and runs every test; the widget tests need no display.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/tools/deps.sh"
bash "$here/tools/build.sh"
cd "${VEXOLIN_BUILD_DIR:-$here/build}"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel 2 --timeout 600
