#include "png_fragments.h"

#include <algorithm>
#include <cstring>

#include "png_chunks.h"
#include "recognizers.h"
#include "signature.h"

namespace qv {
namespace {

// A big picture written into the holes of a full card can lie in a dozen.
constexpr size_t kMaxPieces = 32;
// How far after a piece the next one is looked for: other files written in
// between on a card that filled up.
constexpr uint64_t kMaxGap = 16 << 20;
// A chunk length beyond this is taken for a broken header, not searched.
constexpr uint32_t kMaxChunk = 16 << 20;
// Bytes put through CRCs for one picture before giving up, so that a disk
// full of broken PNGs cannot make the search crawl; and for one break when
// only a header confirms the gap (a truncated picture ends up there).
constexpr uint64_t kBudget = 128 << 20;
constexpr uint64_t kWeakBudget = 16 << 20;

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct Header {
  uint32_t len = 0;
  uint8_t type[4] = {};
  bool is(const char* t) const { return std::memcmp(type, t, 4) == 0; }
};

bool readHeader(View& v, uint64_t pos, Header& h) {
  uint8_t b[8];
  if (!v.read(pos, b, 8)) return false;
  h.len = be32(b);
  std::memcpy(h.type, b + 4, 4);
  return h.len <= kMaxChunk && isPngChunkType(h.type);
}

class Joiner {
 public:
  Joiner(Window& w, uint64_t start)
      : w_(w), maxLen_(std::min(maxPictureSize(PicType::Png), w.size() - start)) {
    pieces_.push_back({0, start});
  }

  PngPieces run() {
    PngPieces none;
    PiecesView v(w_, pieces_);
    uint8_t sig[8];
    if (!v.read(0, sig, 8) || std::memcmp(sig, kSignature, 8) != 0) return none;
    uint64_t q = 8;
    for (;;) {
      uint64_t next = 0;
      Chunk c = check(v, q, next);
      if (c == Chunk::End) break;
      if (c == Chunk::Whole) {
        q = next;
        continue;
      }
      // The IHDR lies in the first sector: a broken one is not a break.
      if (q == 8 || pieces_.size() == kMaxPieces || !nextPiece(q)) return none;
    }
    // The joined picture, read by the recogniser like any other.
    PiecesView joined(w_, pieces_);
    const uint64_t length = recognizePng(joined, maxLen_).length;
    if (!length || pieces_.size() < 2) return none;
    return PngPieces{pieces_, length};
  }

 private:
  enum class Chunk { Whole, End, Broken };

  Chunk check(View& v, uint64_t q, uint64_t& next) {
    Header h;
    if (!readHeader(v, q, h)) return Chunk::Broken;
    next = q + 12 + h.len;
    if (next > maxLen_) return Chunk::Broken;
    spent_ += h.len + 8;
    if (!pngChunkCrcMatches(v, q, h.len)) return Chunk::Broken;
    if (h.is("IEND")) return h.len == 0 ? Chunk::End : Chunk::Broken;
    return Chunk::Whole;
  }

  uint64_t diskOf(uint64_t file) const {
    const FilePiece& p = pieces_.back();
    return p.disk + (file - p.file);
  }

  // The chunk at q does not match: the last piece ends at a sector start b
  // before that chunk's end, and the next piece starts `gap` bytes after
  // it. First looked for where the chunk after q is whole as well (one CRC
  // more proves the gap), then where only its header is sound (the chunk
  // after is itself cut by a further piece).
  bool nextPiece(uint64_t q) {
    Header h;
    PiecesView v(w_, pieces_);
    const bool known = readHeader(v, q, h);
    const uint64_t lo = std::max((q + kSectorSize - 1) / kSectorSize * kSectorSize, pieces_.back().file + kSectorSize);
    const uint64_t hi = known ? q + 12 + h.len : q + 8;
    if (lo >= hi) return false;
    for (bool strong : {true, false}) {
      const uint64_t limit = strong ? kBudget : std::min(kBudget, spent_ + kWeakBudget);
      for (uint64_t gap = kSectorSize; gap <= kMaxGap && diskOf(lo) + gap < w_.size() && spent_ <= limit;
           gap += kSectorSize) {
        // With the header in the last piece, what follows the chunk lies at
        // the same place for every b: one look decides for all of them.
        int followsAfterHeader = -1;
        for (uint64_t b = lo; b < hi; b += kSectorSize) {
          if (spent_ > limit) break;
          trial_ = pieces_;
          trial_.push_back({b, diskOf(b) + gap});
          PiecesView t(w_, trial_);
          if (b >= q + 8) {
            if (followsAfterHeader < 0) followsAfterHeader = follows(t, q, strong);
            if (!followsAfterHeader) break;
          } else if (!follows(t, q, strong)) {
            continue;
          }
          uint64_t next = 0;
          if (check(t, q, next) != Chunk::Broken) {
            pieces_ = trial_;
            return true;
          }
        }
      }
    }
    return false;
  }

  // Does what follows the chunk at q look right: the end, or a chunk that
  // is whole (strong) or at least starts with a sound header?
  bool follows(View& t, uint64_t q, bool strong) {
    Header h, after;
    ++spent_;
    if (!readHeader(t, q, h)) return false;
    if (h.is("IEND")) return true;
    const uint64_t e = q + 12 + h.len;
    if (!readHeader(t, e, after)) return false;
    uint64_t next = 0;
    return !strong || check(t, e, next) != Chunk::Broken;
  }

  Window& w_;
  const uint64_t maxLen_;
  std::vector<FilePiece> pieces_, trial_;
  uint64_t spent_ = 0;
};

}  // namespace

PngPieces findPngPieces(Window& w, uint64_t start) { return Joiner(w, start).run(); }

}  // namespace qv
