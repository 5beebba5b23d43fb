// A picture found by its contents whose data stops checking out part-way
// (cut short, partly overwritten, its rest lost or elsewhere) is written
// up to where its good part ends, marked damaged, when that part is
// certainly the picture's own:
//  - JPEG (baseline): the end of its last whole MCU row that decodes, no
//    run of zero bytes in it (jpegGoodRows), when at least kMinJpegRows
//    rows and kMinJpegMcus MCUs decode. With its share of the rows.
//    Random data after a real picture's headers decodes by chance for a
//    few MCUs before a code, a block or a DC value stops fitting: in
//    220,000 trials with the headers of eleven test pictures, half
//    decoded none or one, one in a thousand more than 20, the most 53 (a
//    grey picture, one block an MCU), each MCU further about 0.7 times as
//    likely as the one before. (Random bytes after a start marker almost
//    never even give headers.) 4 rows and 128 MCUs keep it out by a
//    margin of many orders, and are still a thin strip of any photo (a
//    640-pixel-wide one has 40 MCUs a row); smaller pictures, thumbnails
//    mostly, are not written damaged.
//  - PNG: the end of its last whole chunk, once a whole IDAT has come: every
//    chunk up to there matched its CRC, which chance does not.
//  - GIF: the end of its last whole frame: its sub-blocks end, its codes
//    check and stand for every pixel of the frame.
// Progressive JPEGs are not (their scans cannot be cut by rows), nor BMP,
// TIFF, camera RAW, HEIC, AVIF and WebP: nothing in their data tells their
// own bytes from foreign ones, so no part of a broken one is certainly
// theirs. The share is known for a JPEG only.
#pragma once
#include <cstdint>

#include "types.h"
#include "view.h"

namespace qv {

constexpr uint32_t kMinJpegRows = 4;
constexpr uint32_t kMinJpegMcus = 128;

struct DamagedPart {
  uint64_t length = 0;  // bytes from the start to write; 0: nothing worth writing
  int decodes = -1;     // percent of the picture that decodes; -1: not known
};

// v: a candidate of type t that is not whole; maxLen: its type's bound.
DamagedPart damagedPart(PicType t, View& v, uint64_t maxLen);

}  // namespace qv
