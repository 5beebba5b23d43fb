#!/usr/bin/env bash
# Makes the file-system fuzzers' seeds (corpus/FsFat, FsExfat, FsNtfs,
# FsRecords) from small volumes made with the real tools, holding tiny
# pictures, some deleted: each seed lists the volume's sectors that are not
# zero (sparse_disk.h), without the parts no reader looks at (NTFS's log and
# upcase table, exFAT's upcase table and backup boot region). Run as root
# (ntfs-3g, exfat-fuse on a loop device); the seeds are kept in the
# repository.
#
# Usage: make_fs_seeds.sh SAMPLES   (make_samples.py's output folder)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
small=$1/small
work=$(mktemp -d)
mnt=$work/mnt
mkdir -p "$mnt"
loop=""
cleanup() {
  mountpoint -q "$mnt" && umount "$mnt"
  [ -n "$loop" ] && losetup -d "$loop"
  rm -rf "$work"
}
trap cleanup EXIT
convert -size 3x3 xc:red "$work/dot.gif"

# seed IMAGE OUT [SHIFT_SECTORS] [SKIP_RANGES]: non-zero sectors, each as a
# 4-byte sector number and its bytes; SKIP_RANGES "a-b,c-d" leaves sectors out.
seed() {
  python3 - "$@" <<'PY'
import struct, sys
img, out = sys.argv[1], sys.argv[2]
shift = int(sys.argv[3]) if len(sys.argv) > 3 else 0
skip = []
if len(sys.argv) > 4 and sys.argv[4]:
    skip = [tuple(map(int, r.split("-"))) for r in sys.argv[4].split(",")]
data = open(img, "rb").read()
parts = []
for n in range(len(data) // 512):
    s = data[n * 512:(n + 1) * 512]
    if s.count(0) == 512 or any(a <= n <= b for a, b in skip):
        continue
    parts.append(struct.pack("<I", n + shift) + s)
with open(out, "ab") as f:
    f.write(b"".join(parts))
PY
}

mkdir -p "$here/corpus/FsFat" "$here/corpus/FsExfat" "$here/corpus/FsNtfs" "$here/corpus/FsRecords"

# FAT12, FAT16 and FAT32: long and short names, a folder, a deleted file.
for kind in "12 1024 1" "16 4096 1" "32 34000 1"; do
  set -- $kind
  img=$work/fat$1.img
  mkfs.vfat -C -F "$1" -s "$3" "$img" "$2" >/dev/null
  mmd -i "$img" ::DCIM
  mcopy -i "$img" "$small/tiny.jpg" "::DCIM/Holiday Picture.jpg"
  mcopy -i "$img" "$work/dot.gif" ::DOT.GIF
  mcopy -i "$img" "$small/tiny.jpg" ::GONE.JPG
  mdel -i "$img" ::GONE.JPG
  rm -f "$here/corpus/FsFat/fat$1"
  seed "$img" "$here/corpus/FsFat/fat$1"
done

# exFAT: a file in a folder, a deleted one.
img=$work/exfat.img
truncate -s 4M "$img"
mkfs.exfat "$img" >/dev/null
loop=$(losetup -f --show "$img")
mount.exfat-fuse "$loop" "$mnt" >/dev/null 2>&1
mkdir "$mnt/Bilder"
cp "$small/tiny.jpg" "$mnt/Bilder/Strand.jpg"
cp "$work/dot.gif" "$mnt/dot.gif"
cp "$small/tiny.jpg" "$mnt/gone.jpeg"
rm "$mnt/gone.jpeg"
umount "$mnt"
losetup -d "$loop"
loop=""
upcase=$(python3 - "$img" <<'PY'
import struct, sys
d = open(sys.argv[1], "rb").read()
bps = 1 << d[108]; spc = 1 << d[109]
heap = struct.unpack_from("<I", d, 88)[0]; root = struct.unpack_from("<I", d, 96)[0]
at = (heap + (root - 2) * spc) * bps
for i in range(0, spc * bps, 32):
    if d[at + i] == 0x82:
        first, length = struct.unpack_from("<IQ", d, at + i + 20)
        s = heap + (first - 2) * spc
        print(f"{s}-{s + (length + bps - 1) // bps - 1}")
PY
)
rm -f "$here/corpus/FsExfat/exfat"
seed "$img" "$here/corpus/FsExfat/exfat" 0 "12-23,$upcase"

# NTFS: a picture in its record, one in clusters, one deleted: the boot
# sector, the $MFT's own record, the pictures' records and their data.
img=$work/ntfs.img
truncate -s 2M "$img"
mkntfs -F -Q -q -c 1024 "$img" >/dev/null 2>&1
ntfs-3g "$img" "$mnt"
cp "$work/dot.gif" "$mnt/dot.gif"
cp "$small/tiny.png" "$mnt/Tiny Picture.png"
cp "$small/tiny.jpg" "$mnt/gone.jpg"
rm "$mnt/gone.jpg"
umount "$mnt"
python3 - "$img" "$work/ntfs.keep" <<'PY'
import struct, sys
d = bytearray(open(sys.argv[1], "rb").read())
bps = struct.unpack_from("<H", d, 11)[0]; cluster = bps * d[13]
mft = struct.unpack_from("<Q", d, 48)[0] * cluster
keep = bytearray(len(d))
keep[0:512] = d[0:512]
keep[mft:mft + 1024] = d[mft:mft + 1024]
for at in range(mft + 1024, mft + 256 * 1024, 1024):
    rec = bytes(d[at:at + 1024])
    if rec[:4] == b"FILE" and any(x.encode("utf-16-le") in rec for x in (".gif", ".png", ".jpg")):
        keep[at:at + 1024] = rec
        # The clusters its $DATA runs name (one run is all a tiny file has).
        a = struct.unpack_from("<H", rec, 20)[0]
        while a + 16 <= 1024 and struct.unpack_from("<I", rec, a)[0] not in (0xFFFFFFFF,):
            t, ln = struct.unpack_from("<II", rec, a)
            if ln < 16: break
            if t == 0x80 and rec[a + 8]:
                r = a + struct.unpack_from("<H", rec, a + 32)[0]
                h = rec[r]; ls, os_ = h & 15, h >> 4
                length = int.from_bytes(rec[r + 1:r + 1 + ls], "little")
                lcn = int.from_bytes(rec[r + 1 + ls:r + 1 + ls + os_], "little")
                keep[lcn * cluster:(lcn + length) * cluster] = d[lcn * cluster:(lcn + length) * cluster]
            a += ln
open(sys.argv[2], "wb").write(keep)
PY
rm -f "$here/corpus/FsNtfs/ntfs"
seed "$work/ntfs.keep" "$here/corpus/FsNtfs/ntfs"

# The whole pass: the FAT12 volume as a logical partition of an MBR disk,
# the NTFS one on a GPT disk.
disk=$work/mbr.img
truncate -s 3M "$disk"
printf 'label: dos\nstart=2048, size=4096, type=5\nstart=2056, size=2048, type=1\n' | sfdisk -q "$disk" >/dev/null
dd if="$work/fat12.img" of="$disk" bs=512 seek=2056 conv=notrunc status=none
rm -f "$here/corpus/FsRecords/mbr" "$here/corpus/FsRecords/gpt"
seed "$disk" "$here/corpus/FsRecords/mbr"
disk=$work/gpt.img
truncate -s 4M "$disk"
printf 'label: gpt\nstart=2048, size=4096, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7\n' | sfdisk -q "$disk" >/dev/null
dd if="$work/ntfs.keep" of="$disk" bs=512 seek=2048 conv=notrunc status=none
seed "$disk" "$here/corpus/FsRecords/gpt" 0 "8159-8191"
ls -l "$here"/corpus/Fs*
