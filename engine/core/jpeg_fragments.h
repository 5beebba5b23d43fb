// A baseline JPEG in pieces that follow each other on the disk, other files
// between them: a card that filled up and had files deleted writes a photo
// into the holes. The entropy-coded data is decoded MCU by MCU (jpeg_stream);
// where it stops fitting, the piece ended at a sector start a little before,
// and the next piece is the sector start further on from which the data
// decodes on cleanly.
//
// A join is a candidate only when
//  - the bytes there can be entropy-coded data at all (checked before any
//    decoding: most places on a disk fail at once);
//  - the data decodes on across it without a fault for 2 KiB, or to the
//    last MCU with EOI right after it (random data and free space fail
//    within a few hundred bytes);
//  - the DC values of the MCU row after it continue the picture: each MCU
//    against the one above differs about as much as in the rows before the
//    join, within 1.5 times either way (the head of one photo and the tail
//    of another with the same tables decode cleanly, but do not fit).
// Candidates that a larger cluster size allows go first, then the best
// fitting; if the picture does not end right from there, the next is tried.
// The joined picture must decode to exactly the MCUs its frame needs,
// restart markers in order, EOI after them, read whole by the recogniser,
// and turn markedly rougher nowhere.
//
// Where the break lies: up to 2 KiB before the fault, or up to 8 KiB before
// where the picture turned rough when data from elsewhere decoded cleanly
// for a while. The next piece: up to 16 MiB after the break (4096 clusters
// on clusters under 4 KiB); after the first join only the cluster sizes it
// allows. Bounds on the work per picture: 16 MiB decoded or looked at (less
// when the caller says so), 64 candidates per break, 4 of them tried, 24
// joins tried in all, 16 pieces.
// Not joined: progressive JPEGs, breaks in the headers, pieces shorter than
// 2 KiB.
#pragma once
#include <cstdint>
#include <vector>

#include "pieces_view.h"

namespace qv {

struct JpegPieces {
  std::vector<FilePiece> pieces;  // the first starts at file 0
  uint64_t length = 0;            // the whole picture, 0 if no join was proven
};

// Work (bytes decoded, in trials or not, or looked at) one picture may take.
constexpr uint64_t kJpegJoinBudget = 16 << 20;

// start: a sector start where a JPEG was found whose data does not read
// whole in one piece. At most `budget` bytes of work; the work done is added
// to *spent.
JpegPieces findJpegPieces(Window& w, uint64_t start, uint64_t budget = kJpegJoinBudget, uint64_t* spent = nullptr);

}  // namespace qv
