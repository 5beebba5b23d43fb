#!/usr/bin/env python3
"""Camera RAW files built to the makers' public layouts, for the engine's tests.

make(folder) writes one file per family (several MB: JPEG previews from
ImageMagick, raw data as random bytes), variants with the preview after the
raw data, and make(folder, small=True) tiny ones for fuzz seeds. Each file's
length is exactly the furthest byte its structure references."""
import os
import random
import struct
import subprocess
import sys
import tempfile


def jpeg(w, h, seed, quality=85):
    with tempfile.TemporaryDirectory() as d:
        p = os.path.join(d, "p.jpg")
        subprocess.run(["convert", "-seed", str(seed), "-size", "%dx%d" % (w, h), "plasma:",
                        "-quality", str(quality), p], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(p, "rb") as f:
            return f.read()


class Ref:
    """A value not known yet (a later block's offset), patched at the end."""

    def __init__(self, name):
        self.name = name


class Tiff:
    """A TIFF structure laid out front to back, in the order things are added.
    base: where its offsets count from (a Nikon maker note's own header)."""

    BYTE, ASCII, SHORT, LONG, RATIONAL, UNDEF, IFD = 1, 2, 3, 4, 5, 7, 13
    SIZES = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 7: 1, 13: 4}

    def __init__(self, le, head=None):
        self.e = "<" if le else ">"
        self.buf = bytearray(head if head is not None else
                             (b"II*\0" if le else b"MM\0*") + b"\0\0\0\0")
        self.refs = {}
        self.patches = []  # (position, ref name)

    def pad(self, align):
        while len(self.buf) % align:
            self.buf.append(0)

    def blob(self, data, name=None, align=2):
        self.pad(align)
        at = len(self.buf)
        self.buf += data
        if name:
            self.refs[name] = at
        return at

    def ifd(self, entries, name=None, next_ifd=0):
        """entries: (tag, type, values); values bytes for BYTE/ASCII/UNDEF,
        else a list of ints or Refs."""
        self.pad(2)
        at = len(self.buf)
        if name:
            self.refs[name] = at
        entries = sorted(entries, key=lambda x: x[0])
        self.buf += struct.pack(self.e + "H", len(entries))
        table = len(self.buf)
        self.buf += bytes(12 * len(entries) + 4)
        self.put_value(table + 12 * len(entries), next_ifd)
        for i, (tag, typ, vals) in enumerate(entries):
            pos = table + 12 * i
            if isinstance(vals, (bytes, bytearray)):
                raw, count = bytes(vals), len(vals)
                refs = []
            else:
                count = len(vals)
                fmt = {3: "H", 4: "I", 13: "I", 5: "II"}[typ]
                raw = b""
                refs = []
                for k, v in enumerate(vals):
                    if isinstance(v, Ref):
                        refs.append((k, v))
                        v = 0
                    raw += struct.pack(self.e + fmt, *(v if isinstance(v, tuple) else (v,)))
            struct.pack_into(self.e + "HHI", self.buf, pos, tag, typ, count)
            if len(raw) <= 4:
                self.buf[pos + 8:pos + 8 + len(raw)] = raw
                data_at = pos + 8
            else:
                self.pad(2)
                data_at = len(self.buf)
                self.buf += raw
                struct.pack_into(self.e + "I", self.buf, pos + 8, data_at)
            for k, r in refs:
                self.patches.append((data_at + k * self.SIZES[typ], r.name, typ))
        return at

    def put_value(self, pos, v):
        if isinstance(v, Ref):
            self.patches.append((pos, v.name, 4))
        else:
            struct.pack_into(self.e + "I", self.buf, pos, v)

    def done(self, first="ifd0"):
        if first:
            struct.pack_into(self.e + "I", self.buf, 4, self.refs[first])
        for pos, name, typ in self.patches:
            struct.pack_into(self.e + ("H" if typ == 3 else "I"), self.buf, pos, self.refs[name])
        return bytes(self.buf)


def ascii(s):
    return s.encode() + b"\0"


class Maker:
    """Sizes and content: full for the test disks, tiny for fuzz seeds."""

    def __init__(self, small, seed):
        self.small = small
        self.rng = random.Random(seed)
        self.seed = seed

    def preview(self, big=False):
        if self.small:
            return jpeg(8, 8, self.seed, 50)
        return jpeg(1620, 1080, self.seed) if big else jpeg(160, 120, self.seed + 1)

    def raw(self, mb=3):
        n = 900 if self.small else mb * 1024 * 1024 + self.rng.randrange(4096)
        # Not a signature anywhere: the raw data of a real file is not either.
        data = bytearray(self.rng.getrandbits(8 * n).to_bytes(n, "little"))
        for i in range(0, n, 512):
            data[i] = 0x5A
        return bytes(data)

    def rgb(self, w, h):
        return bytes(self.rng.randrange(256) for _ in range(w * h * 3)) if self.small else \
            bytes(range(256)) * (w * h * 3 // 256)


def image_tags(w, h, compression, photometric, make=None, model=None):
    t = [(256, Tiff.LONG, [w]), (257, Tiff.LONG, [h]), (258, Tiff.SHORT, [8, 8, 8] if photometric == 2 else [12]),
         (259, Tiff.SHORT, [compression]), (262, Tiff.SHORT, [photometric])]
    if make:
        t += [(0x010F, Tiff.ASCII, ascii(make)), (0x0110, Tiff.ASCII, ascii(model))]
    return t


def strips(name, size):
    return [(273, Tiff.LONG, [Ref(name)]), (279, Tiff.LONG, [size])]


def exif_ifd(t, maker_note=None):
    e = [(0x829A, Tiff.RATIONAL, [(1, 250)]), (0x9003, Tiff.ASCII, ascii("2024:05:01 10:00:00"))]
    if maker_note is not None:
        e.append((0x927C, Tiff.UNDEF, maker_note))
    return t.ifd(e, "exif")


def cr2(m, preview_last=False):
    t = Tiff(True, b"II*\0\0\0\0\0CR\x02\0\0\0\0\0")
    big, thumb, raw = m.preview(True), m.preview(), m.raw(4)
    t.ifd(image_tags(1620, 1080, 6, 2, "Canon", "Canon EOS 5D Mark IV") + strips("big", len(big)) +
          [(0x8769, Tiff.LONG, [Ref("exif")])], "ifd0", Ref("ifd1"))
    exif_ifd(t, bytes(64))  # the maker note's entry, pointed at the note below
    t.ifd([(513, Tiff.LONG, [Ref("thumb")]), (514, Tiff.LONG, [len(thumb)])], "ifd1", Ref("ifd2"))
    small_rgb = m.rgb(40, 30)
    t.ifd(image_tags(40, 30, 1, 2) + strips("rgb", len(small_rgb)), "ifd2", Ref("ifd3"))
    t.ifd([(259, Tiff.SHORT, [6])] + strips("raw", len(raw)) + [(0xC5D8, Tiff.LONG, [1]), (0xC640, Tiff.SHORT, [1, 2000, 2000])],
          "ifd3")
    # Canon's maker note: a directory, offsets from the file's start.
    note_start = t.blob(b"", None)
    mn = Tiff(True, b"")
    mn.buf = bytearray(t.buf)
    mn.ifd([(0x0001, Tiff.SHORT, [0] * 20), (0x0006, Tiff.ASCII, ascii("Canon EOS 5D Mark IV")),
            (0x0010, Tiff.LONG, [0x80000349])])
    t.buf = mn.buf
    note_len = len(t.buf) - note_start
    # Point the Exif IFD's maker note entry at it.
    repoint(t, "exif", 0x927C, note_start, note_len)
    t.blob(thumb, "thumb", 512)
    t.blob(small_rgb, "rgb")
    if preview_last:
        t.blob(raw, "raw", 512)
        t.blob(big, "big", 512)
    else:
        t.blob(big, "big", 512)
        t.blob(raw, "raw", 512)
    return t.done()


def repoint(t, ifd, tag, at, count):
    """Sets an entry of an IFD already written to another offset and count."""
    pos = t.refs[ifd]
    n = struct.unpack_from(t.e + "H", t.buf, pos)[0]
    for i in range(n):
        e = pos + 2 + 12 * i
        if struct.unpack_from(t.e + "H", t.buf, e)[0] == tag:
            struct.pack_into(t.e + "II", t.buf, e + 4, count, at)
            return
    raise KeyError(tag)


def nikon_note(le, preview_len):
    """Nikon's maker note: its own TIFF header; PreviewIFD (0x0011) with a
    JPEG by 0x0201/0x0202, offsets from that header. The preview's place is
    patched by the caller (an offset from the note's header)."""
    n = Tiff(le)
    n.ifd([(0x0001, Tiff.UNDEF, b"0210"), (0x0004, Tiff.ASCII, ascii("RAW    ")),
           (0x0011, Tiff.LONG, [Ref("pv")])], "ifd0")
    n.ifd([(0x0103, Tiff.SHORT, [6]), (0x0201, Tiff.LONG, [0]), (0x0202, Tiff.LONG, [preview_len])], "pv")
    return n


def entry_value_at(t, ifd, tag):
    """Where the value (or its offset) of an IFD's entry is."""
    pos = t.refs[ifd]
    n = struct.unpack_from(t.e + "H", t.buf, pos)[0]
    for i in range(n):
        e = pos + 2 + 12 * i
        if struct.unpack_from(t.e + "H", t.buf, e)[0] == tag:
            return e + 8
    raise KeyError(tag)


def nef(m, nrw=False, preview_last=False):
    le = False
    t = Tiff(le)
    thumb, big, note_pv, raw = m.preview(), m.preview(True), m.preview(), m.raw(5)
    if nrw:
        # NRW: IFD0 holds a JPEG (Compression 6) by 0x0201/0x0202, no strips.
        ifd0 = image_tags(640, 480, 6, 6, "NIKON", "COOLPIX P7800") + [
            (513, Tiff.LONG, [Ref("thumb")]), (514, Tiff.LONG, [len(thumb)])]
        thumb_data = thumb
    else:
        thumb_data = m.rgb(16, 12) if m.small else m.rgb(160, 120)
        ifd0 = image_tags(160, 120, 1, 2, "NIKON CORPORATION", "NIKON D850") + strips("thumb", len(thumb_data))
    t.ifd(ifd0 + [(254, Tiff.LONG, [1]), (330, Tiff.LONG, [Ref("sub0"), Ref("sub1")]),
                  (0x8769, Tiff.LONG, [Ref("exif")])], "ifd0")
    t.ifd([(254, Tiff.LONG, [1]), (259, Tiff.SHORT, [6]), (513, Tiff.LONG, [Ref("big")]),
           (514, Tiff.LONG, [len(big)])], "sub0")
    t.ifd(image_tags(4000, 3000, 34713, 32803) + strips("raw", len(raw)) +
          [(0x828E, Tiff.BYTE, b"\0\1\1\2")], "sub1")
    # The maker note: room for it now, written once its preview has a place.
    head = b"Nikon\0\x02\x10\0\0"
    note = nikon_note(le, len(note_pv))
    size = len(head) + len(note.done())
    exif_ifd(t, bytes(size))
    note_at = struct.unpack_from(">I", t.buf, entry_value_at(t, "exif", 0x927C))[0]
    t.blob(thumb_data, "thumb", 512)
    t.blob(big, "big", 512)
    if preview_last:
        t.blob(raw, "raw", 512)
        pv_at = t.blob(note_pv, None, 512)
    else:
        pv_at = t.blob(note_pv, None, 512)
        t.blob(raw, "raw", 512)
    nb = bytearray(note.done())
    struct.pack_into(">I", nb, entry_value_at(note, "pv", 0x0201), pv_at - (note_at + len(head)))
    t.buf[note_at:note_at + size] = head + nb
    return t.done()


def arw(m, sr2=False):
    t = Tiff(True)
    big, raw = m.preview(True), m.raw(4)
    private = m.rng.getrandbits(8 * 600).to_bytes(600, "little")
    t.ifd(image_tags(160, 120, 6, 6, "SONY", "DSC-R1" if sr2 else "ILCE-7M3") +
          [(513, Tiff.LONG, [Ref("big")]), (514, Tiff.LONG, [len(big)]),
           (330, Tiff.LONG, [Ref("sub0")]), (0x8769, Tiff.LONG, [Ref("exif")]),
           (0xC634, Tiff.LONG, [Ref("sr2")])], "ifd0")
    t.ifd(image_tags(6000, 4000, 32767, 32803) + strips("raw", len(raw)), "sub0")
    exif_ifd(t, b"SONY DSC \0\0\0" + bytes(40))
    t.ifd([(0x7200, Tiff.LONG, [Ref("sr2data")]), (0x7201, Tiff.LONG, [len(private)]),
           (0x7221, Tiff.LONG, [0x1234])], "sr2")
    t.blob(big, "big", 512)
    t.blob(raw, "raw", 512)
    t.blob(private, "sr2data")  # the encrypted block last: it sets the end
    return t.done()


def dng(m):
    t = Tiff(True)
    thumb = m.rgb(16, 12) if m.small else m.rgb(256, 171)
    big, raw = m.preview(True), m.raw(6)
    tiles = 4
    tile_len = len(raw) // tiles
    t.ifd(image_tags(256, 171, 1, 2, "Canon", "Canon EOS R5") + strips("thumb", len(thumb)) +
          [(254, Tiff.LONG, [1]), (0xC612, Tiff.BYTE, b"\1\4\0\0"), (0xC614, Tiff.ASCII, ascii("Canon EOS R5")),
           (330, Tiff.LONG, [Ref("raw_ifd"), Ref("pv_ifd")]), (0x8769, Tiff.LONG, [Ref("exif")]),
           (0xC634, Tiff.BYTE, b"Adobe\0MakN" + bytes(30))], "ifd0")
    t.ifd(image_tags(8192, 5464, 7, 32803) + [
        (254, Tiff.LONG, [0]), (322, Tiff.LONG, [256]), (323, Tiff.LONG, [256]),
        (324, Tiff.LONG, [Ref("t%d" % i) for i in range(tiles)]), (325, Tiff.LONG, [tile_len] * tiles)], "raw_ifd")
    t.ifd(image_tags(1620, 1080, 7, 6) + [(254, Tiff.LONG, [1])] + strips("big", len(big)), "pv_ifd")
    exif_ifd(t)
    t.blob(thumb, "thumb")
    for i in range(tiles):
        t.blob(raw[i * tile_len:(i + 1) * tile_len], "t%d" % i)
    t.blob(big, "big", 512)  # DNG converters write the preview last
    return t.done()


def pef(m):
    t = Tiff(False)
    big, raw = m.preview(), m.raw(3)
    t.ifd(image_tags(4928, 3264, 65535, 32803, "PENTAX Corporation", "PENTAX K-5") + strips("raw", len(raw)) +
          [(513, Tiff.LONG, [Ref("big")]), (514, Tiff.LONG, [len(big)]), (0x8769, Tiff.LONG, [Ref("exif")])], "ifd0")
    exif_ifd(t, b"AOC\0MM" + bytes(60))
    t.blob(big, "big", 512)
    t.blob(raw, "raw", 512)
    return t.done()


def srw(m):
    t = Tiff(True)
    thumb = m.preview()
    raw = m.raw(3)
    t.ifd(image_tags(160, 120, 6, 6, "SAMSUNG", "NX300") + strips("thumb", len(thumb)) +
          [(330, Tiff.LONG, [Ref("sub0")]), (0x8769, Tiff.LONG, [Ref("exif")])], "ifd0")
    t.ifd(image_tags(5472, 3648, 32770, 32803) + strips("raw", len(raw)), "sub0")
    exif_ifd(t)
    t.blob(thumb, "thumb", 512)
    t.blob(raw, "raw", 512)
    return t.done()


def orf(m, magic=b"IIRO"):
    le = magic[0:1] == b"I"
    t = Tiff(le, magic + b"\0\0\0\0")
    thumb, raw = m.preview(), m.raw(3)
    t.ifd(image_tags(4640, 3472, 1, 32803, "OLYMPUS IMAGING CORP.", "E-M5") + strips("raw", len(raw)) +
          [(0x8769, Tiff.LONG, [Ref("exif")])], "ifd0")
    # The maker note holds its own preview among its bytes.
    exif_ifd(t, b"OLYMPUS\0II\3\0" + bytes(20) + thumb)
    t.blob(raw, "raw", 512)
    return t.done()


def rw2(m, leica=False):
    t = Tiff(True, b"IIU\0\x18\0\0\0" + bytes.fromhex("88e774d8f8251d4d947a6e77822b5d6a"))
    big, raw = m.preview(True), m.raw(4)
    t.ifd([(0x0001, Tiff.UNDEF, b"0420"), (0x0002, Tiff.SHORT, [4608]), (0x0003, Tiff.SHORT, [3464]),
           (0x002E, Tiff.UNDEF, big),
           (0x010F, Tiff.ASCII, ascii("LEICA" if leica else "Panasonic")),
           (0x0110, Tiff.ASCII, ascii("D-LUX 7" if leica else "DC-G9")),
           (273, Tiff.LONG, [Ref("raw")]), (278, Tiff.LONG, [3464]), (279, Tiff.LONG, [len(raw)]),
           (0x0118, Tiff.LONG, [Ref("raw")])], "ifd0")
    t.blob(raw, "raw", 512)
    return t.done()


def raf(m, preview_last=False):
    big, raw = m.preview(True), m.raw(5)
    meta = b"\0\0\0\x05" + bytes(60)
    head = bytearray(b"FUJIFILMCCD-RAW 0201FF383501" + b"X-T3".ljust(32, b"\0") + b"0100" + bytes(20))
    assert len(head) == 84
    head += bytes(24)
    parts = [big, meta, raw] if not preview_last else [raw, meta, big]
    at, offs = 0x94, []
    body = bytearray()
    for p in parts:
        while (len(head) + len(body)) % 16:
            body.append(0)
        while len(head) + len(body) < at:
            body.append(0)
        offs.append(len(head) + len(body))
        body += p
    if preview_last:
        offs = [offs[2], offs[1], offs[0]]
        parts = [parts[2], parts[1], parts[0]]
    for i, (o, p) in enumerate(zip(offs, parts)):
        struct.pack_into(">II", head, 84 + 8 * i, o, len(p))
    return bytes(head + body)


FAMILIES = {
    "canon.cr2": cr2, "canon_preview_last.cr2": lambda m: cr2(m, True),
    "nikon.nef": nef, "nikon_preview_last.nef": lambda m: nef(m, preview_last=True),
    "coolpix.nrw": lambda m: nef(m, nrw=True),
    "sony.arw": arw, "sony.sr2": lambda m: arw(m, True),
    "adobe.dng": dng, "pentax.pef": pef, "samsung.srw": srw,
    "olympus.orf": orf, "olympus_be.orf": lambda m: orf(m, b"MMOR"),
    "panasonic.rw2": rw2, "leica.rwl": lambda m: rw2(m, True),
    "fuji.raf": raf, "fuji_preview_last.raf": lambda m: raf(m, True),
}


def make(folder, small=False):
    os.makedirs(folder, exist_ok=True)
    for seed, (name, fn) in enumerate(sorted(FAMILIES.items())):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(fn(Maker(small, 100 + seed)))


if __name__ == "__main__":
    make(sys.argv[1], len(sys.argv) > 2 and sys.argv[2] == "small")
