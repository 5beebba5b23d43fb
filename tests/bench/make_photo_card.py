#!/usr/bin/env python3
"""Makes a raw card image holding N camera-like JPEG photos.

Usage: make_photo_card.py N OUTDIR POOLDIR [--small] [--icons K] [--mix]

A pool of distinct base photos (ImageMagick plasma and gradients with noise,
1 to 12 megapixels, or 1 to 3 with --small) is made once in POOLDIR and
reused by later cards.
Each of the N photos is one of them with an Exif block of its own (a
different date and serial) and a comment naming it, so every file on the
card is distinct. Most carry a 160x120 Exif thumbnail of the same picture,
letterboxed with black bars where the photo is not 4:3, as cameras write
them; about one in twenty has none. The photos are written at 4 KiB cluster
boundaries with random and zeroed clusters between some of them.

With --icons K, K small pictures (PNG and GIF icons and buttons of 16 to 150
pixels, as a computer's own disk holds next to the photos) are spread
between the photos.

With --mix, the card is a computer's or an editor's as much as a camera's: a
quarter of the photos carry no Exif thumbnail, half of those progressive (as
photos edited or downloaded are), and one in twenty photos is followed by a
large PNG screenshot (1920x1080 or 2560x1440), counted with the small
pictures.

Leaves OUTDIR/card.img and OUTDIR/manifest.txt (photos, bytes of photos,
photos with a thumbnail, small pictures).
"""
import os
import random
import struct
import subprocess
import sys

CLUSTER = 4096

# (width, height) per size class; most cameras shoot 4:3, some 3:2 or 16:9,
# and a portrait photo is a landscape one turned.
SIZES = {
    1: [(1152, 864), (1280, 720)],
    2: [(1600, 1200), (1920, 1080)],
    3: [(2048, 1536), (2112, 1408)],
    5: [(2592, 1944), (2736, 1824)],
    8: [(3264, 2448), (3840, 2160)],
    12: [(4000, 3000), (4240, 2832)],
}
# How often each size class is picked: more small pictures than large ones,
# about 1.5 MB a photo on average (0.6 MB for the small mix).
WEIGHTS = {1: 15, 2: 20, 3: 20, 5: 20, 8: 15, 12: 10}
SMALL_WEIGHTS = {1: 40, 2: 35, 3: 25}
COLOURS = ["red-blue", "green-white", "navy-orange", "purple-tan", "yellow-green",
           "sienna-skyblue", "black-gold", "teal-pink"]
POOL_PER_CLASS = 6


def run(args):
    subprocess.run(["nice", "-n", "10"] + args, check=True)


def pool_shapes(weights):
    """Base photo shapes: per class, four landscape of the first shape, one of
    the second, one portrait."""
    shapes = []
    for mp in weights:
        main, other = SIZES[mp]
        shapes += [main] * 4 + [other, (main[1], main[0])]
    return shapes


def make_pool(folder, weights):
    os.makedirs(folder, exist_ok=True)
    pool = []
    for i, (w, h) in enumerate(pool_shapes(weights)):
        photo = os.path.join(folder, f"base{i:02d}-{w}x{h}.jpg")
        thumb = photo[:-4] + "-thumb.jpg"
        if not os.path.exists(thumb):
            colours = COLOURS[i % len(COLOURS)]
            # Plasma is slow at full size: made at a quarter and scaled up;
            # the noise keeps the file at a camera's size.
            content = f"plasma:{colours}" if i % 3 else f"gradient:{colours}"
            extra = ["-swirl", str(60 + i * 7)] if i % 3 == 0 else []
            run(["convert", "-seed", str(1000 + i), "-size", f"{w // 4}x{h // 4}", content] + extra +
                ["-resize", f"{w}x{h}!", "-attenuate", "0.25", "+noise", "Gaussian",
                 "-quality", str(88 + i % 8), "-strip", photo + ".tmp.jpg"])
            run(["convert", "-define", "jpeg:size=320x240", photo + ".tmp.jpg", "-resize", "160x120",
                 "-background", "black", "-gravity", "center", "-extent", "160x120",
                 "-quality", "75", "-strip", thumb + ".tmp.jpg"])
            os.replace(photo + ".tmp.jpg", photo)
            os.replace(thumb + ".tmp.jpg", thumb)
        pool.append((mp_of(w, h, weights), w, h, read_without_app0(photo), read_without_app0(thumb)))
    return pool


def mp_of(w, h, weights):
    for mp in weights:
        if (w, h) in SIZES[mp] or (h, w) in SIZES[mp]:
            return mp
    raise ValueError((w, h))


def read_without_app0(path):
    """The JPEG's bytes with its JFIF APP0 segments dropped: cameras start
    with the Exif APP1 right after SOI."""
    data = open(path, "rb").read()
    assert data[:2] == b"\xff\xd8"
    out, pos = bytearray(data[:2]), 2
    while data[pos] == 0xFF and data[pos + 1] != 0xDB and data[pos + 1] != 0xC0:
        marker = data[pos + 1]
        length = struct.unpack(">H", data[pos + 2:pos + 4])[0]
        if marker != 0xE0:
            out += data[pos:pos + 2 + length]
        pos += 2 + length
    out += data[pos:]
    return bytes(out)


def ifd(entries, start, next_ifd):
    """A big-endian TIFF directory at offset start: entries are (tag, type,
    count, value bytes). Values longer than four bytes follow the directory."""
    size = 2 + 12 * len(entries) + 4
    head, tail = bytearray(struct.pack(">H", len(entries))), bytearray()
    for tag, kind, count, value in sorted(entries):
        if len(value) <= 4:
            head += struct.pack(">HHI", tag, kind, count) + value.ljust(4, b"\0")
        else:
            head += struct.pack(">HHII", tag, kind, count, start + size + len(tail))
            tail += value + (b"\0" if len(value) % 2 else b"")
    head += struct.pack(">I", next_ifd)
    return bytes(head + tail)


def ascii_tag(tag, text):
    value = text.encode() + b"\0"
    return (tag, 2, len(value), value)


def exif_app1(serial, w, h, thumb):
    """APP1 Exif: IFD0 (make, model, date), the Exif IFD (date, pixel size)
    and, with a thumbnail, IFD1 pointing at it (JPEGInterchangeFormat)."""
    date = f"2023:{1 + serial % 12:02d}:{1 + serial % 28:02d} {serial % 24:02d}:{serial % 60:02d}:{serial * 7 % 60:02d}"
    rational = struct.pack(">II", 72, 1)

    def ifd0(exif_at, ifd1_at):
        return ifd([ascii_tag(0x010F, "Bench Camera Co"), ascii_tag(0x0110, "BC-12"),
                    (0x0112, 3, 1, struct.pack(">H", 1)), ascii_tag(0x0132, date),
                    (0x8769, 4, 1, struct.pack(">I", exif_at))], 8, ifd1_at)

    def exif_ifd(start):
        return ifd([ascii_tag(0x9003, date), (0xA002, 4, 1, struct.pack(">I", w)),
                    (0xA003, 4, 1, struct.pack(">I", h)), ascii_tag(0xA420, f"{serial:032x}")], start, 0)

    def ifd1(start, thumb_at):
        return ifd([(0x0103, 3, 1, struct.pack(">H", 6)), (0x011A, 5, 1, rational),
                    (0x011B, 5, 1, rational), (0x0128, 3, 1, struct.pack(">H", 2)),
                    (0x0201, 4, 1, struct.pack(">I", thumb_at)),
                    (0x0202, 4, 1, struct.pack(">I", len(thumb)))], start, 0)

    # Sizes do not depend on the offsets: lay out once with zeros, then again.
    exif_at = 8 + len(ifd0(0, 0))
    ifd1_at = exif_at + len(exif_ifd(exif_at)) if thumb else 0
    tiff = b"MM\0\x2a" + struct.pack(">I", 8) + ifd0(exif_at, ifd1_at) + exif_ifd(exif_at)
    if thumb:
        thumb_at = ifd1_at + len(ifd1(ifd1_at, 0))
        tiff += ifd1(ifd1_at, thumb_at) + thumb
    body = b"Exif\0\0" + tiff
    assert len(body) + 2 <= 0xFFFF
    return b"\xff\xe1" + struct.pack(">H", len(body) + 2) + body


def photo_bytes(serial, base, with_thumb):
    _, w, h, data, thumb = base
    comment = f"Bench photo {serial:06d}".encode()
    com = b"\xff\xfe" + struct.pack(">H", len(comment) + 2) + comment
    return data[:2] + exif_app1(serial, w, h, thumb if with_thumb else b"") + com + data[2:]


def progressive(data, path):
    """The photo's bytes made progressive (jpegtran keeps every coefficient),
    kept beside the pool."""
    if not os.path.exists(path):
        with open(path + ".src.jpg", "wb") as f:
            f.write(data)
        run(["jpegtran", "-progressive", "-copy", "none", "-outfile", path + ".tmp.jpg", path + ".src.jpg"])
        os.remove(path + ".src.jpg")
        os.replace(path + ".tmp.jpg", path)
    return read_without_app0(path)


def make_screenshots(folder, pool):
    """Screen-sized PNGs of a few pool photos, made once."""
    os.makedirs(folder, exist_ok=True)
    shots = []
    for i, size in enumerate(["1920x1080", "2560x1440", "1920x1080", "2560x1440"]):
        name = os.path.join(folder, f"shot{i}-{size}.png")
        if not os.path.exists(name):
            src = os.path.join(folder, "src.jpg")
            with open(src, "wb") as f:
                f.write(pool[(i * 7) % len(pool)][3])
            run(["convert", src, "-resize", size + "!", "-strip", name + ".tmp.png"])
            os.remove(src)
            os.replace(name + ".tmp.png", name)
        with open(name, "rb") as f:
            shots.append(f.read())
    return shots


def make_icons(folder):
    """A few dozen small PNG and GIF pictures, made once."""
    os.makedirs(folder, exist_ok=True)
    icons = []
    for i in range(24):
        side = [16, 24, 32, 48, 64, 96, 120, 150][i % 8]
        name = os.path.join(folder, f"icon{i:02d}.{'png' if i % 3 else 'gif'}")
        if not os.path.exists(name):
            colours = COLOURS[i % len(COLOURS)]
            run(["convert", "-seed", str(2000 + i), "-size", f"{side}x{side * (2 if i % 5 == 0 else 1)}",
                 f"plasma:{colours}", "-strip", name + ".tmp" + name[-4:]])
            os.replace(name + ".tmp" + name[-4:], name)
        with open(name, "rb") as f:
            icons.append(f.read())
    return icons


def filler(rng):
    """Space between two photos: nothing, old random data or zeros. Random
    data never starts a sector with a JPEG's SOI, so no false finds."""
    kind = rng.random()
    if kind < 0.5:
        return b""
    if kind < 0.75:
        data = bytearray(rng.randbytes(CLUSTER * rng.randint(1, 16)))
        for sector in range(0, len(data), 512):
            data[sector] = 0
        return bytes(data)
    return bytes(CLUSTER * rng.randint(1, 64))


def main():
    n = int(sys.argv[1])
    out = sys.argv[2]
    weights = SMALL_WEIGHTS if "--small" in sys.argv[4:] else WEIGHTS
    icon_count = int(sys.argv[sys.argv.index("--icons") + 1]) if "--icons" in sys.argv else 0
    os.makedirs(out, exist_ok=True)
    pool = make_pool(sys.argv[3], weights)
    icons = make_icons(os.path.join(sys.argv[3], "icons")) if icon_count else []
    mix = "--mix" in sys.argv[4:]
    if mix:
        shots = make_screenshots(os.path.join(sys.argv[3], "shots"), pool)
        pool = [b + (progressive(b[3], os.path.join(sys.argv[3], f"progressive{i:02d}.jpg")),)
                for i, b in enumerate(pool)]
    by_class = {mp: [b for b in pool if b[0] == mp] for mp in weights}
    rng = random.Random(n)
    classes = list(weights)
    total = thumbs = extra = 0
    with open(os.path.join(out, "card.img.tmp"), "wb") as card:
        card.write(bytes(CLUSTER * 16))  # where a file system would start
        for serial in range(n):
            card.write(filler(rng))
            base = rng.choice(by_class[rng.choices(classes, [weights[c] for c in classes])[0]])
            with_thumb = rng.random() >= (0.25 if mix else 0.05)
            if mix and not with_thumb and rng.random() < 0.5:
                base = base[:3] + (base[5], base[4])
            photo = photo_bytes(serial, base[:5], with_thumb)
            card.write(photo + bytes(-len(photo) % CLUSTER))
            total += len(photo)
            thumbs += with_thumb
            # The small pictures that fall between this photo and the next.
            for _ in range(icon_count * (serial + 1) // n - icon_count * serial // n):
                icon = rng.choice(icons)
                card.write(icon + bytes(-len(icon) % CLUSTER))
            if mix and rng.random() < 0.05:
                shot = rng.choice(shots)
                card.write(shot + bytes(-len(shot) % CLUSTER))
                extra += 1
        card.write(bytes(CLUSTER * 16))
    os.replace(os.path.join(out, "card.img.tmp"), os.path.join(out, "card.img"))
    with open(os.path.join(out, "manifest.txt"), "w") as manifest:
        manifest.write(f"{n} {total} {thumbs} {icon_count + extra}\n")


if __name__ == "__main__":
    main()
