#include "scanner.h"

#include <algorithm>
#include <cstring>

#include "block_reader.h"
#include "jpeg_fragments.h"
#include "recognizers.h"
#include "signature.h"
#include "window.h"

namespace qv {
namespace {

uint64_t roundUp(uint64_t n) { return (n + kSectorSize - 1) / kSectorSize * kSectorSize; }

// Pictures whose contents no check can tell from foreign data: if another
// file starts at a sector inside one, the picture was fragmented and what
// follows is not its data.
bool holdsForeignFile(PicType t, Window& w, const Find& f) {
  if (t != PicType::Bmp && t != PicType::Tif && t != PicType::Gif) return false;
  uint8_t head[kSignatureBytes];
  for (uint64_t s = f.offset + kSectorSize; s + kSignatureBytes <= f.offset + f.length; s += kSectorSize) {
    size_t avail = 0;
    const uint8_t* p = w.at(s, avail);
    if (!p) return false;
    if (avail < kSignatureBytes) {
      WindowView(w, s).read(0, head, kSignatureBytes);
      p = head;
    }
    if (looksLikeFileStart(p)) return true;
  }
  return false;
}

}  // namespace

ScanStats scan(ByteSource& src, const ScanOptions& opts, FindSink& sink) {
  ScanStats stats;
  const uint64_t total = src.size();
  BlockReader reader(src, opts.blockSize, opts.readAhead);
  Window w(src, reader, opts.maxHold);
  uint64_t pos = 0;
  uint64_t shadowEnd = 0;
  uint8_t tail[kSignatureBytes];

  while (pos < total) {
    w.advanceTo(pos);
    size_t avail = 0;
    const uint8_t* block = w.at(pos, avail);
    if (!block) break;
    const uint64_t blockStart = pos, blockEnd = pos + avail;
    uint64_t resume = blockEnd;
    for (uint64_t s = pos; s < blockEnd; s += kSectorSize) {
      const uint8_t* head = block + (s - blockStart);
      if (blockEnd - s < kSignatureBytes) {
        std::memset(tail, 0, sizeof tail);
        WindowView(w, s).read(0, tail, std::min<uint64_t>(kSignatureBytes, total - s));
        head = tail;
      }
      int t = candidateType(head, opts.types);
      if (t < 0 || s < shadowEnd) continue;
      ++stats.candidates;
      const PicType type = PicType(t);
      WindowView view(w, s);
      Recognition r = recognize(type, view, std::min(maxPictureSize(type), total - s));
      if (!r.length) {
        shadowEnd = std::max(shadowEnd, s + r.shadow);
        if (type == PicType::Jpg && r.brokeAt) {
          JpegSplice splice = findJpegSplice(w, s, r.brokeAt);
          if (splice.length) {
            // The other file inside is still to be found: no skipping.
            SplicedView joined(w, s, splice);
            sink.onFind(Find{type, s, splice.length}, joined);
            ++stats.finds;
            if (opts.progress) opts.progress->found.store(stats.finds, std::memory_order_relaxed);
          }
        }
        continue;
      }
      Find f{type, s, r.length};
      if (holdsForeignFile(type, w, f)) continue;
      WindowView data(w, s);
      sink.onFind(f, data);
      ++stats.finds;
      if (opts.progress) opts.progress->found.store(stats.finds, std::memory_order_relaxed);
      resume = roundUp(s + r.length);
      break;
    }
    pos = resume;
    if (opts.progress) opts.progress->searched.store(std::min(pos, total), std::memory_order_relaxed);
  }
  stats.bytes = total;
  return stats;
}

}  // namespace qv
