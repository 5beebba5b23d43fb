#include "part_search.h"

#include <algorithm>

namespace qv {
namespace {

class PartSource : public ByteSource {
 public:
  PartSource(ByteSource& disk, uint64_t from, uint64_t to) : disk_(disk), from_(from), size_(to - from) {}
  uint64_t size() const override { return size_; }
  void readAt(uint64_t offset, uint8_t* buf, size_t n) override { disk_.readAt(from_ + offset, buf, n); }

 private:
  ByteSource& disk_;
  const uint64_t from_, size_;
};

class PartSink : public FindSink {
 public:
  PartSink(FindSink& inner, uint64_t from, uint64_t length) : inner_(inner), from_(from), length_(length) {}
  void onFind(const Find& find, View& data) override {
    if (find.offset >= length_) return;
    Find f = find;
    f.offset += from_;
    inner_.onFind(f, data);
  }

 private:
  FindSink& inner_;
  const uint64_t from_, length_;
};

}  // namespace

ScanStats searchParts(ByteSource& disk, const std::vector<std::pair<uint64_t, uint64_t>>& parts,
                      const ScanOptions& opts, FindSink& sink) {
  ScanStats all;
  ScanOptions o = opts;
  o.progress = nullptr;  // the search's figures are the whole disk's
  for (const auto& p : parts) {
    if (p.second <= p.first || p.first >= disk.size()) continue;
    PartSource part(disk, p.first, std::min(disk.size(), p.second + kPartTail));
    PartSink only(sink, p.first, p.second - p.first);
    const ScanStats s = scan(part, o, only);
    all.bytes += std::min(s.bytes, p.second - p.first);
    all.candidates += s.candidates;
    all.finds += s.finds;
  }
  return all;
}

}  // namespace qv
