#include "disk_reader.h"

#include <algorithm>
#include <cstring>

namespace qv {

DiskReader::DiskReader(ByteSource& src) : src_(src), size_(src.size()) {}

const DiskReader::Block& DiskReader::block(uint64_t start) {
  for (const Block& b : cache_)
    if (b.start == start) return b;
  Block& b = cache_[next_];
  next_ = (next_ + 1) % (sizeof cache_ / sizeof cache_[0]);
  b.bytes.resize(size_t(std::min<uint64_t>(kBlock, size_ - start)));
  src_.readAt(start, b.bytes.data(), b.bytes.size());
  b.start = start;
  return b;
}

bool DiskReader::read(uint64_t offset, void* buf, size_t n) {
  if (offset > size_ || n > size_ - offset) return false;
  auto* out = static_cast<uint8_t*>(buf);
  while (n) {
    const uint64_t start = offset / kBlock * kBlock;
    const Block& b = block(start);
    const size_t within = size_t(offset - start);
    const size_t k = std::min(n, b.bytes.size() - within);
    std::memcpy(out, b.bytes.data() + within, k);
    out += k;
    offset += k;
    n -= k;
  }
  return true;
}

}  // namespace qv
