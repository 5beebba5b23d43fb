// A baseline JPEG in pieces that follow each other on the disk, other files
// between them: a card that filled up and had files deleted writes a photo
// into the holes. The entropy-coded data is decoded MCU by MCU (jpeg_stream);
// where it stops fitting, the piece ended at a sector start a little before,
// and the next piece is the sector start further on from which the data
// decodes on cleanly.
//
// A join is taken only when it is proven:
//  - the data after it decodes without a fault for 2 KiB (random data or
//    free space fails within a few hundred bytes), or to the last MCU with
//    EOI right after it;
//  - the DC values of the first MCU row after it continue the picture: each
//    block against the one above it differs about as little as in the rows
//    before the join (the head of one photo and the tail of another with the
//    same tables decode cleanly, but do not fit together);
//  - no other place does the same: two joins that do not give the same
//    bytes on, and nothing is joined.
// The joined picture must then decode to exactly the MCUs its frame needs,
// restart markers in order, and read whole by the recogniser.
//
// Candidates are tried cluster size first, from 64 KiB down to a sector: a
// break at a multiple of the cluster size, the next piece a multiple further
// on; after the first join the clusters cannot be larger than what divides
// it. The break is looked for up to 16 KiB before the fault, the next piece
// up to 16 MiB after the break. The work is bounded: 96 MiB decoded in trials
// per picture, at most 16 pieces; past that the picture is not joined.
// Progressive JPEGs are not joined.
#pragma once
#include <cstdint>
#include <vector>

#include "pieces_view.h"

namespace qv {

struct JpegPieces {
  std::vector<FilePiece> pieces;  // the first starts at file 0
  uint64_t length = 0;            // the whole picture, 0 if no join was proven
};

// start: a sector start where a JPEG was found whose data does not read
// whole in one piece.
JpegPieces findJpegPieces(Window& w, uint64_t start);

}  // namespace qv
