// GIF 87a/89a: screen descriptor and colour table, then extension blocks and
// images, each followed by its chain of sub-blocks, up to the trailer. The
// LZW codes of every image are checked too: random or foreign data turns
// into impossible codes within a few bytes.
#include <cstring>

#include "recognizers.h"

namespace qv {
namespace {

class LzwChecker {
 public:
  explicit LzwChecker(int minCodeSize)
      : clear_(1u << minCodeSize), eoi_(clear_ + 1), minCodeSize_(minCodeSize) {
    reset();
  }

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
    first_ = false;
    if (running_ < 4097 && ++running_ > (1u << width_) && width_ < 12) ++width_;
    return true;
  }

  const uint32_t clear_, eoi_;
  const int minCodeSize_;
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

Recognition recognizeGif(View& v, uint64_t maxLen) {
  Recognition r;
  uint8_t h[13];
  if (!v.read(0, h, 13)) return r;
  if (std::memcmp(h, "GIF87a", 6) != 0 && std::memcmp(h, "GIF89a", 6) != 0) return r;
  uint64_t pos = 13;
  if (h[10] & 0x80) pos += 3u << ((h[10] & 7) + 1);
  bool sawImage = false;
  for (;;) {
    if (pos >= maxLen) return r;  // even the trailer would lie past the bound
    int kind = v.byte(pos);
    if (kind == 0x3B) {
      if (!sawImage) return r;
      r.length = r.shadow = pos + 1;
      return r;
    }
    if (kind == 0x21) {
      if (v.byte(pos + 1) < 0) return r;
      pos = skipSubBlocks(v, pos + 2, maxLen, nullptr);
    } else if (kind == 0x2C) {
      uint8_t d[10];
      if (!v.read(pos + 1, d, 10)) return r;
      if (!le16(d + 4) || !le16(d + 6)) return r;
      pos += 10;
      if (d[8] & 0x80) pos += 3u << ((d[8] & 7) + 1);
      int minCodeSize = v.byte(pos);
      if (minCodeSize < 2 || minCodeSize > 8) return r;
      LzwChecker lzw(minCodeSize);
      pos = skipSubBlocks(v, pos + 1, maxLen, &lzw);
      sawImage = true;
    } else {
      return r;
    }
    if (!pos) return r;
  }
}

}  // namespace qv
