// One block's share of the search, done on a worker thread ahead of the
// scan: every candidate start in the block and, where the blocks read so far
// reach far enough, what the type's recogniser (and the JPEG data check)
// makes of it. These depend on the disk's bytes alone; what the scan does
// with them (skipping, shadows, joining) stays in order on the scan's thread.
#pragma once
#include <cstdint>
#include <vector>

#include "block_reader.h"
#include "recognizers.h"
#include "signature.h"
#include "types.h"
#include "view.h"

namespace qv {

struct BlockCandidate {
  uint64_t pos;  // where it starts
  PicType type;
  bool known;  // r was worked out; otherwise the scan has to
  Recognition r;
  // How far before the signature that found it it starts: kIsoTypeAt for
  // ISO media ("ftyp" lies there), whose start may lie in the block before
  // (then it is not known, and the scan reads its head).
  uint64_t lead = 0;
};

struct BlockWork {
  uint64_t start = 0, end = 0;  // candidates that start in [start, end)
  uint64_t total = 0;           // the source's size
  // Consecutive blocks from the one at start; they stay unchanged until the
  // work is done.
  std::vector<const Block*> blocks;
  std::vector<BlockCandidate> found;  // in order
};

void searchBlock(BlockWork& w, const StartFinder& finder, unsigned types);

// The bytes of consecutive blocks, counted from start. A read past the last
// block but inside the source returns nothing and marks the view short:
// whatever was made of it then does not count.
class BlocksView : public View {
 public:
  BlocksView(const std::vector<const Block*>& blocks, uint64_t start, uint64_t total)
      : blocks_(blocks), start_(start), total_(total) {}
  const uint8_t* at(uint64_t pos, size_t& avail) override;
  bool ranShort() const { return short_; }

 private:
  const std::vector<const Block*>& blocks_;
  uint64_t start_, total_;
  bool short_ = false;
};

}  // namespace qv
