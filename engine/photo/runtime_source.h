// The runtime library's device as the scanner's byte source.
#pragma once
#include "../core/source.h"
#include "../runtime/qvrt.h"

namespace qv {

class RuntimeSource : public ByteSource {
 public:
  explicit RuntimeSource(QvDevice* dev) : dev_(dev) {}
  uint64_t size() const override { return qvrt_device_size(dev_); }
  void readAt(uint64_t offset, uint8_t* buf, size_t n) override { qvrt_read(dev_, offset, buf, n); }

 private:
  QvDevice* dev_;
};

}  // namespace qv
