// Lays fuzz input out as a disk of mostly zeros: the input is a list of
// sectors, each a 4-byte little-endian sector number followed by its 512
// bytes. File systems put their boot sectors, tables, directories and
// records far apart; this way an input of a few kilobytes holds a whole
// small volume, and the mutations hit what the readers read.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

#include "source.h"

namespace qvfuzz {

constexpr size_t kSector = 512;
// Sector numbers wrap at this disk size.
constexpr uint64_t kMaxDiskSectors = uint64_t(1) << 17;  // 64 MiB

class SparseDisk : public qv::ByteSource {
 public:
  SparseDisk(const uint8_t* data, size_t size) {
    uint64_t last = 0;
    for (size_t i = 0; i + 4 + kSector <= size; i += 4 + kSector) {
      uint32_t n = uint32_t(data[i]) | uint32_t(data[i + 1]) << 8 | uint32_t(data[i + 2]) << 16 |
                   uint32_t(data[i + 3]) << 24;
      n %= kMaxDiskSectors;
      sectors_[n].assign(data + i + 4, data + i + 4 + kSector);
      last = n > last ? n : last;
    }
    // Room after the last sector given, as a volume has.
    size_ = (last + 1) * kSector + (1 << 20);
  }
  uint64_t size() const override { return size_; }
  void readAt(uint64_t offset, uint8_t* buf, size_t n) override {
    std::memset(buf, 0, n);
    auto it = sectors_.lower_bound(offset / kSector);
    for (; it != sectors_.end() && it->first * kSector < offset + n; ++it) {
      const uint64_t at = it->first * kSector;
      const uint64_t from = at > offset ? at : offset;
      const uint64_t to = at + kSector < offset + n ? at + kSector : offset + n;
      std::memcpy(buf + (from - offset), it->second.data() + (from - at), size_t(to - from));
    }
  }

 private:
  std::map<uint64_t, std::vector<uint8_t>> sectors_;
  uint64_t size_ = 0;
};

}  // namespace qvfuzz
