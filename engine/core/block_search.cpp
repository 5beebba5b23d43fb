#include "block_search.h"

#include <algorithm>

#include "iso_media.h"
#include "jpeg_stream.h"

namespace qv {

const uint8_t* BlocksView::at(uint64_t pos, size_t& avail) {
  if (pos >= total_ - start_) return nullptr;
  const uint64_t abs = start_ + pos;
  if (blocks_.empty() || abs < blocks_.front()->offset || abs >= blocks_.back()->end()) {
    short_ = true;
    return nullptr;
  }
  // Every block but the disk's last one is full-sized.
  const Block* b = blocks_[size_t((abs - blocks_.front()->offset) / blocks_.front()->size)];
  avail = size_t(b->end() - abs);
  return b->data.data() + (abs - b->offset);
}

namespace {

// "ftyp" at hit: the file starts kIsoTypeAt bytes before.
void considerIsoMedia(BlockWork& w, unsigned types, uint64_t hit, const uint8_t* head) {
  if (head[2] != 'y' || head[3] != 'p' || hit < kIsoTypeAt) return;
  const uint64_t s = hit - kIsoTypeAt;
  uint8_t box[kSignatureBytes] = {};
  if (s < w.start || !BlocksView(w.blocks, s, w.total).read(0, box, size_t(std::min<uint64_t>(sizeof box, w.total - s)))) {
    w.found.push_back(BlockCandidate{s, PicType::Heic, false, {}, kIsoTypeAt});
    return;
  }
  const int t = isoMediaType(box, types);
  if (t < 0) return;
  const PicType type = PicType(t);
  BlocksView view(w.blocks, s, w.total);
  const Recognition r = recognize(type, view, std::min(maxPictureSize(type), w.total - s));
  w.found.push_back(BlockCandidate{s, type, !view.ranShort(), r, kIsoTypeAt});
}

void consider(BlockWork& w, unsigned types, uint64_t s, const uint8_t* head) {
  if (head[0] == 'f' && head[1] == 't') return considerIsoMedia(w, types, s, head);
  const int t = candidateType(head, types);
  if (t < 0) return;
  const PicType type = PicType(t);
  BlocksView view(w.blocks, s, w.total);
  Recognition r = recognize(type, view, std::min(maxPictureSize(type), w.total - s));
  if (type == PicType::Jpg && r.length && !jpegDataFits(view, r.length)) r.brokeAt = r.length, r.length = 0;
  w.found.push_back(BlockCandidate{s, type, !view.ranShort(), r});
}

}  // namespace

void searchBlock(BlockWork& w, const StartFinder& finder, unsigned types) {
  const uint8_t* p = w.blocks.front()->data.data();
  const size_t n = size_t(w.end - w.start);
  // As the scan does it: heads wholly in the block in place, the last few
  // from a copy that reaches into the next block (zeros past the disk's end).
  const size_t inPlace = n >= kSignatureBytes ? n - kSignatureBytes + 1 : 0;
  for (size_t i = finder.next(p, 0, inPlace); i < inPlace; i = finder.next(p, i + 1, inPlace))
    consider(w, types, w.start + i, p + i);
  uint8_t tail[2 * kSignatureBytes] = {};
  const uint64_t at = w.start + inPlace;
  BlocksView(w.blocks, at, w.total).read(0, tail, size_t(std::min<uint64_t>(sizeof tail - 1, w.total - at)));
  const size_t rest = n - inPlace;
  for (size_t i = finder.next(tail, 0, rest); i < rest; i = finder.next(tail, i + 1, rest))
    consider(w, types, at + i, tail + i);
}

}  // namespace qv
