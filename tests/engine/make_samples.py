#!/usr/bin/env python3
"""Makes the engine's test pictures and disk images in the folder given.

Pictures come from ImageMagick; the EXIF thumbnail, multi-picture (MPF) and
many-IDAT variants are assembled here from its output. Disk images are FAT32
made with mkfs.vfat and filled with mtools, then files deleted or the whole
card re-formatted."""
import os
import shutil
import struct
import subprocess
import sys
import zlib

# Imported for its builders by the fuzz seed maker, run with the folder.
out = sys.argv[1] if __name__ == "__main__" else "."
pics = os.path.join(out, "pics")
small = os.path.join(out, "small")  # tiny pictures of every type, kept off the card images


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def convert(name, *args):
    run("convert", *args, os.path.join(pics, name))


def convert_as(fmt, name, *args):
    run("convert", *args, fmt + ":" + os.path.join(pics, name))


def read(name):
    with open(os.path.join(pics, name), "rb") as f:
        return f.read()


def write(name, data):
    with open(os.path.join(pics, name), "wb") as f:
        f.write(data)


def exif_block(thumb, pad_to=None):
    """APP1 Exif: IFD0 with one entry, IFD1 pointing at the thumbnail."""
    ifd0 = 8
    ifd1 = ifd0 + 2 + 12 + 4
    thumb_at = ifd1 + 2 + 2 * 12 + 4
    if pad_to is not None:  # thumbnail at file offset pad_to
        thumb_at = pad_to - 2 - 4 - 6
    tiff = b"II*\x00" + struct.pack("<I", ifd0)
    tiff += struct.pack("<H", 1) + struct.pack("<HHII", 0x112, 3, 1, 1) + struct.pack("<I", ifd1)
    tiff += struct.pack("<H", 2)
    tiff += struct.pack("<HHII", 0x201, 4, 1, thumb_at)
    tiff += struct.pack("<HHII", 0x202, 4, 1, len(thumb))
    tiff += struct.pack("<I", 0)
    tiff += b"\x00" * (thumb_at - len(tiff)) + thumb
    body = b"Exif\x00\x00" + tiff
    return b"\xff\xe1" + struct.pack(">H", len(body) + 2) + body


def with_exif(jpeg, thumb, pad_to=None):
    return jpeg[:2] + exif_block(thumb, pad_to) + jpeg[2:]


def with_mpf(main, second):
    """Main image with an APP2 MPF index, then the second image after it."""
    app2_len = 2 + 4 + 8 + 2 + 3 * 12 + 4 + 32
    main_len = len(main) + 2 + app2_len
    base = 2 + 2 + 2 + 4  # TIFF header offset in the file: SOI, marker, length, "MPF\0"
    entries = struct.pack(">IIIHH", 0x20030000, main_len, 0, 0, 0)
    entries += struct.pack(">IIIHH", 0x00020002, len(second), main_len - base, 0, 0)
    ifd = struct.pack(">H", 3)
    ifd += struct.pack(">HHI", 0xB000, 7, 4) + b"0100"
    ifd += struct.pack(">HHII", 0xB001, 4, 1, 2)
    ifd += struct.pack(">HHII", 0xB002, 7, 32, 8 + 2 + 3 * 12 + 4)
    ifd += struct.pack(">I", 0)
    body = b"MPF\x00" + b"MM\x00*" + struct.pack(">I", 8) + ifd + entries
    assert len(body) + 2 == app2_len
    app2 = b"\xff\xe2" + struct.pack(">H", app2_len) + body
    return main[:2] + app2 + main[2:] + second


def rechunk_png(data, size):
    chunks, pos, idat = [], 8, b""
    while pos < len(data):
        n = struct.unpack(">I", data[pos:pos + 4])[0]
        kind = data[pos + 4:pos + 8]
        if kind == b"IDAT":
            idat += data[pos + 8:pos + 8 + n]
        elif kind == b"IEND":
            for i in range(0, len(idat), size):
                part = idat[i:i + size]
                chunks.append(struct.pack(">I", len(part)) + b"IDAT" + part +
                              struct.pack(">I", zlib.crc32(b"IDAT" + part)))
            chunks.append(data[pos:pos + 12 + n])
        else:
            chunks.append(data[pos:pos + 12 + n])
        pos += 12 + n
    return data[:8] + b"".join(chunks)


def make_pictures():
    os.makedirs(pics, exist_ok=True)
    src = ["-seed", "7", "-size", "480x320", "plasma:red-blue"]
    convert("base.jpg", *src, "-quality", "85")
    convert("prog.jpg", *src, "-quality", "80", "-interlace", "Plane")
    convert("thumb_src.jpg", "-seed", "3", "-size", "160x120", "plasma:", "-quality", "70")
    convert("second_src.jpg", "-seed", "5", "-size", "320x240", "plasma:", "-quality", "70")
    # ImageMagick writes no restart markers; jpegtran adds them losslessly,
    # one every two MCUs.
    with open(os.path.join(pics, "restart.jpg"), "wb") as f:
        subprocess.run(["jpegtran", "-restart", "2B", os.path.join(pics, "base.jpg")], check=True, stdout=f)
    thumb = read("thumb_src.jpg")
    write("exif.jpg", with_exif(read("base.jpg"), thumb))
    write("exif_aligned.jpg", with_exif(read("prog.jpg"), thumb, pad_to=1024))
    write("mpf.jpg", with_mpf(read("base.jpg"), read("second_src.jpg")))
    os.remove(os.path.join(pics, "thumb_src.jpg"))
    os.remove(os.path.join(pics, "second_src.jpg"))

    convert("plain.png", *src)
    write("many_idat.png", rechunk_png(read("plain.png"), 4096))
    convert("alpha.png", "-seed", "9", "-size", "200x150", "plasma:", "-alpha", "set",
            "-channel", "A", "-evaluate", "set", "50%")
    convert("palette.png", *src, "-colors", "64", "-type", "Palette")
    convert("gray.png", *src, "-colorspace", "Gray")

    convert("static.gif", *src, "-colors", "200")
    convert_as("GIF87", "static87.gif", "-size", "64x64", "gradient:")
    run("convert", "-delay", "10", "-seed", "1", "-size", "120x90", "plasma:", "plasma:green-yellow",
        "plasma:", "-loop", "0", os.path.join(pics, "anim.gif"))

    convert_as("BMP3", "pal8.bmp", *src, "-colors", "200", "-type", "Palette", "-compress", "none")
    convert_as("BMP3", "rle8.bmp", *src, "-colors", "200", "-type", "Palette")
    convert_as("BMP3", "true24.bmp", *src, "-type", "TrueColor")
    convert("v5.bmp", *src)
    convert_as("BMP2", "os2.bmp", *src, "-type", "TrueColor")

    convert("le_strips.tif", *src, "-define", "tiff:endian=lsb", "-define", "tiff:rows-per-strip=16", "-compress", "none")
    convert("be_strips.tif", *src, "-define", "tiff:endian=msb", "-define", "tiff:rows-per-strip=32", "-compress", "lzw")
    convert("le_tiles.tif", *src, "-define", "tiff:endian=lsb", "-define", "tiff:tile-geometry=64x64", "-compress", "none")
    convert("be_tiles.tif", *src, "-define", "tiff:endian=msb", "-define", "tiff:tile-geometry=128x128", "-compress", "lzw")


def make_small():
    os.makedirs(small, exist_ok=True)
    src = ["-seed", "11", "-size", "40x24", "plasma:"]
    for name, args in (("tiny.jpg", ["-quality", "80"]), ("tiny.png", []), ("tiny.gif", []),
                       ("tiny.bmp", ["-type", "TrueColor"]), ("tiny.tif", ["-compress", "none"])):
        run("convert", *src, *args, os.path.join(small, name))
    # Larger baseline JPEGs to cut into pieces; the twins share their tables.
    std = ["-quality", "85", "-define", "jpeg:optimize-coding=false", "-sampling-factor", "2x2"]
    for name, seed, extra in (("twin_a.jpg", "21", []), ("twin_b.jpg", "22", []),
                              ("rst_a.jpg", "23", ["-define", "jpeg:restart-interval=3"]),
                              ("rst_b.jpg", "24", ["-define", "jpeg:restart-interval=3"])):
        run("convert", "-seed", seed, "-size", "1280x960", "plasma:", *std, *extra, os.path.join(small, name))
    # Other layouts for the JPEG data check: one component with restarts,
    # 2x1 sampling at full quality (long codes, large coefficients), odd sizes.
    run("convert", "-seed", "25", "-size", "97x61", "plasma:", "-colorspace", "Gray",
        "-define", "jpeg:restart-interval=5", os.path.join(small, "gray.jpg"))
    run("convert", "-seed", "26", "-size", "123x45", "plasma:", "-quality", "100",
        "-sampling-factor", "2x1", os.path.join(small, "h2v1.jpg"))


modern = os.path.join(out, "modern")  # HEIC, AVIF, WebP, CR3: kept off the older card images


def box(kind, payload, large=False):
    """An ISO media box; large: with a 64-bit size."""
    if large:
        return struct.pack(">I4sQ", 1, kind, 16 + len(payload)) + payload
    return struct.pack(">I4s", 8 + len(payload), kind) + payload


def full_box(kind, payload, version=0, flags=0):
    return box(kind, struct.pack(">I", version << 24 | flags) + payload)


def top_boxes(data):
    """The top-level boxes of an ISO media file: (type, start, size)."""
    out, o = [], 0
    while o + 8 <= len(data):
        size, kind = struct.unpack(">I4s", data[o:o + 8])
        if size == 1:
            size = struct.unpack(">Q", data[o + 8:o + 16])[0]
        out.append((kind, o, size))
        o += size
    return out


def with_large_mdat(data, extra=b""):
    """The same file with its mdat given a 64-bit size (and extra bytes at its end)."""
    out = b""
    for kind, start, size in top_boxes(data):
        if kind == b"mdat":
            out += box(b"mdat", data[start + 8:start + size] + extra, large=True)
        else:
            out += data[start:start + size]
    return out


def with_mdat_extra(data, extra):
    out = b""
    for kind, start, size in top_boxes(data):
        out += box(b"mdat", data[start + 8:start + size] + extra) if kind == b"mdat" else data[start:start + size]
    return out


def without_app0(jpeg):
    """A JPEG as cameras embed it: SOI and straight on to the tables, no JFIF segment."""
    assert jpeg[2:4] == b"\xff\xe0"
    n = struct.unpack(">H", jpeg[4:6])[0]
    return jpeg[:2] + jpeg[4 + n:]


def cr3(thumb, preview, full, raw):
    """A CR3 made to Canon's public layout: ftyp crx, moov holding Canon's
    uuid box (CNCV, CMT1 with a TIFF header, THMB thumbnail), mvhd and one
    track; the PRVW uuid box with the preview JPEG; mdat with the full-size
    JPEG and the raw data."""
    canon = bytes.fromhex("85c0b687820f11e08111f4ce462b6a48")
    prvw = bytes.fromhex("eaf42b5e1c984b88b9fbb7dc406e4d16")
    tiff = b"II*\x00\x08\x00\x00\x00" + struct.pack("<H", 1) + struct.pack("<HHII", 0x010F, 2, 6, 26) + \
        b"\x00\x00\x00\x00" + b"Canon\x00"
    thmb = box(b"THMB", struct.pack(">IHHIHH", 0, 160, 120, len(thumb), 1, 0) + thumb)
    moov_uuid = box(b"uuid", canon + box(b"CNCV", b"CanonCR3_001/00.09.00/00.00.00") + box(b"CMT1", tiff) + thmb)
    mvhd = full_box(b"mvhd", bytes(96))
    stsd = full_box(b"stsd", struct.pack(">I", 1) + box(b"CRAW", bytes(82)))
    stbl = box(b"stbl", stsd + full_box(b"stts", bytes(4)) + full_box(b"stsc", bytes(4)) +
               full_box(b"stsz", bytes(8)) + full_box(b"co64", struct.pack(">I", 0)))
    minf = box(b"minf", full_box(b"vmhd", bytes(8)) + box(b"dinf", full_box(b"dref", struct.pack(">I", 0))) + stbl)
    mdia = box(b"mdia", full_box(b"mdhd", bytes(20)) + full_box(b"hdlr", bytes(4) + b"vide" + bytes(13)) + minf)
    trak = box(b"trak", full_box(b"tkhd", bytes(80)) + mdia)
    ftyp = box(b"ftyp", b"crx " + struct.pack(">I", 1) + b"crx isom")
    moov = box(b"moov", moov_uuid + mvhd + trak)
    prvw_box = box(b"uuid", prvw + struct.pack(">Q", 1) +
                   box(b"PRVW", struct.pack(">IHHHHI", 0, 1, 1620, 1080, 1, len(preview)) + preview))
    return ftyp + moov + prvw_box + box(b"mdat", full + raw)


def make_modern():
    os.makedirs(modern, exist_ok=True)
    def at(name):
        return os.path.join(modern, name)
    def put(name, data):
        with open(at(name), "wb") as f:
            f.write(data)
    def get(name):
        with open(at(name), "rb") as f:
            return f.read()
    run("convert", "-seed", "31", "-size", "640x480", "plasma:", at("src.png"))
    run("convert", "-seed", "32", "-size", "96x64", "plasma:", "-alpha", "set", "-channel", "A",
        "-evaluate", "set", "60%", at("alpha_src.png"))
    run("heif-enc", "-q", "60", at("src.png"), "-o", at("photo.heic"))
    run("avifenc", "-s", "10", at("src.png"), at("photo.avif"))
    run("cwebp", "-q", "75", at("src.png"), "-o", at("lossy.webp"))
    run("cwebp", "-lossless", at("alpha_src.png"), "-o", at("lossless.webp"))
    run("cwebp", "-q", "75", "-metadata", "all", at("alpha_src.png"), "-o", at("alpha.webp"))
    # A HEIC whose mdat has a 64-bit size, one that carries a JPEG (as
    # cameras embed them: no JFIF segment) in its mdat.
    put("large_mdat.heic", with_large_mdat(get("photo.heic")))
    run("convert", "-seed", "33", "-size", "160x120", "plasma:", "-quality", "70", at("thumb.jpg"))
    run("convert", "-seed", "34", "-size", "800x600", "plasma:", "-quality", "80", at("preview.jpg"))
    run("convert", "-seed", "35", "-size", "1200x800", "plasma:", "-quality", "85", at("full.jpg"))
    put("jpeg_inside.heic", with_mdat_extra(get("photo.heic"), b"\x00" * 37 + without_app0(get("preview.jpg"))))
    raw = bytes((i * 7919 + (i >> 8) * 31) & 0xFF for i in range(200000))
    put("photo.cr3", cr3(without_app0(get("thumb.jpg")), without_app0(get("preview.jpg")),
                         without_app0(get("full.jpg")), raw))
    for f in ("src.png", "alpha_src.png", "thumb.jpg", "preview.jpg", "full.jpg"):
        os.remove(at(f))


def fat_image(name, files, fat, size_mb=48, folder=None):
    img = os.path.join(out, name)
    if os.path.exists(img):
        os.remove(img)
    run("mkfs.vfat", "-C", *fat, img, str(size_mb * 1024))
    for f in files:
        run("mcopy", "-i", img, os.path.join(folder or pics, f), "::" + f)
    return img


FAT32 = ("-F", "32", "-s", "1")
FAT16 = ("-F", "16", "-s", "8")  # 4 KiB clusters


def make_disks():
    names = sorted(os.listdir(pics))
    # Every picture copied, then every other one deleted.
    img = fat_image("deleted.img", names, FAT32)
    for f in names[::2]:
        run("mdel", "-i", img, "::" + f)
    # All copied, then the card formatted again over them.
    img = fat_image("formatted.img", names, FAT16)
    run("mkfs.vfat", *FAT16, img)
    # Phone and camera pictures under their own names, then deleted.
    names = {"photo.heic": "IMG_0001.HEIC", "photo.cr3": "IMG_0002.CR3", "photo.avif": "Pic.avif",
             "lossy.webp": "download.webp", "jpeg_inside.heic": "IMG_0003.HEIC"}
    for src, dst in names.items():
        shutil.copy(os.path.join(modern, src), os.path.join(out, dst))
    img = fat_image("modern_deleted.img", list(names.values()), FAT32, folder=out)
    for dst in names.values():
        run("mdel", "-i", img, "::" + dst)
        os.remove(os.path.join(out, dst))


if __name__ == "__main__":
    make_pictures()
    make_small()
    make_modern()
    make_disks()
    import make_raw_samples  # camera RAWs, kept apart from the card images
    make_raw_samples.make(os.path.join(out, "raw"))
