#include "careful_source.h"

#include <algorithm>
#include <cstring>

namespace qv {

void CarefulSource::readAt(uint64_t offset, uint8_t* buf, size_t n) {
  if (!n) return;
  unsigned failures = 0;
  {
    std::lock_guard<Mutex> lock(mu_);
    if (offset / kSector == stretchEnd_ && offset % kSector == 0) failures = stretchFailures_;
  }
  carefully(offset, buf, offset, offset + n, failures);
}

uint64_t CarefulSource::skipAfter(unsigned failures) {
  if (failures < kFailuresBeforeSkipping) return 1;
  unsigned doublings = failures - kFailuresBeforeSkipping + 1;
  return doublings >= 12 ? kMaxSkipSectors : std::min<uint64_t>(uint64_t(1) << doublings, kMaxSkipSectors);
}

uint64_t CarefulSource::readFrom(uint64_t offset, uint8_t* buf, uint64_t pos, uint64_t stop, bool& gaveUp) {
  const size_t n = size_t(stop - pos);
  const size_t got = std::min(medium_.readSome(pos, buf + (pos - offset), n, gaveUp), n);
  if (got == n) return n;
  // A part of a sector is no sign that the sector reads.
  const uint64_t end = (pos + got) / kSector * kSector;
  return end > pos ? end - pos : 0;
}

void CarefulSource::carefully(uint64_t offset, uint8_t* buf, uint64_t pos, const uint64_t stop, unsigned failures) {
  const uint64_t stopSector = (stop + kSector - 1) / kSector;
  auto zero = [&](uint64_t untilSector) {
    const uint64_t to = std::min(untilSector * kSector, stop);
    std::memset(buf + (pos - offset), 0, size_t(to - pos));
    pos = to;
  };
  bool gaveUp = false;
  // The disk did not answer a read of [pos, end) in time: all of it is
  // given up, and more ahead when it keeps not answering.
  auto giveUp = [&](uint64_t end) {
    failures = std::max(failures + 1, kFailuresBeforeSkipping);
    const uint64_t from = pos / kSector;
    const uint64_t until = std::min(std::max((end + kSector - 1) / kSector, from + skipAfter(failures)), stopSector);
    givenUp_ += bad_.add(from, until);
    givenUpRuns_.add(from, until);
    zero(until);
  };
  while (pos < stop) {
    const uint64_t sector = pos / kSector;
    const uint64_t known = bad_.runEnd(sector);
    if (known > sector) {
      zero(known);
      continue;
    }
    if (failures) {
      // At the edge of a bad stretch: one sector at a time, further apart
      // the longer the stretch goes on.
      const uint64_t end = std::min((sector + 1) * kSector, stop);
      if (readFrom(offset, buf, pos, end, gaveUp) == end - pos) {
        pos = end;
        failures = 0;
        continue;
      }
      if (gaveUp) {
        giveUp(end);
        continue;
      }
      ++failures;
      const uint64_t until = std::min(sector + skipAfter(failures), stopSector);
      bad_.add(sector, until);
      skipped_.add(sector + 1, until);
      zero(until);
      continue;
    }
    // Everything up to the next sector known to be bad in one read.
    const uint64_t nextBad = bad_.nextBad(sector);
    const uint64_t limit = nextBad < stopSector ? nextBad * kSector : stop;
    const uint64_t got = readFrom(offset, buf, pos, limit, gaveUp);
    pos += got;
    if (pos == limit || got) continue;
    if (gaveUp) {
      giveUp(limit);
      continue;
    }
    // [pos, failEnd) does not read: halve it, keeping what reads, until
    // the sector that does not is found.
    uint64_t failEnd = limit;
    while (failEnd - pos > kSector && (failEnd - 1) / kSector > pos / kSector) {
      const uint64_t mid = std::min((pos / kSector + ((failEnd + kSector - 1) / kSector - pos / kSector) / 2) * kSector, stop);
      const uint64_t half = readFrom(offset, buf, pos, mid, gaveUp);
      if (pos + half < mid) failEnd = mid;
      pos += half;
      if (gaveUp) break;
    }
    if (gaveUp) {
      giveUp(failEnd);
      continue;
    }
    const uint64_t bad = pos / kSector;
    bad_.add(bad, bad + 1);
    zero(bad + 1);
    failures = 1;
  }
  std::lock_guard<Mutex> lock(mu_);
  if (failures && stop % kSector == 0) {
    stretchEnd_ = stop / kSector;
    stretchFailures_ = failures;
  } else if (stretchEnd_ <= stop / kSector && stretchEnd_ >= offset / kSector) {
    stretchEnd_ = ~uint64_t(0);
  }
}

std::vector<std::pair<uint64_t, uint64_t>> CarefulSource::readBack() {
  std::vector<std::pair<uint64_t, uint64_t>> won;
  const uint64_t sectors = (size() + kSector - 1) / kSector;
  std::vector<uint8_t> buf(8 * kSector);
  for (const auto& run : skipped_.runs()) {
    uint64_t pos = std::min(run.second, sectors);
    while (pos > run.first) {
      // A few sectors at a time; where that fails, one at a time.
      const uint64_t from = pos - std::min<uint64_t>(8, pos - run.first);
      auto readable = [&](uint64_t a, uint64_t b) {
        bool gaveUp = false;
        const uint64_t end = std::min(b * kSector, size());
        return medium_.readSome(a * kSector, buf.data(), size_t(end - a * kSector), gaveUp) == end - a * kSector;
      };
      if (readable(from, pos)) {
        pos = from;
        continue;
      }
      while (pos > from && readable(pos - 1, pos)) --pos;
      // The sector that failed was tried: unreadable, no longer skipped.
      if (pos > from) skipped_.remove(pos - 1, pos);
      break;
    }
    if (pos == run.second) continue;
    skipped_.remove(pos, run.second);
    bad_.remove(pos, run.second);
    won.emplace_back(pos * kSector, std::min(run.second * kSector, size()));
  }
  return won;
}

}  // namespace qv
