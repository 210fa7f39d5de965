#!/usr/bin/env bash
# Makes the pictures of the user guide (docs/images/*.png) with the program's
# own screenshot tool, on a virtual screen, from copies of the sample cards.
# Builds nothing: run it after `bash tools/run.sh` or `bash tools/test.sh`
# (or point VEXOLIN_BUILD_DIR at another build).  The user's settings are
# never touched: the screenshot tool keeps its settings in memory.
#
# A new picture is one more `shot` line (a folder name, then the tool's
# arguments, cards given as cards/cardNN.bmp) and one more `keep` line
# (that folder, the picture the tool wrote, the name under docs/images).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${VEXOLIN_BUILD_DIR:-$here/build}"
tool="$build/app/vexolin-screenshots"
images="$here/docs/images"
if [ ! -x "$tool" ]; then
  echo "$tool is not there: build first (bash tools/test.sh)" >&2
  exit 1
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$images"

# The real ImageMagick, when installed, scales wide pictures down; without it
# the pictures are kept as the tool made them.
scale=""
if convert -version 2>/dev/null | grep -q ImageMagick; then
  scale="convert"
fi

# shot NAME ARGS...: runs the tool in a folder of its own holding the sample
# cards, so that a trial saved there names its cards relative to itself.
shot() {
  local name="$1"
  shift
  local out="$work/$name"
  mkdir -p "$out/cards"
  cp "$here"/samples/card*.bmp "$out/cards/"
  echo "== $name: $*"
  if ! (cd "$out" && HOME="$work/home" timeout 600 \
        xvfb-run -a -s "-screen 0 1600x1000x24" "$tool" "$out" "$@") >"$out.log" 2>&1; then
    cat "$out.log" >&2
    echo "the screenshot tool failed on: $name $*" >&2
    exit 1
  fi
}

# keep NAME PICTURE GUIDE_NAME [WIDTH]: copies a picture into docs/images,
# scaled down to WIDTH pixels when it is wider and ImageMagick is there.
keep() {
  local from="$work/$1/$2" to="$images/$3" width="${4:-}"
  if [ ! -f "$from" ]; then
    echo "the screenshot tool made no $1/$2" >&2
    exit 1
  fi
  if [ -n "$scale" ] && [ -n "$width" ]; then
    "$scale" "$from" -resize "${width}x>" -strip "$to"
  else
    cp "$from" "$to"
  fi
  echo "   $to"
}

shot card cards/card05.bmp 600
keep card main_unmasked.png card-scanned.png
keep card main_masked_cvf.png card-masked-cvf.png
keep card view_fitted.png window-large-fitted.png 1200

# A card too dense for reliable drop counts, drawn by the card generator.
"$build/tools/cardgen/vexolin-cardgen" card "$work/dense.bmp" --overlap --coverage 0.3 >/dev/null
shot dense "$work/dense.bmp" 600
keep dense main_unmasked.png card-dense.png

shot dense-overlay --overlay "$work/dense.bmp" 600
keep dense-overlay overlay-fitted.png overlay-dense.png 1200

shot overlay --overlay cards/card05.bmp 600
keep overlay overlay-fitted.png overlay-fitted.png 1200
keep overlay overlay-hover.png overlay-hover.png

shot stale --stale cards/card05.bmp
keep stale stale-figures.png stale-figures.png

shot onecard --line cards/card05.bmp
keep onecard line_statistics.png onecard-line.png
keep onecard preview_page1.png onecard-report.png

shot line --line cards/card01.bmp cards/card02.bmp cards/card03.bmp cards/card04.bmp cards/card05.bmp \
  cards/card06.bmp cards/card07.bmp cards/card08.bmp cards/card09.bmp
keep line line_statistics.png line-statistics.png
keep line line_swath_deposit.png line-swath-deposit.png
keep line preview_page1.png report-page1.png
keep line preview_page2.png report-page2.png

shot passes --passes cards/card01.bmp cards/card02.bmp cards/card03.bmp cards/card04.bmp cards/card05.bmp \
  cards/card06.bmp cards/card07.bmp cards/card08.bmp cards/card09.bmp
keep passes card_positions.png card-positions.png
keep passes mean_statistics.png mean-of-passes.png
keep passes reopened.png trial-reopened.png

shot sheet --sheet
keep sheet cutting.png sheet-cutting.png
keep sheet cutting-templates.png sheet-templates.png

shot photo --photo photo.jpg
keep photo load-after.png photo-loaded.png

# A phone photo of a card on a leaf and a flatbed scan of six cards, drawn by
# the photo simulator, in the Find Cards window.
"$build/tools/cardgen/vexolin-cardgen" photo "$work/leaf.jpg" --rotation 8 --tilt-x 6 --gradient 0.2 >/dev/null
"$build/tools/cardgen/vexolin-cardgen" sheet "$work/sheet.png" --cards 6 >/dev/null
shot find-photo --find "$work/leaf.jpg"
keep find-photo find-leaf.png find-photo.png 1000
shot find-sheet --find "$work/sheet.png"
keep find-sheet find-sheet.png find-sheet.png 1000

shot prefs --prefs
keep prefs prefs-tooltip.png preferences-tooltip.png

du -ch "$images"/*.png | tail -1
