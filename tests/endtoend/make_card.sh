#!/usr/bin/env bash
# Makes a FAT32 memory-card image holding pictures that were then deleted.
# Usage: make_card.sh OUTDIR
# Leaves OUTDIR/card.img and the originals in OUTDIR/originals/ (and the one
# photo that was damaged on the card after its deletion in OUTDIR/damaged/).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$(realpath -m "$1")
rm -rf "$out"
mkdir -p "$out/originals"
cd "$out/originals"
# Pictures of several kinds and sizes; the noise keeps them from compressing
# to nothing, so they span many clusters.
convert -size 320x240 plasma:red-blue -quality 90 holiday.jpg
convert -size 200x300 gradient:yellow-green -attenuate 0.4 +noise Gaussian -quality 85 portrait.jpg
convert -size 180x120 plasma:green-white beach.png
convert -size 64x48 gradient:navy-orange -colors 64 logo.gif
convert -size 96x64 plasma:purple-tan -type TrueColor BMP3:scan.bmp
# Today's formats: a camera's RAW files (made to their makers' layouts) and
# a phone's and the web's pictures, made by Debian's encoders.
python3 "$here/../engine/make_raw_samples.py" "$out/raw" >/dev/null
python3 "$here/../engine/make_raw_samples.py" "$out/raw-small" small >/dev/null
cp "$out/raw/canon.cr2" IMG_0001.CR2
cp "$out/raw-small/nikon.nef" DSC_0002.NEF
heif-enc -q 60 -o phone.heic holiday.jpg >/dev/null
cwebp -quiet beach.png -o web.webp
avifenc portrait.jpg avatar.avif >/dev/null
rm -rf "$out/raw" "$out/raw-small"
cd "$out"
mkfs.vfat -F 32 -C card.img 40960 >/dev/null
export MTOOLS_SKIP_CHECK=1
mmd -i card.img ::DCIM
for f in originals/*; do mcopy -i card.img "$f" ::DCIM/; done
# A picture that stays: carving finds it as well.
convert -size 50x50 xc:white kept.png
mcopy -i card.img kept.png ::DCIM/
cp kept.png originals/
# A photo whose middle is overwritten (64 KiB of other data) and that is
# then deleted with the others (copied before any is deleted, so that it
# takes no cluster of theirs): it comes back damaged, not whole; its
# original is kept apart in damaged/, as it cannot be had byte for byte.
mkdir -p damaged
convert -size 1200x900 plasma:orange-navy -attenuate 0.3 +noise Gaussian -quality 92 damaged/wedding.jpg
mcopy -i card.img damaged/wedding.jpg ::DCIM/
python3 - card.img damaged/wedding.jpg <<'PY'
import os, sys
img, src = sys.argv[1], sys.argv[2]
data = open(src, "rb").read()
disk = bytearray(open(img, "rb").read())
start = disk.find(data[:4096])
assert start >= 0 and disk[start:start + len(data)] == data, "the photo does not lie in one piece"
at = start + len(data) // 2
disk[at:at + 65536] = os.urandom(65536)
open(img, "wb").write(disk)
PY
for f in originals/*; do
  name=$(basename "$f")
  [ "$name" = kept.png ] || mdel -i card.img "::DCIM/$name"
done
mdel -i card.img ::DCIM/wedding.jpg
mdir -i card.img ::DCIM >/dev/null
