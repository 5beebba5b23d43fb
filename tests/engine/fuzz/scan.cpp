// libFuzzer target: the whole scanner (signature filter, recognisers, the
// window over blocks, joining of two-piece JPEGs) over a small disk: pieces
// of the input on sector boundaries (sector_layout.h), so one input holds
// several pictures and garbage between them. The same disk is searched with
// one thread and with several, which must find exactly the same.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "recognizers.h"
#include "scanner.h"
#include "sector_layout.h"

namespace {
class CheckSink : public qv::FindSink {
 public:
  explicit CheckSink(size_t size) : size_(size) {}
  void onFind(const qv::Find& f, qv::View& data) override {
    if (f.offset >= size_ || f.length == 0) __builtin_trap();
    // Finds come in disk order, each one once.
    if (any_ && f.offset <= last_) __builtin_trap();
    any_ = true;
    last_ = f.offset;
    std::vector<uint8_t> bytes(f.length);
    if (!data.read(0, bytes.data(), bytes.size())) __builtin_trap();
    // What gets written is a whole picture of its type, exactly; a JPEG may
    // be followed directly by further JPEGs of the same file (a camera's
    // preview after the main image).
    uint64_t at = 0;
    do {
      qv::MemoryView rest(bytes.data() + at, bytes.size() - at);
      const uint64_t length = qv::recognize(f.type, rest, f.length - at).length;
      if (length == 0) __builtin_trap();
      at += length;
    } while (f.type == qv::PicType::Jpg && at < f.length);
    if (at != f.length) __builtin_trap();
    finds.push_back({f.offset, f.length, uint64_t(f.type), std::move(bytes)});
  }
  struct Seen {
    uint64_t offset, length, type;
    std::vector<uint8_t> bytes;
    bool operator==(const Seen& o) const {
      return offset == o.offset && length == o.length && type == o.type && bytes == o.bytes;
    }
  };
  std::vector<Seen> finds;

 private:
  size_t size_;
  bool any_ = false;
  uint64_t last_ = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> disk = qvfuzz::layOutInSectors(data, size);
  const size_t diskSize = disk.size();
  qv::MemorySource src(std::move(disk));
  qv::ScanOptions opts;
  opts.threads = 1;
  // Small blocks and little held data: far look-ups and block edges happen
  // inside small inputs.
  opts.blockSize = 4096;
  opts.readAhead = 2;
  opts.maxHold = 8192;
  CheckSink sink(diskSize);
  qv::scan(src, opts, sink);
  // Several threads, with so little read ahead that some candidates are
  // checked ahead and some again in order.
  opts.threads = 3;
  opts.checkAhead = 2048;
  CheckSink threaded(diskSize);
  qv::scan(src, opts, threaded);
  if (!(threaded.finds == sink.finds)) __builtin_trap();
  return 0;
}
