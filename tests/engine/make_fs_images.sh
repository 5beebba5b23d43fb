#!/usr/bin/env bash
# Makes disk images with real file systems for the engine's tests, from the
# sample pictures (make_samples.py's pics folder): pictures copied in with
# known dates, some of them fragmented on purpose, then deleted.
#
#   mbr.img   MBR: a primary FAT16 partition and, in an extended one, a
#             logical NTFS partition
#   gpt.img   GPT: one exFAT partition
#   ntfs-formatted.img  NTFS whose pictures were copied, then formatted over
#   damaged.img  FAT32 whose deleted photos were partly overwritten
#
# expected.tsv lists, per image, each picture the engine must write from the
# records: image, the name it gets, the original file (with its date), the
# folder it was in and whether it was deleted or is still present.
# Needs root: NTFS is filled through ntfs-3g, exFAT through exfat-fuse on a
# loop device.
#
# Usage: make_fs_images.sh OUT PICS
set -euo pipefail
out=$1
pics=$2
rm -rf "$out"
mkdir -p "$out/src"
# A machine that cannot mount images at all (no root, no FUSE, no loop
# devices) gets no images; the tests that need them say so and skip.
unavailable() {
  echo "$1" >"$out/unavailable"
  echo "file-system images not made: $1" >&2
  exit 0
}
[ "$(id -u)" = 0 ] || unavailable "mounting images needs root"
[ -c /dev/fuse ] || unavailable "no /dev/fuse"
losetup -f >/dev/null 2>&1 || unavailable "no free loop device"
mnt=$(mktemp -d)
loop=""
cleanup() {
  mountpoint -q "$mnt" && umount "$mnt"
  [ -n "$loop" ] && losetup -d "$loop"
  rmdir "$mnt"
}
trap cleanup EXIT

expected() {  # image name source folder deleted|present
  printf '%s\t%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" "$5" >>"$out/expected.tsv"
}
# stage IMAGE NAME PICTURE DATE: the original with its date, to copy in.
stage() {
  mkdir -p "$out/src/$1"
  cp "$pics/$3" "$out/src/$1/$2"
  touch -d "$4" "$out/src/$1/$2"
  echo "$out/src/$1/$2"
}
# fill DIR [NAME [BYTES]]: files of 32 KiB (BYTES) until the volume is full,
# then every other one deleted, so that what comes next must go into the
# holes.
fill() {
  local i=0 name=${2:-fill} bytes=${3:-32768}
  while head -c "$bytes" /dev/urandom >"$1/$name$i.bin" 2>/dev/null; do i=$((i + 1)); done
  rm -f "$1/$name$i.bin"
  for ((j = 0; j < i; j += 2)); do rm "$1/$name$j.bin"; done
}
# place DISK VOLUME START_SECTOR
place() { dd if="$2" of="$1" bs=512 seek="$3" conv=notrunc status=none; }

# FAT16, 2 KiB clusters: a long name, a short one that loses its first
# letter, a deleted folder, a live picture two folders down, and a live
# picture fragmented by the holes.
fat=$out/fat.vol
mkfs.vfat -C -F 16 -s 4 "$fat" 12288 >/dev/null
s=$(stage mbr "Wedding Photo 01.JPEG" base.jpg "2019-06-15 14:30:22")
mcopy -m -i "$fat" "$s" "::Wedding Photo 01.JPEG"
mmd -i "$fat" ::DCIM ::OLD
s=$(stage mbr IMG_0002.JPG exif.jpg "2020-01-02 03:04:06")
mcopy -m -i "$fat" "$s" ::DCIM/IMG_0002.JPG
s=$(stage mbr "old pic.png" palette.png "2017-11-30 22:10:00")
mcopy -m -i "$fat" "$s" "::OLD/old pic.png"
mmd -i "$fat" ::DCIM/100MEDIA
s=$(stage mbr KEEP0001.GIF static.gif "2020-02-03 04:05:06")
mcopy -m -i "$fat" "$s" ::DCIM/100MEDIA/KEEP0001.GIF
for i in $(seq 0 40); do head -c 16384 /dev/urandom >"$out/fill.bin"; mcopy -i "$fat" "$out/fill.bin" "::fill$i.bin"; done
rm "$out/fill.bin"
for i in $(seq 0 2 40); do mdel -i "$fat" "::fill$i.bin"; done
s=$(stage mbr Scan.BMP true24.bmp "2021-08-09 10:11:12")
mcopy -m -i "$fat" "$s" ::Scan.BMP
mdel -i "$fat" "::Wedding Photo 01.JPEG" ::DCIM/IMG_0002.JPG
mdeltree -i "$fat" ::OLD
expected mbr.img "Wedding Photo 01.jpg" "$out/src/mbr/Wedding Photo 01.JPEG" '\' deleted
expected mbr.img _MG_0002.jpg "$out/src/mbr/IMG_0002.JPG" '\DCIM' deleted
expected mbr.img "old pic.png" "$out/src/mbr/old pic.png" '\_LD' deleted
expected mbr.img KEEP0001.gif "$out/src/mbr/KEEP0001.GIF" '\DCIM\100MEDIA' present
expected mbr.img Scan.bmp "$out/src/mbr/Scan.BMP" '\' present

# NTFS: a picture in a deleted folder, a name outside ASCII, one small
# enough to live in its file record, one fragmented by the holes, and in a
# folder that stays, a live picture one folder further down and a deleted
# one.
ntfs=$out/ntfs.vol
truncate -s 10M "$ntfs"
mkntfs -F -q -c 4096 "$ntfs" >/dev/null 2>&1
ntfs-3g "$ntfs" "$mnt"
mkdir -p "$mnt/DCIM/100CANON"
cp -p "$(stage ntfs IMG_0001.JPG exif.jpg "2018-05-06 07:08:09")" "$mnt/DCIM/100CANON/"
cp -p "$(stage ntfs "Hochzeit Müller.jpeg" base.jpg "2016-07-08 09:10:11")" "$mnt/"
convert -size 3x3 xc:red "$out/src/ntfs/tiny.gif"
touch -d "2015-01-01 12:00:00" "$out/src/ntfs/tiny.gif"
cp -p "$out/src/ntfs/tiny.gif" "$mnt/"
mkdir -p "$mnt/Fotos/Sommer 2019"
cp -p "$(stage ntfs Strand.png plain.png "2019-08-01 10:00:00")" "$mnt/Fotos/Sommer 2019/"
cp -p "$(stage ntfs weg.bmp pal8.bmp "2013-03-03 03:03:03")" "$mnt/Fotos/"
fill "$mnt"
cp -p "$(stage ntfs "Big Scan.TIFF" le_tiles.tif "2019-12-24 18:00:00")" "$mnt/"
# A phone's HEIC and a camera's CR3 (make_samples.py's modern folder), in
# pieces through the holes of a second fill.
fill "$mnt" gap 16384
mkdir -p "$mnt/DCIM/101APPLE"
cp -p "$(stage ntfs IMG_4711.HEIC ../modern/photo.heic "2023-07-01 09:30:00")" "$mnt/DCIM/101APPLE/"
cp -p "$(stage ntfs IMG_0815.CR3 ../modern/photo.cr3 "2024-02-29 16:45:10")" "$mnt/"
umount "$mnt"
for f in "Big Scan.TIFF" IMG_0815.CR3; do
  runs=$(ntfsinfo -v -F "/$f" "$ntfs" | grep -c '^[[:space:]]*0x[0-9a-f]*[[:space:]]*0x[0-9a-f]*[[:space:]]*0x[0-9a-f]*$')
  [ "$runs" -ge 2 ] || { echo "$f is not fragmented ($runs runs)" >&2; exit 1; }
done
ntfs-3g "$ntfs" "$mnt"
rm -r "$mnt/DCIM" "$mnt/Hochzeit Müller.jpeg" "$mnt/tiny.gif" "$mnt/Big Scan.TIFF" "$mnt/Fotos/weg.bmp" "$mnt/IMG_0815.CR3"
umount "$mnt"
expected mbr.img IMG_4711.heic "$out/src/ntfs/IMG_4711.HEIC" '\DCIM\101APPLE' deleted
expected mbr.img IMG_0815.cr3 "$out/src/ntfs/IMG_0815.CR3" '\' deleted
expected mbr.img IMG_0001.jpg "$out/src/ntfs/IMG_0001.JPG" '\DCIM\100CANON' deleted
expected mbr.img "Hochzeit M_ller.jpg" "$out/src/ntfs/Hochzeit Müller.jpeg" '\' deleted
expected mbr.img tiny.gif "$out/src/ntfs/tiny.gif" '\' deleted
expected mbr.img "Big Scan.tif" "$out/src/ntfs/Big Scan.TIFF" '\' deleted
expected mbr.img Strand.png "$out/src/ntfs/Strand.png" '\Fotos\Sommer 2019' present
expected mbr.img weg.bmp "$out/src/ntfs/weg.bmp" '\Fotos' deleted

truncate -s 26M "$out/mbr.img"
sfdisk -q "$out/mbr.img" >/dev/null <<'TABLE'
label: dos
start=2048, size=24576, type=6
start=26624, size=26624, type=5
start=28672, size=20480, type=7
TABLE
place "$out/mbr.img" "$fat" 2048
place "$out/mbr.img" "$ntfs" 28672
rm "$fat" "$ntfs"

# exFAT on GPT: a deleted folder, a rarer extension, a live picture two
# folders down, and a live picture whose clusters are chained through the
# holes.
exfat=$out/exfat.vol
truncate -s 8M "$exfat"
mkfs.exfat "$exfat" >/dev/null
loop=$(losetup -f --show "$exfat")
mount.exfat-fuse "$loop" "$mnt" >/dev/null 2>&1
cp -p "$(stage gpt "Urlaub 2019.JPE" mpf.jpg "2018-03-04 05:06:08")" "$mnt/"
mkdir "$mnt/Bilder"
cp -p "$(stage gpt Strand.gif anim.gif "2014-02-03 04:05:06")" "$mnt/Bilder/"
mkdir -p "$mnt/DCIM/100MSDCF"
cp -p "$(stage gpt DSC00042.JPG restart.jpg "2021-04-05 06:07:08")" "$mnt/DCIM/100MSDCF/"
fill "$mnt"
cp -p "$(stage gpt Panorama.tif be_tiles.tif "2022-10-11 12:13:14")" "$mnt/"
rm -r "$mnt/Urlaub 2019.JPE" "$mnt/Bilder"
umount "$mnt"
losetup -d "$loop"
loop=""
expected gpt.img "Urlaub 2019.jpg" "$out/src/gpt/Urlaub 2019.JPE" '\' deleted
expected gpt.img Strand.gif "$out/src/gpt/Strand.gif" '\Bilder' deleted
expected gpt.img DSC00042.jpg "$out/src/gpt/DSC00042.JPG" '\DCIM\100MSDCF' present
expected gpt.img Panorama.tif "$out/src/gpt/Panorama.tif" '\' present

truncate -s 10M "$out/gpt.img"
sfdisk -q "$out/gpt.img" >/dev/null <<'TABLE'
label: gpt
start=2048, size=16384, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7
TABLE
place "$out/gpt.img" "$exfat" 2048
rm "$exfat"

# Camera RAWs (make_samples.py's raw folder beside pics), on one MBR disk:
# FAT32 with a deleted CR2 and NEF (short names: their first letter is lost)
# beside a live DNG in \DCIM\100CANON, and NTFS with a deleted ARW and RAF
# beside a live RW2.
fat=$out/rawfat.vol
mkfs.vfat -C -F 32 -s 1 "$fat" 40960 >/dev/null
mmd -i "$fat" ::DCIM ::DCIM/100CANON
s=$(stage raw IMG_0001.CR2 ../raw/canon.cr2 "2023-04-05 06:07:08")
mcopy -m -i "$fat" "$s" ::DCIM/100CANON/IMG_0001.CR2
s=$(stage raw DSC_0002.NEF ../raw/nikon.nef "2023-04-05 06:07:10")
mcopy -m -i "$fat" "$s" ::DSC_0002.NEF
s=$(stage raw IMG_0003.DNG ../raw/adobe.dng "2023-04-05 06:07:12")
mcopy -m -i "$fat" "$s" ::DCIM/100CANON/IMG_0003.DNG
mdel -i "$fat" ::DCIM/100CANON/IMG_0001.CR2 ::DSC_0002.NEF
expected raw.img _MG_0001.cr2 "$out/src/raw/IMG_0001.CR2" '\DCIM\100CANON' deleted
expected raw.img _SC_0002.nef "$out/src/raw/DSC_0002.NEF" '\' deleted
expected raw.img IMG_0003.dng "$out/src/raw/IMG_0003.DNG" '\DCIM\100CANON' present
ntfs=$out/rawntfs.vol
truncate -s 24M "$ntfs"
mkntfs -F -q -c 4096 "$ntfs" >/dev/null 2>&1
ntfs-3g "$ntfs" "$mnt"
mkdir -p "$mnt/Fotos"
cp -p "$(stage rawntfs DSC01234.ARW ../raw/sony.arw "2022-02-03 04:05:06")" "$mnt/Fotos/"
cp -p "$(stage rawntfs DSCF5678.RAF ../raw/fuji.raf "2022-02-03 04:05:08")" "$mnt/"
cp -p "$(stage rawntfs P1000042.RW2 ../raw/panasonic.rw2 "2022-02-03 04:05:10")" "$mnt/Fotos/"
umount "$mnt"
ntfs-3g "$ntfs" "$mnt"
rm "$mnt/Fotos/DSC01234.ARW" "$mnt/DSCF5678.RAF"
umount "$mnt"
expected raw.img DSC01234.arw "$out/src/rawntfs/DSC01234.ARW" '\Fotos' deleted
expected raw.img DSCF5678.raf "$out/src/rawntfs/DSCF5678.RAF" '\' deleted
expected raw.img P1000042.rw2 "$out/src/rawntfs/P1000042.RW2" '\Fotos' present
truncate -s 68M "$out/raw.img"
sfdisk -q "$out/raw.img" >/dev/null <<'TABLE'
label: dos
start=2048, size=81920, type=c
start=86016, size=49152, type=7
TABLE
place "$out/raw.img" "$fat" 2048
place "$out/raw.img" "$ntfs" 86016
rm "$fat" "$ntfs"

# Damaged photos on a FAT32 card (no partition table): one whole, one with
# 64 KiB overwritten in the middle, one whose last part was overwritten, one
# whose first cluster was zeroed (its header is gone: nothing says it is a
# picture), all deleted. damaged.tsv: name, whether it is written damaged.
fat=$out/damaged.img
mkfs.vfat -C -F 32 -s 1 "$fat" 40960 >/dev/null
mmd -i "$fat" ::DCIM
for n in 1 2 3 4; do
  convert -size 1600x1200 plasma:red-blue -attenuate 0.3 +noise Gaussian -quality 92 "$out/src/IMG_010$n.JPG"
  mcopy -m -i "$fat" "$out/src/IMG_010$n.JPG" "::DCIM/IMG_010$n.JPG"
done
# overwrite FILE AT BYTES [zero]: where FILE's bytes lie in the image (its
# clusters are in a row on a fresh volume), BYTES from its byte AT on.
overwrite() {
  python3 - "$fat" "$1" "$2" "$3" "${4:-}" <<'PY'
import os, sys
img, src, at, n, zero = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
data = open(src, "rb").read()
disk = bytearray(open(img, "rb").read())
start = disk.find(data[:4096])
assert start >= 0 and disk[start:start + len(data)] == data, src
disk[start + at:start + at + n] = bytes(n) if zero else os.urandom(n)
open(img, "wb").write(disk)
PY
}
size2=$(stat -c %s "$out/src/IMG_0102.JPG")
overwrite "$out/src/IMG_0102.JPG" $((size2 / 2)) 65536
size3=$(stat -c %s "$out/src/IMG_0103.JPG")
overwrite "$out/src/IMG_0103.JPG" $((size3 * 6 / 10)) $((size3 - size3 * 6 / 10))
overwrite "$out/src/IMG_0104.JPG" 0 4096 zero
# A phone's HEIC whose boxes after its file-type box were overwritten, and
# a WebP whose first chunk was: their starts still say what they are.
convert -size 800x600 plasma:green-purple "$out/src/phone.png"
heif-enc -q 60 -o "$out/src/IMG_0105.HEIC" "$out/src/phone.png" >/dev/null
cwebp -quiet "$out/src/phone.png" -o "$out/src/web.webp"
mcopy -m -i "$fat" "$out/src/IMG_0105.HEIC" "::DCIM/IMG_0105.HEIC"
mcopy -m -i "$fat" "$out/src/web.webp" "::DCIM/web.webp"
overwrite "$out/src/IMG_0105.HEIC" 40 4096
overwrite "$out/src/web.webp" 12 16
mdel -i "$fat" ::DCIM/IMG_0101.JPG ::DCIM/IMG_0102.JPG ::DCIM/IMG_0103.JPG ::DCIM/IMG_0104.JPG \
  ::DCIM/IMG_0105.HEIC ::DCIM/web.webp
# name written, whole or damaged, the original
printf '%s\t%s\t%s\n' _MG_0101.jpg whole "$out/src/IMG_0101.JPG" _MG_0102.jpg damaged "$out/src/IMG_0102.JPG" \
  _MG_0103.jpg damaged "$out/src/IMG_0103.JPG" IMG_0105.heic damaged "$out/src/IMG_0105.HEIC" \
  web.webp damaged "$out/src/web.webp" >"$out/damaged.tsv"

# NTFS formatted over its pictures: no records, only the content search.
img=$out/ntfs-formatted.img
truncate -s 8M "$img"
mkntfs -F -Q -q -c 4096 "$img" >/dev/null 2>&1
ntfs-3g "$img" "$mnt"
cp "$pics/base.jpg" "$pics/plain.png" "$pics/static.gif" "$mnt/"
umount "$mnt"
mkntfs -F -Q -q -c 4096 "$img" >/dev/null 2>&1
