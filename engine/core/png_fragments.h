// A PNG in pieces. Every chunk of a PNG carries a CRC of its type and data,
// so where a chunk stops matching its CRC the file went on elsewhere: the
// next piece is the cluster run that, put after the first, makes that chunk
// match its CRC and is followed by a sound chunk header. A CRC matching by
// chance is a one in four billion event, so a join found this way is proven.
#pragma once
#include <cstdint>
#include <vector>

#include "pieces_view.h"

namespace qv {

struct PngPieces {
  std::vector<FilePiece> pieces;  // the first starts at file 0
  uint64_t length = 0;            // the whole picture, 0 if no join was proven
};

// start: a sector start where a PNG signature was found but the picture
// does not read whole in one piece. Pieces follow each other on the disk,
// each starting on a sector start, up to 32 of them.
PngPieces findPngPieces(Window& w, uint64_t start);

}  // namespace qv
