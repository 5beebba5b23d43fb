// TIFF, both byte orders: the picture ends at the furthest byte that the
// chain of image directories references (the directories themselves, their
// values, strips, tiles, sub-directories, EXIF and GPS directories and an
// embedded JPEG preview), exactly.
#include <algorithm>
#include <vector>

#include "recognizers.h"

namespace qv {
namespace {

unsigned typeSize(unsigned type) {
  static const unsigned sizes[14] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
  return type < 14 ? sizes[type] : 0;
}

constexpr unsigned kMaxDirectories = 64;
constexpr unsigned kMaxEntries = 1000;
constexpr uint32_t kMaxValues = 1u << 20;

class TiffWalker {
 public:
  TiffWalker(View& v, uint64_t maxLen, bool le) : v_(v), maxLen_(maxLen), le_(le) {}

  uint64_t walk(uint32_t firstIfd) {
    queue_.push_back({firstIfd, true});
    while (!queue_.empty()) {
      Pending p = queue_.back();
      queue_.pop_back();
      if (std::find(seen_.begin(), seen_.end(), p.offset) != seen_.end()) continue;
      if (seen_.size() >= kMaxDirectories) return 0;
      seen_.push_back(p.offset);
      if (!directory(p.offset, p.mainChain)) return 0;
    }
    if (!sawImage_) return 0;
    if (!v_.has(end_ - 1)) return 0;
    return end_;
  }

 private:
  struct Pending {
    uint32_t offset;
    bool mainChain;
  };

  uint16_t u16(const uint8_t* p) const { return le_ ? le16(p) : be16(p); }
  uint32_t u32(const uint8_t* p) const { return le_ ? le32(p) : be32(p); }

  bool cover(uint64_t offset, uint64_t size) {
    if (offset + size > maxLen_) return false;
    end_ = std::max(end_, offset + size);
    return true;
  }

  // The values of a SHORT or LONG entry (offsets, counts, directories).
  bool values(const uint8_t* e, std::vector<uint32_t>& out) {
    unsigned type = u16(e + 2);
    uint32_t count = u32(e + 4);
    out.clear();
    if ((type != 3 && type != 4 && type != 13) || count == 0 || count > kMaxValues) return false;
    unsigned size = typeSize(type);
    std::vector<uint8_t> raw(size_t(count) * size);
    if (raw.size() <= 4) {
      std::copy(e + 8, e + 8 + raw.size(), raw.begin());
    } else if (!v_.read(u32(e + 8), raw.data(), raw.size())) {
      return false;
    }
    out.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
      out.push_back(size == 2 ? u16(&raw[i * 2]) : u32(&raw[size_t(i) * 4]));
    return true;
  }

  bool pairs(const std::vector<uint32_t>& offsets, const std::vector<uint32_t>& counts) {
    if (offsets.empty() || offsets.size() != counts.size()) return false;
    for (size_t i = 0; i < offsets.size(); ++i)
      if (counts[i] && !cover(offsets[i], counts[i])) return false;
    return true;
  }

  bool directory(uint32_t at, bool mainChain) {
    if (at < 8) return false;
    uint8_t cnt[2];
    if (!v_.read(at, cnt, 2)) return false;
    unsigned n = u16(cnt);
    if (n == 0 || n > kMaxEntries) return false;
    std::vector<uint8_t> d(12u * n + 4);
    if (!v_.read(at + 2, d.data(), d.size())) return false;
    if (!cover(at, 2 + d.size())) return false;

    std::vector<uint32_t> strips, stripCounts, tiles, tileCounts, list;
    bool width = false, height = false;
    uint32_t jpegAt = 0, jpegLen = 0;
    for (unsigned i = 0; i < n; ++i) {
      const uint8_t* e = &d[12u * i];
      unsigned tag = u16(e), type = u16(e + 2);
      uint32_t count = u32(e + 4);
      unsigned size = typeSize(type);
      if (!size) {
        if (mainChain) return false;
        continue;  // private directories may use types of their own
      }
      uint64_t bytes = uint64_t(count) * size;
      if (bytes > 4 && !cover(u32(e + 8), bytes)) return false;
      switch (tag) {
        case 256: width = count == 1; break;
        case 257: height = count == 1; break;
        case 273: if (!values(e, strips)) return false; break;
        case 279: if (!values(e, stripCounts)) return false; break;
        case 324: if (!values(e, tiles)) return false; break;
        case 325: if (!values(e, tileCounts)) return false; break;
        case 513: jpegAt = u32(e + 8); break;
        case 514: jpegLen = u32(e + 8); break;
        case 330: case 34665: case 34853: case 40965:
          if (!values(e, list)) return false;
          for (uint32_t sub : list) queue_.push_back({sub, false});
          break;
        default: break;
      }
    }
    if (!strips.empty() || !stripCounts.empty()) {
      if (!pairs(strips, stripCounts)) return false;
    }
    if (!tiles.empty() || !tileCounts.empty()) {
      if (!pairs(tiles, tileCounts)) return false;
    }
    if (jpegAt && jpegLen && !cover(jpegAt, jpegLen)) return false;
    bool image = width && height && (!strips.empty() || !tiles.empty());
    if (mainChain && seen_.size() == 1 && !image) return false;
    sawImage_ = sawImage_ || image;

    uint32_t next = u32(&d[12u * n]);
    if (next && mainChain) queue_.push_back({next, true});
    return true;
  }

  View& v_;
  const uint64_t maxLen_;
  const bool le_;
  std::vector<Pending> queue_;
  std::vector<uint32_t> seen_;
  uint64_t end_ = 8;
  bool sawImage_ = false;
};

}  // namespace

Recognition recognizeTiff(View& v, uint64_t maxLen) {
  Recognition r;
  uint8_t h[8];
  if (!v.read(0, h, 8)) return r;
  bool le;
  if (h[0] == 'I' && h[1] == 'I' && h[2] == 42 && h[3] == 0) {
    le = true;
  } else if (h[0] == 'M' && h[1] == 'M' && h[2] == 0 && h[3] == 42) {
    le = false;
  } else {
    return r;
  }
  uint32_t first = le ? le32(h + 4) : be32(h + 4);
  r.length = r.shadow = TiffWalker(v, maxLen, le).walk(first);
  return r;
}

}  // namespace qv
