#!/usr/bin/env bash
# Builds the Debian package, vexolin_<version>-1_<arch>.deb, in build/ (or
# $VEXOLIN_BUILD_DIR) from the ordinary build, and shows its control data
# and its files.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${VEXOLIN_BUILD_DIR:-$here/build}"
# dpkg-shlibdeps (dpkg-dev) names the packages of the libraries the
# programs link, for the package's dependencies.
bash "$here/tools/deps.sh" dpkg-dev
bash "$here/tools/build.sh"
cd "$build"
rm -f vexolin_*.deb
cpack -G DEB
deb=$(ls vexolin_*.deb)
dpkg-deb -I "$deb"
dpkg-deb -c "$deb"
echo "Package: $build/$deb"
