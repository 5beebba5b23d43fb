// libFuzzer target: a file-system reader (QV_FUZZ_FS = readFatVolume,
// readExfatVolume or readNtfsVolume) over a sparse disk (sparse_disk.h), or
// with QV_FUZZ_RECORDS the whole record pass: partition table, every reader
// and the check and hand-over of each picture. Records must describe data
// inside the disk, and what is handed on is a whole picture of its type, or
// one marked damaged that starts as its type does.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fs/exfat.h"
#include "fs/fat.h"
#include "fs/file_view.h"
#include "fs/ntfs.h"
#include "fs/record_pass.h"
#include "iso_media.h"
#include "recognizers.h"
#include "signature.h"
#include "sparse_disk.h"

namespace {

class CheckSink : public qv::FindSink {
 public:
  explicit CheckSink(uint64_t size) : size_(size) {}
  void onFind(const qv::Find& f, qv::View& data) override {
    if (f.offset >= size_ || f.length == 0 || f.name.empty()) __builtin_trap();
    std::vector<uint8_t> bytes(f.length);
    if (!data.read(0, bytes.data(), bytes.size())) __builtin_trap();
    qv::MemoryView v(bytes.data(), bytes.size());
    if (f.damaged) {
      if (f.decodes < -1 || f.decodes > 100) __builtin_trap();
      uint8_t head[qv::kSignatureBytes] = {};
      for (size_t i = 0; i < sizeof head && i < bytes.size(); ++i) head[i] = bytes[i];
      int t = qv::candidateType(head, qv::kAllTypes);
      if (t < 0) t = qv::isoMediaType(head, qv::kAllTypes);
      if (t != int(f.type) && !(f.type == qv::PicType::Raw && (t == int(qv::PicType::Tif) || t == int(qv::PicType::Raw))))
        __builtin_trap();
      return;
    }
    if (!qv::recognize(f.type, v, f.length).length) __builtin_trap();
  }

 private:
  uint64_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qvfuzz::SparseDisk src(data, size);
#ifdef QV_FUZZ_RECORDS
  CheckSink sink(src.size());
  qv::writeRecordedPictures(src, qv::kAllTypes, sink);
#else
  qv::DiskReader disk(src);
  unsigned records = 0;
  qv::QV_FUZZ_FS(disk, qv::Volume{0, src.size()}, [&](qv::FileRecord&& r) {
    if (++records > 64) return;
    for (const qv::Extent& e : r.extents)
      if (!e.sparse && (e.offset > src.size() || e.length > src.size() - e.offset)) __builtin_trap();
    // Read (the start of) each file as the record pass would.
    qv::FileView view(disk, r);
    uint8_t buf[4096];
    const uint64_t n = r.size < 64 * 1024 ? r.size : 64 * 1024;
    for (uint64_t pos = 0; pos < n; pos += sizeof buf) view.read(pos, buf, size_t(n - pos < sizeof buf ? n - pos : sizeof buf));
  });
#endif
  return 0;
}
