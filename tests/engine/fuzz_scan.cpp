// libFuzzer target: the whole scanner (signature filter, recognisers, the
// window over blocks, joining of two-piece JPEGs) over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scanner.h"

namespace {
class CheckSink : public qv::FindSink {
 public:
  explicit CheckSink(size_t size) : size_(size) {}
  void onFind(const qv::Find& f, qv::View& data) override {
    if (f.offset >= size_ || f.length == 0) __builtin_trap();
    std::vector<uint8_t> bytes(f.length);
    if (!data.read(0, bytes.data(), bytes.size())) __builtin_trap();
  }

 private:
  size_t size_;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::MemorySource src(std::vector<uint8_t>(data, data + size));
  qv::ScanOptions opts;
  opts.blockSize = 4096;
  opts.readAhead = 2;
  opts.maxHold = 8192;
  CheckSink sink(size);
  qv::scan(src, opts, sink);
  return 0;
}
