// libFuzzer target: the whole scanner (signature filter, recognisers, the
// window over blocks, joining of two-piece JPEGs) over a small disk: pieces
// of the input on sector boundaries (sector_layout.h), so one input holds
// several pictures and garbage between them. What is handed on is a whole
// picture, or one marked damaged that is exactly its own good part. The
// same disk is searched with one thread and with several, which must find
// exactly the same.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "damaged_part.h"
#include "recognizers.h"
#include "scanner.h"
#include "signature.h"
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
    if (f.damaged) {
      checkDamaged(f, bytes);
    } else {
      checkWhole(f, bytes);
    }
    finds.push_back({f.offset, f.length, uint64_t(f.type), f.damaged, f.decodes, std::move(bytes)});
  }
  struct Seen {
    uint64_t offset, length, type;
    bool damaged;
    int decodes;
    std::vector<uint8_t> bytes;
    bool operator==(const Seen& o) const {
      return offset == o.offset && length == o.length && type == o.type && damaged == o.damaged &&
             decodes == o.decodes && bytes == o.bytes;
    }
  };
  std::vector<Seen> finds;

 private:
  // What a damaged find promises: it starts as its type does, is not whole
  // (a whole picture is never marked damaged), and is exactly its own good
  // part: decoded again on its own bytes it ends where it was cut, at a
  // row, chunk or frame boundary, with the same share (a JPEG's in 0 to
  // 100, unknown for the others).
  static void checkDamaged(const qv::Find& f, const std::vector<uint8_t>& bytes) {
    if (f.type != qv::PicType::Jpg && f.type != qv::PicType::Png && f.type != qv::PicType::Gif) __builtin_trap();
    uint8_t head[qv::kSignatureBytes] = {};
    std::copy(bytes.begin(), bytes.begin() + long(std::min(bytes.size(), sizeof head)), head);
    if (qv::candidateType(head, qv::typeBit(f.type)) != int(f.type)) __builtin_trap();
    qv::MemoryView whole(bytes.data(), bytes.size());
    if (qv::recognize(f.type, whole, f.length).length != 0) __builtin_trap();
    qv::MemoryView again(bytes.data(), bytes.size());
    const qv::DamagedPart part = qv::damagedPart(f.type, again, f.length);
    if (part.length != f.length || part.decodes != f.decodes) __builtin_trap();
    if (f.type == qv::PicType::Jpg ? f.decodes < 0 || f.decodes > 100 : f.decodes != -1) __builtin_trap();
  }

  static void checkWhole(const qv::Find& f, const std::vector<uint8_t>& bytes) {
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
  }

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
