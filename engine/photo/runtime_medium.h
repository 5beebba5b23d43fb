// The runtime library's device as the disk the engine reads.
#pragma once
#include <atomic>

#include "../core/medium.h"
#include "../runtime/qvrt.h"

namespace qv {

class RuntimeMedium : public Medium {
 public:
  explicit RuntimeMedium(QvDevice* dev) : dev_(dev) {}
  uint64_t size() const override { return qvrt_device_size(dev_); }
  bool read(uint64_t offset, uint8_t* buf, size_t n) override {
    bool gaveUp = false;
    return readSome(offset, buf, n, gaveUp) == n;
  }
  size_t readSome(uint64_t offset, uint8_t* buf, size_t n, bool& gaveUp) override {
    gaveUp = false;
    const size_t got = qvrt_read_some(dev_, offset, buf, n);
    read_ += got;
    return got;
  }
  // Bytes the disk delivered so far.
  uint64_t bytesRead() const { return read_.load(); }

 private:
  QvDevice* dev_;
  std::atomic<uint64_t> read_{0};
};

}  // namespace qv
