#include "careful_source.h"

#include <algorithm>
#include <cstring>

namespace qv {

void CarefulSource::readAt(uint64_t offset, uint8_t* buf, size_t n) {
  if (!n) return;
  const uint64_t first = offset / kSector, end = (offset + n + kSector - 1) / kSector;
  unsigned failures = 0;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (first == stretchEnd_) failures = stretchFailures_;
  }
  if (!failures && !bad_.touches(first, end) && medium_.read(offset, buf, n)) return;
  bySector(offset, buf, n, failures);
}

uint64_t CarefulSource::skipAfter(unsigned failures) {
  if (failures < kFailuresBeforeSkipping) return 1;
  unsigned doublings = failures - kFailuresBeforeSkipping + 1;
  return doublings >= 12 ? kMaxSkipSectors : std::min<uint64_t>(uint64_t(1) << doublings, kMaxSkipSectors);
}

void CarefulSource::bySector(uint64_t offset, uint8_t* buf, size_t n, unsigned failures) {
  const uint64_t stop = offset + n;
  uint64_t pos = offset;
  while (pos < stop) {
    const uint64_t sector = pos / kSector;
    const uint64_t known = bad_.runEnd(sector);
    uint64_t zeroUntil = 0;
    if (known > sector) {
      zeroUntil = known;
    } else {
      const uint64_t len = std::min((sector + 1) * kSector, stop) - pos;
      if (medium_.read(pos, buf + (pos - offset), size_t(len))) {
        pos += len;
        failures = 0;
        continue;
      }
      // Within the request only: what lies beyond is another read's.
      ++failures;
      zeroUntil = std::min(sector + skipAfter(failures), (stop + kSector - 1) / kSector);
      bad_.add(sector, zeroUntil);
    }
    const uint64_t to = std::min(zeroUntil * kSector, stop);
    std::memset(buf + (pos - offset), 0, size_t(to - pos));
    pos = to;
  }
  std::lock_guard<std::mutex> lock(mu_);
  if (failures && stop % kSector == 0) {
    stretchEnd_ = stop / kSector;
    stretchFailures_ = failures;
  } else if (stretchEnd_ <= stop / kSector && stretchEnd_ >= offset / kSector) {
    stretchEnd_ = ~uint64_t(0);
  }
}

}  // namespace qv
