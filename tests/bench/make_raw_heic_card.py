#!/usr/bin/env python3
"""Makes a card image as a camera shooting RAW + JPEG and a phone leave it,
for scripts/bench-engine: shot after shot a CR3 (Canon's public layout:
previews, then several MB of raw data), its JPEG, and now and then a HEIC,
an AVIF and a WebP, each on 32 KiB clusters, with random data (old files)
and empty space between the shots.

    make_raw_heic_card.py SHOTS OUTDIR SAMPLES [JPEGDIR]

SAMPLES: make_samples.py's output folder (its modern and pics folders).
JPEGDIR: camera JPEGs to take in turn (scripts/bench-window's pool), else
the samples' JPEGs. RAW files of other families (TIFF-based, RAF, ORF,
RW2) are taken in turn from the folder in BENCH_RAW_FILES when it is set:
every such file is written after each CR3."""
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "engine"))
from make_samples import cr3, without_app0  # noqa: E402

shots, outdir, samples = int(sys.argv[1]), sys.argv[2], sys.argv[3]
jpegdir = sys.argv[4] if len(sys.argv) > 4 and os.path.isdir(sys.argv[4]) else os.path.join(samples, "pics")
rng = random.Random(27)
CLUSTER = 32768


def read(path):
    with open(path, "rb") as f:
        return f.read()


modern = os.path.join(samples, "modern")
others = [read(os.path.join(modern, n)) for n in ("photo.heic", "photo.avif", "lossy.webp", "large_mdat.heic")]
jpegs = sorted(os.path.join(jpegdir, n) for n in os.listdir(jpegdir) if n.lower().endswith(".jpg"))
raw_dir = os.environ.get("BENCH_RAW_FILES", "")
raws = sorted(os.path.join(raw_dir, n) for n in os.listdir(raw_dir)) if raw_dir else []
thumb = without_app0(read(os.path.join(samples, "pics", "base.jpg")))

os.makedirs(outdir, exist_ok=True)
path = os.path.join(outdir, "card.img")
with open(path + ".part", "wb") as out:
    def put(data):
        out.write(data + bytes(-len(data) % CLUSTER))
    for i in range(shots):
        jpeg = read(jpegs[i % len(jpegs)])
        app0_free = without_app0(jpeg) if jpeg[2:4] == b"\xff\xe0" else jpeg
        put(cr3(thumb, app0_free, app0_free, rng.randbytes(rng.randrange(8, 24) << 20)))
        if raws:
            put(read(raws[i % len(raws)]))
        put(jpeg)
        if i % 3 == 0:
            for o in others:
                put(o)
        if i % 5 == 0:
            put(rng.randbytes(4 << 20))  # an old file, overwritten
        if i % 7 == 0:
            put(bytes(2 << 20))
os.replace(path + ".part", path)
print(path)
