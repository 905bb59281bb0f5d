#!/usr/bin/env bash
# make_icon.sh OUT.ico: a publisher's icon for the tests, drawn here with ImageMagick and put
# together by icoutils' icotool: 16, 32 and 48 px bitmaps and a 256 px PNG image, each in four
# flat quadrants (red, green, blue, yellow) that no drawing of the stub's own icon shows.
set -euo pipefail
out=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 16 32 48 256; do
  half=$((size / 2))
  convert -size "${size}x$size" xc:"#d02010" \
    -fill "#10a040" -draw "rectangle $half,0 $((size - 1)),$((half - 1))" \
    -fill "#2040d0" -draw "rectangle 0,$half $((half - 1)),$((size - 1))" \
    -fill "#e0c020" -draw "rectangle $half,$half $((size - 1)),$((size - 1))" "PNG32:$work/$size.png"
done
icotool -c -o "$out" "$work/16.png" "$work/32.png" "$work/48.png" -r "$work/256.png"
