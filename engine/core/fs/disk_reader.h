// Small reads anywhere on the disk for the file-system readers: every read
// is checked against the disk's end, and the disk itself is only asked for
// whole aligned blocks (raw disks accept nothing else), a few of which are
// kept, since directory and table reads come close together.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "../source.h"

namespace qv {

class DiskReader {
 public:
  explicit DiskReader(ByteSource& src);
  uint64_t size() const { return size_; }
  // False, and nothing read, if any of the n bytes lies past the disk's end.
  bool read(uint64_t offset, void* buf, size_t n);
  // Whether any of these bytes, read before, could not be read (zeros).
  bool unreadable(uint64_t offset, uint64_t n) const { return src_.unreadable(offset, n); }

  static constexpr size_t kBlock = 64 << 10;

 private:
  struct Block {
    uint64_t start = ~uint64_t(0);
    std::vector<uint8_t> bytes;
  };
  const Block& block(uint64_t start);

  ByteSource& src_;
  const uint64_t size_;
  Block cache_[8];
  unsigned next_ = 0;
};

inline uint64_t le64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

}  // namespace qv
