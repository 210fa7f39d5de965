#!/usr/bin/env bash
# Installs the package tools/package.sh built into a fresh Debian 12 chroot
# with apt-get, which brings its dependencies from the Debian mirror, and
# runs the installed programs there on the installed sample cards.  The
# bootstrapped system is kept in $VEXOLIN_CHROOT (/var/tmp/vexolin-chroot)
# and each check runs in a new copy of it.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${VEXOLIN_BUILD_DIR:-$here/build}"
deb="${1:-$(ls "$build"/vexolin_*.deb | tail -n 1)}"
cache="${VEXOLIN_CHROOT:-/var/tmp/vexolin-chroot}"
mirror="${VEXOLIN_MIRROR:-http://deb.debian.org/debian}"
bash "$here/tools/deps.sh" debootstrap

if [ ! -x "$cache/base/usr/bin/apt-get" ]; then
  rm -rf "$cache/base"
  mkdir -p "$cache"
  debootstrap bookworm "$cache/base" "$mirror"
fi
root="$cache/run"
umount "$root/dev/pts" "$root/proc" 2>/dev/null || true
rm -rf "$root"
cp -a "$cache/base" "$root"
trap 'umount "$root/dev/pts" "$root/proc" 2>/dev/null || true' EXIT
mount -t proc proc "$root/proc"
mount -t devpts devpts "$root/dev/pts"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"

# As root first, as the package is installed; then as a user, from the home
# folder, who may not write beside the installed cards.
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root DEBIAN_FRONTEND=noninteractive \
  bash -uo pipefail -c '
    apt-get update -qq && apt-get install -y "/tmp/$1" > /tmp/apt.log || { cat /tmp/apt.log; exit 1; }
    grep -E "newly installed|^Setting up vexolin" /tmp/apt.log
    samples=/usr/share/vexolin/samples
    echo "== vexolin --version =="
    QT_QPA_PLATFORM=offscreen vexolin --version
    echo "== vexolin-batch --json $samples/card05.bmp =="
    vexolin-batch --json $samples/card05.bmp > /tmp/card05.json
    echo "exit status $?"
    head -c 400 /tmp/card05.json; echo " ..."
    echo "== QT_QPA_PLATFORM=offscreen vexolin-batch --report /tmp/r.pdf $samples/card0*.bmp =="
    QT_QPA_PLATFORM=offscreen vexolin-batch --report /tmp/r.pdf $samples/card0*.bmp
    echo "exit status $?"
    ls -l /tmp/r.pdf && head -c 8 /tmp/r.pdf && echo
    echo "== as a user =="
    useradd -m tester
    su tester -c "cd && vexolin-batch --json --dpi 600 --hue 150-190 $samples/card05.bmp > card05.json; echo \"exit status \$?\"; head -c 200 card05.json; echo \" ...\""
    su tester -c "cd && vexolin-batch --no-log --dpi 600 --hue 150-190 --report r.pdf $samples/card0*.bmp; echo \"exit status \$?\"; ls -l r.pdf"
    su tester -c "cd && vexolin-batch --no-log --jobs 2 --dpi 600 --hue 150-190 --json $samples > line.json; echo \"exit status \$?\"; grep -c \"\\\"file\\\": \\\"$samples/card\" line.json"
    echo "== faces in the report =="
    apt-get install -y -qq poppler-utils > /dev/null && pdffonts /tmp/r.pdf
  ' check "$(basename "$deb")"
