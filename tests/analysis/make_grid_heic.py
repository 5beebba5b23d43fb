#!/usr/bin/env python3
"""Writes a HEIC laid out as phones write theirs (ISO/IEC 23008-12): the
primary item a grid of HEVC tiles joined into the picture, a thumbnail item
('thmb') and an Exif item ('cdsc'). Debian's heif-enc writes no grids, so it
encodes each tile and the thumbnail alone, and their coded data and hvcC
properties are laid out here in one file.

    make_grid_heic.py OUT PICTURE COLUMNS ROWS THUMB_WIDTH [EXIF_TIFF]

PICTURE's size must divide into COLUMNS x ROWS even tiles; THUMB_WIDTH 0
writes no thumbnail item; EXIF_TIFF is a TIFF block (the Exif's IFD0 on).
"""
import os
import struct
import subprocess
import sys
import tempfile


def box(kind, body):
    return struct.pack(">I", 8 + len(body)) + kind + body


def full_box(kind, version, flags, body):
    return box(kind, struct.pack(">I", version << 24 | flags) + body)


def children(data, start=0, end=None):
    end = len(data) if end is None else end
    out, i = {}, start
    while i + 8 <= end:
        size, kind = struct.unpack(">I4s", data[i:i + 8])
        if size < 8:
            raise ValueError("bad box")
        out.setdefault(kind, []).append((i + 8, i + size))
        i += size
    return out


def encoded(png):
    """heif-enc's HEIC of one picture: its hvcC property and coded data."""
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "one.heic")
        subprocess.run(["heif-enc", "-q", "90", "-o", path, png], check=True, stdout=subprocess.DEVNULL)
        d = open(path, "rb").read()
    meta_at, meta_end = children(d)[b"meta"][0]
    meta = children(d, meta_at + 4, meta_end)
    iprp = children(d, *meta[b"iprp"][0])
    ipco = children(d, *iprp[b"ipco"][0])
    at, end = ipco[b"hvcC"][0]
    hvcc = d[at - 8:end]
    # The picture must be the primary item itself (coded at its own size,
    # not cropped from a padded one through a derived item).
    at, end = meta[b"pitm"][0]
    primary = struct.unpack(">H", d[at + 4:at + 6])[0]
    at, end = meta[b"iinf"][0]
    infe = children(d, at + 6, end)[b"infe"]
    kinds = {struct.unpack(">H", d[a + 4:a + 6])[0]: d[a + 8:a + 12] for a, _ in infe}
    assert kinds == {primary: b"hvc1"}, "pick a size heif-enc codes as it is (multiples of 8)"
    # iloc version 0 or 1 with 4-byte offsets and lengths; the one item.
    at, end = meta[b"iloc"][0]
    version = d[at]
    sizes, base_size = d[at + 4], d[at + 5] >> 4
    assert sizes == 0x44 and base_size in (0, 4)
    i = at + 6
    count = struct.unpack(">H", d[i:i + 2])[0]
    i += 2
    data = b""
    for _ in range(count):
        i += 2
        if version == 1:
            i += 2
        i += 2  # data reference
        base = 0
        if base_size:
            base = struct.unpack(">I", d[i:i + 4])[0]
            i += 4
        extents = struct.unpack(">H", d[i:i + 2])[0]
        i += 2
        for _ in range(extents):
            offset, length = struct.unpack(">II", d[i:i + 8])
            data += d[base + offset:base + offset + length]
            i += 8
    return hvcc, data


def ispe(w, h):
    return full_box(b"ispe", 0, 0, struct.pack(">II", w, h))


def main():
    out, picture, columns, rows, thumb_width = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), \
        int(sys.argv[5])
    exif = open(sys.argv[6], "rb").read() if len(sys.argv) > 6 else None
    size = subprocess.run(["identify", "-format", "%w %h", picture], check=True, capture_output=True, text=True)
    width, height = map(int, size.stdout.split())
    tile_w, tile_h = width // columns, height // rows
    assert tile_w * columns == width and tile_h * rows == height
    with tempfile.TemporaryDirectory() as work:
        tiles = []
        for r in range(rows):
            for c in range(columns):
                png = os.path.join(work, "tile%d_%d.png" % (r, c))
                subprocess.run(["convert", picture, "-crop", "%dx%d+%d+%d" % (tile_w, tile_h, c * tile_w, r * tile_h),
                                "+repage", "PNG24:" + png], check=True)
                tiles.append(encoded(png))
        thumb = None
        if thumb_width:
            png = os.path.join(work, "thumb.png")
            thumb_height = height * thumb_width // width
            subprocess.run(["convert", picture, "-resize", "%dx%d!" % (thumb_width, thumb_height),
                            "PNG24:" + png], check=True)
            thumb = encoded(png) + (thumb_width, thumb_height)

    # Items: 1 the grid, then the tiles (hidden), the thumbnail, the Exif.
    grid_id = 1
    tile_ids = list(range(2, 2 + len(tiles)))
    next_id = 2 + len(tiles)
    thumb_id = exif_id = None
    if thumb:
        thumb_id, next_id = next_id, next_id + 1
    if exif is not None:
        exif_id, next_id = next_id, next_id + 1

    # The grid's description: version 0, 16-bit sizes.
    payloads = [(grid_id, struct.pack(">BBBBHH", 0, 0, rows - 1, columns - 1, width, height))]
    payloads += [(tile_ids[i], tiles[i][1]) for i in range(len(tiles))]
    if thumb:
        payloads.append((thumb_id, thumb[1]))
    if exif is not None:
        payloads.append((exif_id, struct.pack(">I", 6) + b"Exif\0\0" + exif))

    infe = [full_box(b"infe", 2, 0, struct.pack(">HH4s", grid_id, 0, b"grid") + b"\0")]
    infe += [full_box(b"infe", 2, 1, struct.pack(">HH4s", i, 0, b"hvc1") + b"\0") for i in tile_ids]
    if thumb:
        infe.append(full_box(b"infe", 2, 0, struct.pack(">HH4s", thumb_id, 0, b"hvc1") + b"\0"))
    if exif is not None:
        infe.append(full_box(b"infe", 2, 0, struct.pack(">HH4s", exif_id, 0, b"Exif") + b"\0"))
    iinf = full_box(b"iinf", 0, 0, struct.pack(">H", len(infe)) + b"".join(infe))

    refs = box(b"dimg", struct.pack(">HH", grid_id, len(tile_ids)) + b"".join(struct.pack(">H", i) for i in tile_ids))
    if thumb:
        refs += box(b"thmb", struct.pack(">HHH", thumb_id, 1, grid_id))
    if exif is not None:
        refs += box(b"cdsc", struct.pack(">HHH", exif_id, 1, grid_id))
    iref = full_box(b"iref", 0, 0, refs)

    # Properties, indexed from 1: each tile's hvcC, the tiles' size, the
    # picture's size, the thumbnail's hvcC and size.
    props = [tile[0] for tile in tiles] + [ispe(tile_w, tile_h), ispe(width, height)]
    tile_size, grid_size = len(tiles) + 1, len(tiles) + 2
    assoc = [(grid_id, [grid_size])]
    assoc += [(tile_ids[i], [0x80 | (i + 1), tile_size]) for i in range(len(tiles))]
    if thumb:
        props += [thumb[0], ispe(thumb[2], thumb[3])]
        assoc.append((thumb_id, [0x80 | (len(props) - 1), len(props)]))
    ipma = full_box(b"ipma", 0, 0, struct.pack(">I", len(assoc)) + b"".join(
        struct.pack(">HB", item, len(p)) + bytes(p) for item, p in assoc))
    iprp = box(b"iprp", box(b"ipco", b"".join(props)) + ipma)

    hdlr = full_box(b"hdlr", 0, 0, struct.pack(">I4s", 0, b"pict") + bytes(12) + b"\0")
    pitm = full_box(b"pitm", 0, 0, struct.pack(">H", grid_id))

    def iloc(first_data):
        body = struct.pack(">BBH", 0x44, 0x00, len(payloads))
        at = first_data
        for item, data in payloads:
            body += struct.pack(">HHHII", item, 0, 1, at, len(data))
            at += len(data)
        return full_box(b"iloc", 0, 0, body)

    ftyp = box(b"ftyp", b"heic" + struct.pack(">I", 0) + b"mif1heic")

    def meta(first_data):
        return full_box(b"meta", 0, 0, hdlr + pitm + iloc(first_data) + iinf + iref + iprp)

    # The data follows the meta box and mdat's header; iloc's size does not
    # depend on the offsets it holds.
    first_data = len(ftyp) + len(meta(0)) + 8
    mdat = box(b"mdat", b"".join(data for _, data in payloads))
    with open(out, "wb") as f:
        f.write(ftyp + meta(first_data) + mdat)


if __name__ == "__main__":
    main()
