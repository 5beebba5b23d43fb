// The runtime library's device as the disk the engine reads.
#pragma once
#include "../core/medium.h"
#include "../runtime/qvrt.h"

namespace qv {

class RuntimeMedium : public Medium {
 public:
  explicit RuntimeMedium(QvDevice* dev) : dev_(dev) {}
  uint64_t size() const override { return qvrt_device_size(dev_); }
  bool read(uint64_t offset, uint8_t* buf, size_t n) override { return qvrt_read(dev_, offset, buf, n) == 0; }
  size_t readSome(uint64_t offset, uint8_t* buf, size_t n) override { return qvrt_read_some(dev_, offset, buf, n); }

 private:
  QvDevice* dev_;
};

}  // namespace qv
