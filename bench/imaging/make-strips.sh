#!/usr/bin/env bash
# Regenerates the strip-sized pictures the decoder benchmark reads (run by hand; committed).
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert -seed 7 -size 900x300 plasma:fractal -blur 0x2 -colors 64 +dither strip.gif
convert -seed 7 -size 900x300 plasma:fractal -blur 0x2 "$tmp/strip.ppm"
cjpeg -quality 85 -outfile strip.jpg "$tmp/strip.ppm"
