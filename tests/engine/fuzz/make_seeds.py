#!/usr/bin/env python3
"""Makes starting inputs for long fuzz runs in the folder given, one
sub-folder per target: tiny pictures of every kind the recognisers know, small
disks of several pictures and garbage on sectors for the scanner, JPEGs in two
pieces around a foreign file for the joiner, and command lines and device
tables. scripts/fuzz-engine starts from these and the seed corpus; what the
runs learn is merged into the corpus kept in the repository."""
import os
import random
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from make_samples import cr3, with_exif, with_large_mdat, with_mdat_extra, with_mpf, without_app0  # noqa: E402

out = sys.argv[1]
MARK = b"<<sector>>"  # sector_layout.h: next piece on a sector boundary
rng = random.Random(15)


def picture(source, *args):
    return subprocess.run(["convert", *args, source + ":-"], check=True, stdout=subprocess.PIPE).stdout


def save(target, name, data):
    os.makedirs(os.path.join(out, target), exist_ok=True)
    with open(os.path.join(out, target, name), "wb") as f:
        f.write(data)


def garbage(n):
    return bytes(rng.getrandbits(8) for _ in range(n))


# Tiny and 8 bits a sample: the runs mutate them, and the corpus kept in the
# repository stays small.
src = ["-seed", "4", "-size", "24x16", "plasma:", "-depth", "8"]
small = ["-seed", "6", "-size", "16x12", "plasma:", "-depth", "8"]
# Large enough to be cut on a sector inside its data.
split_src = ["-seed", "8", "-size", "96x64", "plasma:", "-quality", "90"]
jpegs = {
    "base": picture("jpg", *src, "-quality", "80"),
    "prog": picture("jpg", *src, "-interlace", "Plane"),
    "gray": picture("jpg", *src, "-colorspace", "Gray"),
    "sub444": picture("jpg", *src, "-sampling-factor", "1x1"),
}
thumb = picture("jpg", *small, "-quality", "50")
jpegs["restart"] = subprocess.run(["jpegtran", "-restart", "1B"], input=jpegs["base"], check=True,
                                 stdout=subprocess.PIPE).stdout
jpegs["exif"] = with_exif(jpegs["base"], thumb)
jpegs["mpf"] = with_mpf(jpegs["base"], thumb)
pngs = {
    "plain": picture("png", *src),
    "alpha": picture("png", *src, "-alpha", "set", "-channel", "A", "-evaluate", "set", "50%"),
    "palette": picture("png8", *src, "-colors", "16"),
    "interlaced": picture("png", *src, "-interlace", "PNG"),
}
gifs = {
    "static": picture("gif", *src, "-colors", "16"),
    "static87": picture("gif87", "-size", "24x24", "gradient:"),
    "anim": picture("gif", "-delay", "10", "-seed", "1", "-size", "20x16", "plasma:", "plasma:", "-loop", "0"),
}
bmps = {
    "pal8": picture("bmp3", *src, "-colors", "200", "-type", "Palette", "-compress", "none"),
    "rle8": picture("bmp3", *src, "-colors", "200", "-type", "Palette"),
    "pal4": picture("bmp3", *src, "-colors", "16", "-type", "Palette", "-compress", "none"),
    "true24": picture("bmp3", *src, "-type", "TrueColor"),
    "v5": picture("bmp", *src),
    "os2": picture("bmp2", *src, "-type", "TrueColor"),
}
tiffs = {
    "le_strips": picture("tiff", *src, "-define", "tiff:endian=lsb", "-define", "tiff:rows-per-strip=8", "-compress", "none"),
    "be_strips": picture("tiff", *src, "-define", "tiff:endian=msb", "-compress", "lzw"),
    "le_tiles": picture("tiff", *src, "-define", "tiff:endian=lsb", "-define", "tiff:tile-geometry=16x16"),
    "be_tiles": picture("tiff", *src, "-define", "tiff:endian=msb", "-define", "tiff:tile-geometry=16x16"),
}
for target, group, ext in (("Jpeg", jpegs, "jpg"), ("Png", pngs, "png"),
                           ("Gif", gifs, "gif"), ("Bmp", bmps, "bmp"), ("Tiff", tiffs, "tif")):
    for name, data in group.items():
        save(target, name + "." + ext, data)



def tool(*args):
    """A HEIC, AVIF or WebP of the tiny PNG through Debian's encoders."""
    with tempfile.TemporaryDirectory() as d:
        src_png, dst = os.path.join(d, "src.png"), os.path.join(d, "out")
        with open(src_png, "wb") as f:
            f.write(pngs["plain"])
        subprocess.run([a.replace("SRC", src_png).replace("DST", dst) for a in args], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(dst, "rb") as f:
            return f.read()


# heif-enc and avifenc go by the output's extension.
isos = {
    "photo.heic": tool("sh", "-c", "heif-enc -q 30 SRC -o DST.heic && mv DST.heic DST"),
    "photo.avif": tool("sh", "-c", "avifenc -s 10 SRC DST.avif && mv DST.avif DST"),
}
isos["large_mdat.heic"] = with_large_mdat(isos["photo.heic"])
isos["jpeg_inside.heic"] = with_mdat_extra(isos["photo.heic"], without_app0(thumb))
isos["photo.cr3"] = cr3(without_app0(thumb), without_app0(jpegs["base"]), without_app0(thumb), garbage(300))
webps = {
    "lossy.webp": tool("cwebp", "-q", "50", "SRC", "-o", "DST"),
    "lossless.webp": tool("cwebp", "-lossless", "SRC", "-o", "DST"),
    "alpha.webp": tool("sh", "-c", "convert SRC -alpha set -channel A -evaluate set 50% DST.png && cwebp -q 50 DST.png -o DST"),
}
for target, group in (("IsoMedia", isos), ("Webp", webps)):
    for name, data in group.items():
        save(target, name, data)

# Several pictures with garbage and empty space between them, on sectors.
everything = list(jpegs.values()) + list(pngs.values()) + list(gifs.values()) + list(bmps.values()) + list(tiffs.values())
everything += list(isos.values()) + list(webps.values())
for i in range(12):
    pieces = rng.sample(everything, 3)
    disk = []
    for p in pieces:
        disk += [garbage(rng.randrange(0, 700)), p]
    save("Scan", "disk%02d" % i, MARK.join(disk))


# A JPEG cut on a sector inside its data, another file, then the rest.
def two_pieces(jpeg, foreign, sectors):
    cut = sectors * 512
    return jpeg[:cut] + MARK + foreign + MARK + jpeg[cut:]


big = picture("jpg", *split_src)
splittable = {
    "base": big,
    "restart": subprocess.run(["jpegtran", "-restart", "1"], input=big, check=True, stdout=subprocess.PIPE).stdout,
    "gray": picture("jpg", *split_src, "-colorspace", "Gray"),
    "exif": with_exif(big, thumb),
}
for name, jpeg in splittable.items():
    for k, foreign in enumerate((gifs["static87"], pngs["plain"], jpegs["sub444"])):
        data = two_pieces(jpeg, foreign, 1 + k)
        save("JpegSplice", "%s_%d" % (name, k), data)
        save("Scan", "split_%s_%d" % (name, k), data)

lines = [
    ["/d", "C:\\out", "/cmd", "/dev/sda", "fileopt,everything,enable,search"],
    ["/d", "out dir", "/cmd", "/dev/sdab", "fileopt,everything,disable,jpg,enable,png,enable,search"],
    ["/d", "x", "/cmd", "card.img", "fileopt,gif,enable,bmp,enable,tif,enable,jpg,disable,search"],
    ["/d", "x", "/cmd", "/dev/sdz", "fileopt,search"],
]
for i, args in enumerate(lines):
    save("CommandLine", "line%d" % i, "\n".join(args).encode())
tables = [
    "# comment\n/dev/sda=Z:\\tmp\\card.img\n",
    "\n  /dev/sdb = D:\\images\\a=b.img  \r\n#/dev/sdc=x\n/dev/sdb=second\n",
    "/dev/sdaa=\t/x\n=nothing\nno equals\n",
]
for i, text in enumerate(tables):
    save("DeviceTable", "table%d" % i, text.encode())

# Camera RAWs to the makers' layouts, tiny: behind a TIFF header for Raw, with
# a header of their own for CameraRaw; one each among garbage for Scan.
import make_raw_samples  # noqa: E402

raw_dir = os.path.join(out, "raw-small")
make_raw_samples.make(raw_dir, small=True)
for name in sorted(os.listdir(raw_dir)):
    with open(os.path.join(raw_dir, name), "rb") as f:
        data = f.read()
    own = name.endswith((".orf", ".rw2", ".rwl", ".raf"))
    save("CameraRaw" if own else "Raw", name, data)
    save("Scan", "raw_" + name, garbage(300) + MARK + data + MARK + jpegs["sub444"])
