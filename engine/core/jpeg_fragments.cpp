#include "jpeg_fragments.h"

#include "jpeg_decode.h"
#include "recognizers.h"
#include "signature.h"

namespace qv {
namespace {

constexpr uint64_t kMaxCluster = 64 * 1024;

uint64_t roundUp(uint64_t n, uint64_t to) { return (n + to - 1) / to * to; }

bool headAt(Window& w, uint64_t pos, uint8_t* head) {
  return WindowView(w, pos).read(0, head, kSignatureBytes);
}

}  // namespace

const uint8_t* SplicedView::at(uint64_t pos, size_t& avail) {
  if (pos < s_.firstLength) {
    const uint8_t* p = w_.at(start_ + pos, avail);
    if (p && avail > s_.firstLength - pos) avail = static_cast<size_t>(s_.firstLength - pos);
    return p;
  }
  return w_.at(s_.rest + (pos - s_.firstLength), avail);
}

JpegSplice findJpegSplice(Window& w, uint64_t start, uint64_t brokeAt) {
  JpegSplice none;
  if (brokeAt < kSectorSize) return none;
  // The other file starts at a sector no later than where the data broke.
  uint8_t head[kSignatureBytes];
  uint64_t foreign = 0;
  for (uint64_t s = start + kSectorSize; s <= start + brokeAt; s += kSectorSize) {
    if (headAt(w, s, head) && looksLikeFileStart(head)) {
      foreign = s;
      break;
    }
  }
  if (!foreign) return none;
  int t = candidateType(head, kAllTypes);
  WindowView fv(w, foreign);
  uint64_t foreignLength = recognize(PicType(t), fv, std::min(maxPictureSize(PicType(t)), w.size() - foreign)).length;
  if (!foreignLength) return none;

  // Both pieces start on cluster boundaries: the cluster size divides the
  // first piece. Smallest gap first.
  const uint64_t first = foreign - start;
  uint64_t tried[16];
  int n = 0;
  for (uint64_t cluster = kSectorSize; cluster <= kMaxCluster; cluster *= 2) {
    if (first % cluster) break;
    uint64_t rest = foreign + roundUp(foreignLength, cluster);
    bool seen = false;
    for (int i = 0; i < n; ++i) seen = seen || tried[i] == rest;
    if (seen || rest >= w.size()) continue;
    tried[n++] = rest;
    JpegSplice s{first, rest, 0};
    SplicedView v(w, start, s);
    uint64_t length = recognizeJpeg(v, maxPictureSize(PicType::Jpg)).length;
    if (length <= first) continue;
    SplicedView check(w, start, s);
    if (baselineJpegDecodes(check, length)) {
      s.length = length;
      return s;
    }
  }
  return none;
}

}  // namespace qv
