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
# A phone's HEIC with an Exif item (heif-enc takes a JPEG's Exif along): a
# date, a camera and an orientation of 6 that the file's own boxes do not
# repeat, so the picture must stay as stored.
convert corner.png -quality 95 plain.jpg
python3 - <<'PY'
import struct

def ifd(entries, at):
    # entries: (tag, type, count, bytes); values over 4 bytes follow the IFD.
    head = struct.pack('>H', len(entries))
    tail = b''
    data_at = at + 2 + 12 * len(entries) + 4
    for tag, kind, count, value in entries:
        if len(value) <= 4:
            head += struct.pack('>HHI', tag, kind, count) + value.ljust(4, b'\0')
        else:
            head += struct.pack('>HHII', tag, kind, count, data_at + len(tail))
            tail += value + (b'\0' if len(value) % 2 else b'')
    return head + b'\0\0\0\0' + tail

make, model, taken = b'Quorvane Test\0', b'Phone 1\0', b'2024:07:14 15:32:08\0'
def ifd0(exif_at):
    return ifd([(0x10F, 2, len(make), make), (0x110, 2, len(model), model),
                (0x112, 3, 1, struct.pack('>H', 6)), (0x8769, 4, 1, struct.pack('>I', exif_at))], 8)
exif_at = 8 + len(ifd0(0))
tiff = b'MM\0\x2a' + struct.pack('>I', 8) + ifd0(exif_at) + ifd([(0x9003, 2, len(taken), taken)], exif_at)
app1 = b'Exif\0\0' + tiff
jpeg = open('plain.jpg', 'rb').read()
open('exif.jpg', 'wb').write(jpeg[:2] + b'\xff\xe1' + struct.pack('>H', len(app1) + 2) + app1 + jpeg[2:])
PY
heif-enc -q 90 -o exif.heic exif.jpg >/dev/null
rm plain.jpg exif.jpg
# A HEIC cut short, as a find whose end was overwritten.
head -c $(( $(stat -c %s plain.heic) * 2 / 3 )) plain.heic > cut.heic
rm corner.png
