#!/bin/bash
# Writes a few pictures with Palwrite and has ImageMagick's identify read
# them: each must come back as an 8-bit palette BMP of the right size.
#   bash palwrite/check_identify.sh [build folder, default build]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build="${1:-$repo/build}"
command -v identify >/dev/null || { echo "identify (imagemagick) is not installed" >&2; exit 2; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cat >"$out/write.cpp" <<'CPP'
#include "palwrite.h"
#include <dlfcn.h>
#include <cstdio>
#include <cstdlib>
#include <vector>
int main(int argc, char **argv)
{
    void *h = dlopen(argv[1], RTLD_NOW);
    if (!h) return 1;
    auto create = (int (*)(SavePalwrite **))dlsym(h, "palwrite_create");
    auto save = (int (*)(SavePalwrite *, const PalwritePicture *, const char *))dlsym(h, "palwrite_save");
    SavePalwrite *s = nullptr;
    create(&s);
    const int w = std::atoi(argv[3]), hgt = std::atoi(argv[4]);
    std::vector<unsigned char> px(w * hgt * 4);
    for (int i = 0; i < w * hgt; ++i) { px[4 * i] = i * 3; px[4 * i + 1] = i * 7; px[4 * i + 2] = i * 11; }
    PalwritePicture p{w, hgt, w * 4, 32, px.data()};
    return save(s, &p, argv[2]);
}
CPP
g++ -std=c++17 -I"$repo/palwrite" "$out/write.cpp" -ldl -o "$out/write"
lib="$build/palwrite/libpalwrite.so.1"
status=0
for size in "1 1" "5 2" "4 7" "640 480"; do
  set -- $size
  "$out/write" "$lib" "$out/p.bmp" "$1" "$2"
  line=$(identify -format '%m %wx%h %[bit-depth]-bit %r' "$out/p.bmp")
  entries=$(identify -verbose "$out/p.bmp" | sed -n 's/^ *Colormap entries: *//p')
  echo "$1 x $2: $line, $entries colour table entries"
  case "$line" in
    BMP*" $1x$2 8-bit PseudoClass"*) ;;
    *) echo "  not an 8-bit palette BMP of $1 x $2" >&2; status=1 ;;
  esac
  [ "$entries" = 256 ] || { echo "  the colour table should have 256 entries" >&2; status=1; }
done
exit "$status"
