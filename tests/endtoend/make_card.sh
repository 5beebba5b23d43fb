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
# The phone's photo as phones write it: a grid of tiles with a thumbnail
# and an Exif item (camera and date taken).
convert holiday.jpg -resize '256x192!' PNG24:"$out/phone.png"
python3 - "$here/../engine" "$out/phone.tiff" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
from make_raw_samples import Tiff, Ref, ascii, exif_ifd
t = Tiff(False)
t.ifd([(0x010F, Tiff.ASCII, ascii("Quorvane")), (0x0110, Tiff.ASCII, ascii("Quorvane Test Phone 1")),
       (0x8769, Tiff.LONG, [Ref("exif")])], "ifd0")
exif_ifd(t)
open(sys.argv[2], 'wb').write(t.done())
PY
"$here/../analysis/make_grid_heic.py" phone.heic "$out/phone.png" 2 2 96 "$out/phone.tiff"
rm "$out/phone.png" "$out/phone.tiff"
# A DNG from a camera that writes no JPEG: IFD0 holds its thumbnail as plain
# 8-bit RGB (256 x 171), a SubIFD the raw data.
convert holiday.jpg -resize '256x171!' -depth 8 "rgb:$out/thumb.rgb"
python3 - "$here/../engine" "$out/thumb.rgb" IMG_0003.DNG <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
from make_raw_samples import Tiff, Ref, ascii, exif_ifd
thumb = open(sys.argv[2], 'rb').read()
t = Tiff(True)
t.ifd([(256, Tiff.LONG, [256]), (257, Tiff.LONG, [171]), (258, Tiff.SHORT, [8, 8, 8]), (259, Tiff.SHORT, [1]),
       (262, Tiff.SHORT, [2]), (273, Tiff.LONG, [Ref("thumb")]), (277, Tiff.SHORT, [3]), (278, Tiff.LONG, [171]),
       (279, Tiff.LONG, [len(thumb)]), (254, Tiff.LONG, [1]), (0x010F, Tiff.ASCII, ascii("Leica")),
       (0x0110, Tiff.ASCII, ascii("Leica M Monochrom")), (0xC612, Tiff.BYTE, b"\1\4\0\0"),
       (330, Tiff.LONG, [Ref("raw_ifd")]), (0x8769, Tiff.LONG, [Ref("exif")])], "ifd0")
t.ifd([(254, Tiff.LONG, [0]), (256, Tiff.LONG, [3000]), (257, Tiff.LONG, [2000]), (258, Tiff.SHORT, [12]),
       (259, Tiff.SHORT, [1]), (262, Tiff.SHORT, [32803]), (273, Tiff.LONG, [Ref("raw")]),
       (279, Tiff.LONG, [300000])], "raw_ifd")
exif_ifd(t)
t.blob(thumb, "thumb")
t.blob(bytes((i * 7) & 0xFF for i in range(300000)), "raw")
open(sys.argv[3], 'wb').write(t.done())
PY
rm "$out/thumb.rgb"
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
