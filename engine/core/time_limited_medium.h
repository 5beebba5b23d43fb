// A disk whose reads are given up when they do not come back in time. A
// failing card may hang in one read for half a minute, and a device may
// ignore cancelling, so every read runs on a reader thread of its own
// (kept for the next read once it is back); one that is not back within the
// limit is left behind, it and its buffer, and the read fails at once, so
// the search goes on past it. The caller's buffer is filled only by a read
// that came back in time.
#pragma once
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "lock.h"
#include "medium.h"

namespace qv {

class TimeLimitedMedium : public Medium {
 public:
  // inner must stay open while a read left behind may still be in it:
  // abandonedReads() is 0 once the search is over, or the program ends.
  TimeLimitedMedium(Medium& inner, std::chrono::milliseconds limit);
  ~TimeLimitedMedium() override;
  TimeLimitedMedium(const TimeLimitedMedium&) = delete;
  TimeLimitedMedium& operator=(const TimeLimitedMedium&) = delete;

  uint64_t size() const override { return inner_.size(); }
  bool read(uint64_t offset, uint8_t* buf, size_t n) override {
    bool gaveUp = false;
    return readSome(offset, buf, n, gaveUp) == n;
  }
  size_t readSome(uint64_t offset, uint8_t* buf, size_t n, bool& gaveUp) override;

  // Reads given up so far, and the bytes they asked for.
  uint64_t givenUpReads() const { return givenUpReads_.load(); }
  uint64_t givenUpBytes() const { return givenUpBytes_.load(); }
  // Reads given up that have not come back yet.
  uint64_t abandonedReads() const;

  struct Reader;

 private:
  std::shared_ptr<Reader> idleReader();

  Medium& inner_;
  const std::chrono::milliseconds limit_;
  Mutex mu_;
  std::vector<std::shared_ptr<Reader>> idle_;
  std::vector<std::shared_ptr<Reader>> abandoned_;
  std::atomic<uint64_t> givenUpReads_{0}, givenUpBytes_{0};
};

}  // namespace qv
