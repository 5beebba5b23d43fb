// The sectors of a disk known to be unreadable, as merged ranges, and how
// many they are. Shared by every thread that reads the disk.
#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "lock.h"

namespace qv {

class BadSectors {
 public:
  // Sectors [first, end) read as zeros from now on; how many of them were
  // not known before.
  uint64_t add(uint64_t first, uint64_t end);
  // Sectors [first, end) not bad after all; how many were.
  uint64_t remove(uint64_t first, uint64_t end);
  // The runs, in order.
  std::vector<std::pair<uint64_t, uint64_t>> runs() const;
  // The end of the known-bad run that holds sector, or sector itself if it
  // is not known to be bad.
  uint64_t runEnd(uint64_t sector) const;
  // The first known-bad sector at or after sector; ~0 if there is none.
  uint64_t nextBad(uint64_t sector) const;
  // Any known-bad sector in [first, end).
  bool touches(uint64_t first, uint64_t end) const;
  uint64_t count() const { return count_.load(); }

 private:
  mutable Mutex mu_;
  std::map<uint64_t, uint64_t> runs_;  // first sector -> end, disjoint
  std::atomic<uint64_t> count_{0};
};

}  // namespace qv
