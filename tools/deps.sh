#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# when any is missing, and any more named as arguments.  Safe to run again;
# asks apt only when needed.
set -euo pipefail

packages=(
  build-essential            # the C++ compiler
  cmake ninja-build          # the build
  qt6-base-dev               # Qt 6 Widgets, Gui, PrintSupport, Test
  qt6-image-formats-plugins  # reading TIF card scans
  libgif-dev                 # reading GIF card scans with their colour table
  libtiff-dev                # the TIF reader's own warnings, passed on with the file's name
  libpng-dev libjpeg-dev     # decoding JPEG cards; PNG resolution and chunk checksums (zlib comes with libpng-dev)
  libopencv-core-dev libopencv-imgproc-dev  # reduction of colour scans: k-means, CIELAB
  libsqlite3-dev             # the trial file, an SQLite database
  libssl-dev                 # the SHA-256 of card files (libcrypto), to see that one has changed
  libgtest-dev               # the core's unit tests
  sqlite3                    # tests: the stock shell reads a saved trial
  pkgconf                    # tests: pkg-config reads the installed palwrite.pc
  fonts-liberation           # the report's Arial-compatible face
  xvfb xauth                 # a virtual screen when there is no display
  locales                    # a comma locale for the tests of number reading and writing
)

# Callers may ask for more (CI's sanitizer build wants clang).
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The tests read and write numbers under a locale whose decimal separator is
# a comma, as a German desktop gives the program.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
