// GIF 87a/89a: screen descriptor and colour table, then extension blocks and
// images, each followed by its chain of sub-blocks, up to the trailer. The
// LZW codes of every image are checked too: random or foreign data turns
// into impossible codes within a few bytes.
#include <algorithm>
#include <cstring>
#include <vector>

#include "recognizers.h"

namespace qv {
namespace {

class LzwChecker {
 public:
  // countPixels: also count the pixels the codes stand for (each table
  // entry's length kept), for pixels().
  LzwChecker(int minCodeSize, bool countPixels)
      : clear_(1u << minCodeSize), eoi_(clear_ + 1), minCodeSize_(minCodeSize) {
    if (countPixels) lengths_.assign(4097, 1);
    reset();
  }
  uint64_t pixels() const { return pixels_; }

  bool feed(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n && !ended_; ++i) {
      acc_ |= uint32_t(p[i]) << bits_;
      bits_ += 8;
      while (bits_ >= width_ && !ended_) {
        uint32_t code = acc_ & ((1u << width_) - 1);
        acc_ >>= width_;
        bits_ -= width_;
        if (!take(code)) return false;
      }
    }
    return true;
  }

 private:
  void reset() {
    width_ = minCodeSize_ + 1;
    running_ = eoi_ + 1;
    first_ = true;
  }

  bool take(uint32_t code) {
    if (code == clear_) {
      reset();
      return true;
    }
    if (code == eoi_) {
      ended_ = true;
      return true;
    }
    if (first_ ? code >= clear_ : code >= running_) return false;
    if (!lengths_.empty()) count(code);
    first_ = false;
    if (running_ < 4097 && ++running_ > (1u << width_) && width_ < 12) ++width_;
    return true;
  }

  // A valid code (before running_ moves on): the table's next free entry is
  // running_ - 1 after the first code, and becomes the previous code's
  // string and one more pixel; the code itself may be that entry.
  void count(uint32_t code) {
    if (first_) {
      pixels_ += 1;
    } else {
      const uint32_t next = running_ - 1, added = lengths_[previous_] + 1u;
      pixels_ += code == next ? added : lengths_[code];
      if (next < 4096) lengths_[next] = uint16_t(std::min<uint32_t>(added, 4096));
    }
    previous_ = code;
  }

  const uint32_t clear_, eoi_;
  const int minCodeSize_;
  std::vector<uint16_t> lengths_;  // of each code's string, when counting
  uint64_t pixels_ = 0;
  uint32_t previous_ = 0;
  uint32_t acc_ = 0, running_ = 0;
  int bits_ = 0, width_ = 0;
  bool first_ = true, ended_ = false;
};

// Walks a chain of sub-blocks from pos; returns the position after the
// terminator, or 0. Feeds the data to the checker when there is one.
uint64_t skipSubBlocks(View& v, uint64_t pos, uint64_t maxLen, LzwChecker* lzw) {
  uint8_t block[256];
  for (;;) {
    int n = v.byte(pos);
    if (n < 0) return 0;
    if (n == 0) return pos + 1;
    if (!v.read(pos + 1, block, size_t(n))) return 0;
    if (lzw && !lzw->feed(block, size_t(n))) return 0;
    pos += 1 + uint64_t(n);
    if (pos > maxLen) return 0;
  }
}

}  // namespace

namespace {

// Walks the blocks up to the trailer or the first that is not sound.
// With countPixels, whole: the end of the last whole frame, an image whose
// sub-blocks end and whose codes stand for every pixel it has (0 before).
struct GifWalk {
  uint64_t length = 0;  // the whole picture, 0 if none
  uint64_t whole = 0;
};

GifWalk walkGif(View& v, uint64_t maxLen, bool countPixels) {
  GifWalk w;
  uint8_t h[13];
  if (!v.read(0, h, 13)) return w;
  if (std::memcmp(h, "GIF87a", 6) != 0 && std::memcmp(h, "GIF89a", 6) != 0) return w;
  uint64_t pos = 13;
  if (h[10] & 0x80) pos += 3u << ((h[10] & 7) + 1);
  bool sawImage = false;
  for (;;) {
    if (pos >= maxLen) return w;  // even the trailer would lie past the bound
    int kind = v.byte(pos);
    if (kind == 0x3B) {
      if (sawImage) w.length = pos + 1;
      return w;
    }
    if (kind == 0x21) {
      if (v.byte(pos + 1) < 0) return w;
      pos = skipSubBlocks(v, pos + 2, maxLen, nullptr);
    } else if (kind == 0x2C) {
      uint8_t d[10];
      if (!v.read(pos + 1, d, 10)) return w;
      if (!le16(d + 4) || !le16(d + 6)) return w;
      pos += 10;
      if (d[8] & 0x80) pos += 3u << ((d[8] & 7) + 1);
      int minCodeSize = v.byte(pos);
      if (minCodeSize < 2 || minCodeSize > 8) return w;
      LzwChecker lzw(minCodeSize, countPixels);
      pos = skipSubBlocks(v, pos + 1, maxLen, &lzw);
      if (pos && countPixels && lzw.pixels() >= uint64_t(le16(d + 4)) * le16(d + 6)) w.whole = pos;
      sawImage = true;
    } else {
      return w;
    }
    if (!pos) return w;
  }
}

}  // namespace

Recognition recognizeGif(View& v, uint64_t maxLen) {
  Recognition r;
  r.length = r.shadow = walkGif(v, maxLen, false).length;
  return r;
}

uint64_t gifWholeFramesEnd(View& v, uint64_t maxLen) {
  const GifWalk w = walkGif(v, maxLen, true);
  return w.length ? 0 : w.whole;
}

}  // namespace qv
