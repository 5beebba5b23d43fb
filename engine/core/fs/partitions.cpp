#include "partitions.h"

#include <algorithm>
#include <set>
#include <string_view>

#include "../view.h"

namespace qv {
namespace {

constexpr uint64_t kLba = 512;
constexpr unsigned kMaxLogical = 256;
constexpr uint32_t kMaxGptEntries = 1024;

bool isExtended(uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

class Partitions {
 public:
  explicit Partitions(DiskReader& disk) : disk_(disk) {}

  std::vector<Volume> find() {
    add(0, disk_.size());
    uint8_t mbr[512];
    if (!disk_.read(0, mbr, sizeof mbr) || mbr[510] != 0x55 || mbr[511] != 0xAA) return found_;
    for (int i = 0; i < 4; ++i) {
      const uint8_t* e = mbr + 446 + 16 * i;
      if (e[0] != 0 && e[0] != 0x80) return found_;  // boot code, not a table
    }
    for (int i = 0; i < 4; ++i) {
      const uint8_t* e = mbr + 446 + 16 * i;
      const uint8_t type = e[4];
      const uint64_t start = le32(e + 8), count = le32(e + 12);
      if (type == 0xEE) {
        gpt();
      } else if (isExtended(type)) {
        logical(start);
      } else if (type) {
        add(start * kLba, count * kLba);
      }
    }
    return found_;
  }

 private:
  void add(uint64_t offset, uint64_t size) {
    if (offset >= disk_.size()) return;
    size = std::min(size, disk_.size() - offset);
    if (size < kLba) return;
    for (const Volume& v : found_)
      if (v.offset == offset) return;
    found_.push_back(Volume{offset, size});
  }

  // The chain of extended boot records: each holds one logical partition,
  // relative to itself, and the next record, relative to the extended
  // partition's start.
  void logical(uint64_t extStart) {
    std::set<uint64_t> seen;
    uint64_t ebr = extStart;
    for (unsigned n = 0; n < kMaxLogical && seen.insert(ebr).second; ++n) {
      uint8_t s[512];
      if (!disk_.read(ebr * kLba, s, sizeof s) || s[510] != 0x55 || s[511] != 0xAA) return;
      const uint8_t* part = s + 446;
      const uint8_t* next = s + 462;
      if (part[4] && !isExtended(part[4])) add((ebr + le32(part + 8)) * kLba, uint64_t(le32(part + 12)) * kLba);
      if (!isExtended(next[4]) || !le32(next + 8)) return;
      ebr = extStart + le32(next + 8);
    }
  }

  void gpt() {
    // The header is in the disk's second sector, of 512 or 4096 bytes.
    for (uint64_t sector : {uint64_t(512), uint64_t(4096)}) {
      uint8_t h[92];
      if (!disk_.read(sector, h, sizeof h) || std::string_view(reinterpret_cast<char*>(h), 8) != "EFI PART")
        continue;
      const uint64_t entriesAt = le64(h + 72);
      const uint32_t count = std::min(le32(h + 80), kMaxGptEntries);
      const uint32_t entrySize = le32(h + 84);
      if (entrySize < 128 || entrySize % 128 || entrySize > 4096 || entriesAt > disk_.size() / sector) return;
      for (uint32_t i = 0; i < count; ++i) {
        uint8_t e[128];
        if (!disk_.read(entriesAt * sector + uint64_t(i) * entrySize, e, sizeof e)) return;
        bool used = false;
        for (int k = 0; k < 16; ++k) used = used || e[k];
        const uint64_t first = le64(e + 32), last = le64(e + 40);
        if (used && last >= first && first < disk_.size() / sector)
          add(first * sector, std::min(last - first + 1, disk_.size() / sector - first) * sector);
      }
      return;
    }
  }

  DiskReader& disk_;
  std::vector<Volume> found_;
};

}  // namespace

std::vector<Volume> findVolumes(DiskReader& disk) { return Partitions(disk).find(); }

}  // namespace qv
