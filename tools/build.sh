#!/usr/bin/env bash
# Configures and builds into build/ (or $VEXOLIN_BUILD_DIR) with two jobs.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${VEXOLIN_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$build" --parallel "${VEXOLIN_JOBS:-2}"
