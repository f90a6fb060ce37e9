#!/usr/bin/env bash
# Regenerates the notice pictures and the icon (run by hand; the results are committed).
# Needs ImageMagick and fonts-dejavu-core.
set -euo pipefail
cd "$(dirname "$0")"
mkdir -p notices icons

notice() { # notice FILE HEADLINE HINT
  convert -size 300x120 xc:white \
    -fill '#fff7d6' -stroke '#2b2b2b' -strokewidth 3 -draw 'roundrectangle 4,4 295,115 14,14' \
    -stroke none -fill '#2b2b2b' -font DejaVu-Sans-Bold -pointsize 16 \
    -gravity center -annotate +0-14 "$2" \
    -font DejaVu-Sans -pointsize 12 -fill '#5a5a5a' -annotate +0+22 "$3" \
    -colors 32 "$1"
}
notice notices/end-of-strips.gif "No more strips of this comic" "The strip comes back in a moment"
notice notices/end-of-comics.gif "No more comics" "The strip comes back in a moment"
notice notices/no-unread.gif "No unread strips" "The strip comes back in a moment"

# Three comic panels, the last with a speech bubble, drawn on a 32-unit grid; the same
# drawing as icons/panelwick.svg. icon SIZE FILE
icon() {
  local scale
  scale=$(echo "$1 / 32" | bc -l)
  convert -size "$1x$1" xc:none -affine "$scale,0,0,$scale,0,0" \
    -fill white -stroke '#2b2b2b' -strokewidth 2 \
    -draw 'rectangle 2,4 13,28' -draw 'rectangle 17,4 29,14' -draw 'rectangle 17,18 29,28' \
    -stroke none -fill '#e0452b' -draw 'circle 7,12 7,15' \
    -fill '#2f7de1' -draw 'rectangle 5,18 9,25' \
    -fill '#ffcc33' -stroke '#2b2b2b' -strokewidth 1 -draw 'ellipse 23,9 4,3 0,360' \
    -stroke none -fill '#2b2b2b' -draw 'rectangle 20,22 26,24' \
    -depth 8 "$2"
}
icon 32 icons/panelwick.png
icon 64 icons/panelwick-64.png
icon 128 icons/panelwick-128.png
echo "pictures written to $(pwd)"
