#!/usr/bin/env bash
# Makes the HEIC, AVIF and WebP samples of the library decoders' tests with
# Debian's own encoders, from one 160 x 120 picture: blue with a red top-left
# corner (40 x 30), so that a test sees the picture's way up.
#   make_library_samples.sh OUTDIR
set -euo pipefail
out=$1
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
cd "$out"
convert -size 160x120 xc:'#2040c0' -fill '#ff0000' -draw 'rectangle 0,0 39,29' PNG24:corner.png
heif-enc -q 90 -t 96 -o thumbed.heic corner.png >/dev/null
heif-enc -q 90 -o plain.heic corner.png >/dev/null
avifenc --min 10 --max 20 -s 8 corner.png plain.avif >/dev/null
cwebp -quiet -q 90 corner.png -o lossy.webp
cwebp -quiet -lossless corner.png -o lossless.webp
# A phone's HEIC with an Exif item (heif-enc takes a JPEG's Exif along): a
# date, a camera, a lens and an orientation of 6 that the file's own boxes do not
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
lens = b'Quorvane Test Lens 4.2mm f/1.8\0'
def ifd0(exif_at):
    return ifd([(0x10F, 2, len(make), make), (0x110, 2, len(model), model),
                (0x112, 3, 1, struct.pack('>H', 6)), (0x8769, 4, 1, struct.pack('>I', exif_at))], 8)
exif_at = 8 + len(ifd0(0))
tiff = b'MM\0\x2a' + struct.pack('>I', 8) + ifd0(exif_at) + ifd([(0x9003, 2, len(taken), taken), (0xA434, 2, len(lens), lens)], exif_at)
app1 = b'Exif\0\0' + tiff
jpeg = open('plain.jpg', 'rb').read()
open('exif.jpg', 'wb').write(jpeg[:2] + b'\xff\xe1' + struct.pack('>H', len(app1) + 2) + app1 + jpeg[2:])
open('exif.tiff', 'wb').write(tiff)
PY
heif-enc -q 90 -o exif.heic exif.jpg >/dev/null
# Phones' HEICs: 256 x 192 as a grid of four 128 x 96 tiles (red, green;
# blue, yellow), with the same Exif item, with and without a 96 x 72
# thumbnail item.
convert -size 256x192 xc:'#2040c0' -fill '#ff0000' -draw 'rectangle 0,0 127,95' -fill '#00c000' \
  -draw 'rectangle 128,0 255,95' -fill '#ffff00' -draw 'rectangle 128,96 255,191' PNG24:quad.png
"$here/make_grid_heic.py" grid.heic quad.png 2 2 96 exif.tiff
"$here/make_grid_heic.py" grid_bare.heic quad.png 2 2 0 exif.tiff
rm quad.png exif.tiff
# A phone's portrait HEIC: stored on its side, with a thumbnail item, turned
# upright by an irot of 270 degrees anticlockwise on both items (the file's
# own boxes; heif-enc writes none), its Exif saying 6 as well.
heif-enc -q 90 -t 96 -o sideways.heic exif.jpg >/dev/null
python3 - sideways.heic turned.heic 3 <<'PY'
import struct, sys
# Adds an irot property to every item of a HEIF file as heif-enc writes it
# (ipma version 0 with 1-byte indexes, iloc version 0 with 4-byte offsets,
# with or without a base offset), and moves the data offsets past the grown
# meta box.
src, dst, angle = sys.argv[1], sys.argv[2], int(sys.argv[3])
d = open(src, 'rb').read()
def children(b, start):
    out, i = [], start
    while i < len(b):
        size, kind = struct.unpack('>I4s', b[i:i + 8])
        out.append([kind, b[i + 8:i + size]])
        i += size
    return out
def box(kind, body):
    return struct.pack('>I', 8 + len(body)) + kind + body
top = children(d, 0)
meta = next(b for b in top if b[0] == b'meta')
parts = children(meta[1], 4)
iprp = next(b for b in parts if b[0] == b'iprp')
props = children(iprp[1], 0)
ipco = next(b for b in props if b[0] == b'ipco')
ipma = next(b for b in props if b[0] == b'ipma')
index = len(children(ipco[1], 0)) + 1
ipco[1] += box(b'irot', bytes([angle & 3]))
m = ipma[1]
assert m[0] == 0 and m[3] & 1 == 0
count = struct.unpack('>I', m[4:8])[0]
out, i = m[:8], 8
for _ in range(count):
    n = m[i + 2]
    out += m[i:i + 2] + bytes([n + 1]) + m[i + 3:i + 3 + n] + bytes([0x80 | index])
    i += 3 + n
ipma[1] = out
iprp[1] = b''.join(box(k, b) for k, b in props)
old = len(meta[1])
meta[1] = meta[1][:4] + b''.join(box(k, b) for k, b in parts)
delta = len(meta[1]) - old
iloc = next(b for b in parts if b[0] == b'iloc')
l = bytearray(iloc[1])
assert l[0] == 0 and l[4] == 0x44 and l[5] >> 4 in (0, 4)
base = l[5] >> 4
i = 8
for _ in range(struct.unpack('>H', l[6:8])[0]):
    i += 4
    if base:
        l[i:i + 4] = struct.pack('>I', struct.unpack('>I', l[i:i + 4])[0] + delta)
        i += 4
    extents = struct.unpack('>H', l[i:i + 2])[0]
    i += 2
    for _ in range(extents):
        if not base:
            l[i:i + 4] = struct.pack('>I', struct.unpack('>I', l[i:i + 4])[0] + delta)
        i += 8
iloc[1] = bytes(l)
meta[1] = meta[1][:4] + b''.join(box(k, b) for k, b in parts)
open(dst, 'wb').write(b''.join(box(k, b) for k, b in top))
PY
rm plain.jpg exif.jpg sideways.heic
# A HEIC cut short, as a find whose end was overwritten.
head -c $(( $(stat -c %s plain.heic) * 2 / 3 )) plain.heic > cut.heic
rm corner.png
