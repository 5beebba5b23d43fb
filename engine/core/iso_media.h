// ISO base media files that hold pictures (ISO/IEC 14496-12 boxes, the
// HEIF image formats of ISO/IEC 23008-12): HEIC, AVIF and Canon's CR3.
//
// What: a file is a chain of top-level boxes, each a 32-bit big-endian size
// and a four-character type (size 1: a 64-bit size follows; size 0: the box
// runs to the end of the file). The first is `ftyp`, whose major and
// compatible brands say what the file is: `crx ` a CR3 (type Raw, ".cr3"),
// `heic` `heix` `heim` `heis` `hevc` `hevx` HEIC, `avif` `avis` AVIF; the
// general `mif1`/`msf1` (and `miaf`) say only "HEIF", and the coding of its
// pictures decides: an `hvcC` (or `hvc1`/`hev1`) box inside `meta` or `moov`
// is HEVC, a HEIC; an `av1C` (or `av01`) is AV1, an AVIF; neither is not ours.
//
// Where it ends: after the last of the top-level boxes that chain from the
// start. The walk stops at the first place that cannot be a box: a type that
// is not one of the top-level types below, a size under 8 (16 with a 64-bit
// size), anything past maxLen. A known top-level box whose size reaches past
// maxLen, or past the bytes there are, means the file was cut short: not
// whole. A box of size 0 runs to the end of the file, which only a file
// system knows (recognizeIsoMediaFile): in the content search it is no end.
//
// How it is proven: `ftyp` first with a brand of ours, then a `meta` (HEIF)
// or `moov` (image sequences, CR3) and an `mdat`; the boxes inside `meta` and
// `moov` (and their containers down to the sample descriptions) must chain
// exactly to their parent's end, so a random "ftyp" in other data, a bare
// `ftyp`, or a header whose inside was overwritten is no find, and random data
// or zeros after a file are not taken into it (their first four bytes are no
// box type of ours, or zeros).
//
// Limits (and why): `ftyp` at most 4 KiB (a real one lists a handful of
// brands); at most 4096 top-level boxes and 4096 boxes looked at inside the
// headers, 8 levels deep (a grid picture of a few hundred tiles has a few
// hundred); the file at most maxLen (maxPictureSize). A HEIF whose pictures
// lie only in `meta`'s `idat`, with no `mdat`, is not found.
#pragma once
#include <cstddef>
#include <cstdint>

#include "recognizers.h"

namespace qv {

// The ISO media signature, "ftyp", lies this far into its candidate.
constexpr size_t kIsoTypeAt = 4;

// p: a candidate's first kSignatureBytes bytes, an `ftyp` box at p. The
// type its brands name (a `mif1`/`msf1` that names no codec: HEIC when that
// is enabled, else AVIF; the recogniser decides), when any of Raw, Heic and
// Avif is in mask, even if that type is not: its file is then found and
// dropped, and nothing inside it (a CR3's JPEG previews) is found apart.
// -1 when it is no such box or no ISO media type is enabled.
int isoMediaType(const uint8_t* p, unsigned mask);

// The file's own end is known (a file system's record of fileSize bytes):
// a last box of size 0 runs to it.
Recognition recognizeIsoMediaFile(View& v, uint64_t fileSize);

}  // namespace qv
