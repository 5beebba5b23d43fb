#include "file_view.h"

#include <algorithm>
#include <cstring>

namespace qv {

const uint8_t* FileView::at(uint64_t pos, size_t& avail) {
  if (pos >= file_.size) return nullptr;
  if (file_.residentAt) {
    if (pos >= file_.resident.size()) return nullptr;
    avail = size_t(file_.resident.size() - pos);
    return file_.resident.data() + pos;
  }
  const uint64_t start = pos / kChunk * kChunk;
  Chunk* hit = nullptr;
  for (Chunk& c : chunks_)
    if (c.start == start) hit = &c;
  if (!hit) {
    hit = &chunks_[next_];
    next_ = (next_ + 1) % 4;
    fill(*hit, start);
  }
  if (pos - start >= hit->bytes.size()) return nullptr;
  avail = size_t(hit->bytes.size() - (pos - start));
  return hit->bytes.data() + (pos - start);
}

// Unreadable or missing parts (extents shorter than the size, a read past
// the disk's end) end the chunk there: the file is then shorter than its
// record says, and no picture.
void FileView::fill(Chunk& c, uint64_t start) {
  c.start = start;
  const uint64_t want = std::min<uint64_t>(kChunk, file_.size - start);
  c.bytes.resize(size_t(want));
  size_t have = 0;
  uint64_t extentStart = 0;
  for (const Extent& e : file_.extents) {
    if (have == want) break;
    const uint64_t pos = start + have;
    if (pos < extentStart + e.length) {
      const uint64_t within = pos - extentStart;
      const size_t k = size_t(std::min<uint64_t>(want - have, e.length - within));
      if (e.sparse)
        std::memset(c.bytes.data() + have, 0, k);
      else if (!disk_.read(e.offset + within, c.bytes.data() + have, k))
        break;
      have += k;
    }
    extentStart += e.length;
  }
  c.bytes.resize(have);
}

}  // namespace qv
