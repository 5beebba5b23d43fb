// A JPEG's picture at an eighth of its size, made from the DC coefficient of
// each block alone: no inverse DCT and no full-sized buffer. A baseline
// JPEG's data is decoded through; a progressive one's first scans alone are
// read when they carry every component's DC.
// For a thumbnail of a photo many times larger than the thumbnail, this is
// a small part of the time and memory of a whole decode.
#pragma once
#include <cstdint>
#include <vector>

#include "view.h"

namespace qv {

struct DcPicture {
  uint32_t width = 0, height = 0;  // an eighth of the picture's, rounded up
  std::vector<uint8_t> rgb;        // red, green, blue a pixel, rows from the top
};

// False for anything but a baseline JPEG of one (grey) or three (YCbCr or
// RGB) components whose data in the first `length` bytes decodes to its end,
// or a progressive one whose first scans are DC scans of every component
// (their low bits held back or not) that decode to their end; a
// progressive JPEG sent another way is left to a whole decode.
// With `partial`, a picture whose data stops fitting part-way gives its
// whole MCU rows before that, the rest grey (false when not one row does).
bool jpegDcPicture(View& v, uint64_t length, DcPicture& out, bool partial = false);

}  // namespace qv
