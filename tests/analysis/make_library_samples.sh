#!/usr/bin/env bash
# Makes the HEIC, AVIF and WebP samples of the library decoders' tests with
# Debian's own encoders, from one 160 x 120 picture: blue with a red top-left
# corner (40 x 30), so that a test sees the picture's way up.
#   make_library_samples.sh OUTDIR
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
convert -size 160x120 xc:'#2040c0' -fill '#ff0000' -draw 'rectangle 0,0 39,29' PNG24:corner.png
heif-enc -q 90 -t 96 -o thumbed.heic corner.png >/dev/null
heif-enc -q 90 -o plain.heic corner.png >/dev/null
avifenc --min 10 --max 20 -s 8 corner.png plain.avif >/dev/null
cwebp -quiet -q 90 corner.png -o lossy.webp
cwebp -quiet -lossless corner.png -o lossless.webp
# A HEIC cut short, as a find whose end was overwritten.
head -c $(( $(stat -c %s plain.heic) * 2 / 3 )) plain.heic > cut.heic
rm corner.png
