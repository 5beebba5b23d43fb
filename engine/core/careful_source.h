// A failing disk read at the least cost. As much as possible is read at
// once; a read that fails is narrowed down by halves to the first sector
// that does not read (a disk that says how far it got saves the halving),
// so one bad sector costs about log2(sectors) short attempts, not one read
// per sector. After a few unreadable sectors in a row the next attempt
// skips ahead, twice as far after each further failure, so a dead stretch
// costs a few dozen attempts. Every sector that is not read comes back as
// zeros and is counted, and a sector known to be bad is never tried again.
// A read the disk did not answer in time (time_limited_medium.h) is not
// narrowed down, which would wait as long again for each half: its whole
// range is given up, counted apart, and the next read starts as at the
// edge of a bad stretch.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "bad_sectors.h"
#include "lock.h"
#include "medium.h"
#include "source.h"

namespace qv {

class CarefulSource : public ByteSource {
 public:
  static constexpr uint64_t kSector = 512;
  // The furthest skip: readable data lost behind the end of a bad stretch
  // is at most this much.
  static constexpr uint64_t kMaxSkipSectors = 4096;
  // Failures in a row that are still tried one sector at a time.
  static constexpr unsigned kFailuresBeforeSkipping = 8;

  explicit CarefulSource(Medium& m) : medium_(m) {}
  uint64_t size() const override { return medium_.size(); }
  void readAt(uint64_t offset, uint8_t* buf, size_t n) override;
  bool unreadable(uint64_t offset, uint64_t n) const override {
    return n && bad_.touches(offset / kSector, (offset + n + kSector - 1) / kSector);
  }

  // Sectors read as zeros so far; may be read from any thread at any time.
  uint64_t unreadableSectors() const { return bad_.count(); }
  // After the search: each stretch skipped without being tried is read
  // again from its far end backwards, until a read fails again; what
  // reads is no longer unreadable. The byte ranges won back, in order.
  std::vector<std::pair<uint64_t, uint64_t>> readBack();
  // Sectors skipped without being tried, still unreadable.
  uint64_t skippedSectors() const { return skipped_.count(); }
  // The unreadable sectors as ranges [first, end), in order, and of them
  // those skipped without being tried.
  std::vector<std::pair<uint64_t, uint64_t>> unreadableRuns() const { return bad_.runs(); }
  std::vector<std::pair<uint64_t, uint64_t>> skippedRuns() const { return skipped_.runs(); }
  // Of them, those in reads the disk did not answer in time, as ranges.
  std::vector<std::pair<uint64_t, uint64_t>> givenUpRuns() const { return givenUpRuns_.runs(); }
  // Of them, those in reads the disk did not answer in time.
  uint64_t givenUpSectors() const { return givenUp_.load(); }

 private:
  // [pos, stop) read as well as it can be; failures: unreadable sectors in
  // a row right before pos.
  void carefully(uint64_t offset, uint8_t* buf, uint64_t pos, uint64_t stop, unsigned failures);
  // Bytes read from pos on, in whole sectors unless the read reached stop;
  // gaveUp as Medium::readSome's.
  uint64_t readFrom(uint64_t offset, uint8_t* buf, uint64_t pos, uint64_t stop, bool& gaveUp);
  static uint64_t skipAfter(unsigned failures);

  Medium& medium_;
  BadSectors bad_;
  BadSectors skipped_;  // of bad_, those never tried
  std::atomic<uint64_t> givenUp_{0};
  BadSectors givenUpRuns_;
  // Where the last bad stretch ended and how many failures in a row led up
  // to it: a read that goes on from there keeps the pace.
  Mutex mu_;
  uint64_t stretchEnd_ = ~uint64_t(0);
  unsigned stretchFailures_ = 0;
};

}  // namespace qv
