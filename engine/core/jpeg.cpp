// JPEG: marker segments by their lengths, entropy-coded data up to the next
// real marker, many scans for progressive files, end at EOI. Images listed
// in a multi-picture (MPF) index follow the main one and belong to it.
#include <cstring>
#include <vector>

#include "byte_find.h"
#include "recognizers.h"

namespace qv {
namespace {

bool isSof(int m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }
bool isRst(int m) { return m >= 0xD0 && m <= 0xD7; }

struct Extent {
  uint64_t offset;
  uint64_t size;
};

class JpegParser {
 public:
  JpegParser(View& v, uint64_t maxLen) : v_(v), maxLen_(maxLen) {}
  uint64_t failAt() const { return failAt_; }

  // End (exclusive) of the image that starts at `start`, or 0.
  uint64_t parse(uint64_t start, uint64_t* shadow, std::vector<Extent>* mpf) {
    uint8_t h[3];
    if (!v_.read(start, h, 3) || h[0] != 0xFF || h[1] != 0xD8 || h[2] != 0xFF) return 0;
    uint64_t pos = start + 2;
    bool sawFrame = false, sawScan = false;
    for (;;) {
      if (sawScan) failAt_ = pos;
      if (pos - start > maxLen_) return 0;
      if (v_.byte(pos) != 0xFF) return 0;
      int m;
      while ((m = v_.byte(pos + 1)) == 0xFF) ++pos;  // fill bytes
      if (m < 0) return 0;
      if (m == 0xD9) {
        if (!sawScan || pos + 2 - start > maxLen_) return 0;
        return pos + 2;
      }
      if (isRst(m) || m == 0x01) {
        pos += 2;
        continue;
      }
      if (m == 0xD8 || m == 0x00 || (m >= 0x02 && m <= 0xBF)) return 0;
      uint8_t lb[2];
      if (!v_.read(pos + 2, lb, 2)) return 0;
      uint32_t len = be16(lb);
      if (len < 2) return 0;
      uint64_t segEnd = pos + 2 + len;
      if (!checkSegment(m, pos + 4, len - 2, sawFrame)) return 0;
      if (m >= 0xE0 && m <= 0xEF && !sawScan && shadow) *shadow = segEnd - start;
      if (m == 0xE2 && mpf && mpf->empty()) readMpf(pos + 4, len - 2, mpf);
      if (isSof(m)) sawFrame = true;
      pos = segEnd;
      if (m == 0xDA) {
        if (!sawFrame) return 0;
        sawScan = true;
        pos = skipEntropy(start, pos);
        if (!pos) return 0;
      }
    }
  }

 private:
  // Sizes that the format fixes; random bytes rarely satisfy them.
  bool checkSegment(int m, uint64_t body, uint32_t n, bool sawFrame) {
    uint8_t b[6];
    if (isSof(m)) {
      if (sawFrame && m != 0xC0 && m != 0xC1 && m != 0xC2) return false;
      if (n < 6 || !v_.read(body, b, 6)) return false;
      int precision = b[0];
      uint32_t width = be16(b + 3);
      int comps = b[5];
      if (precision < 2 || precision > 16 || width == 0 || comps < 1 || comps > 4) return false;
      return n == 6u + 3u * comps;
    }
    if (m == 0xDA) {
      if (n < 1 || !v_.read(body, b, 1)) return false;
      return b[0] >= 1 && b[0] <= 4 && n == 4u + 2u * b[0];
    }
    if (m == 0xDB) return n >= 65;
    if (m == 0xC4) return n >= 17;
    if (m == 0xDD) return n == 2;
    return true;
  }

  // Returns the position of the marker that ends the entropy-coded data.
  uint64_t skipEntropy(uint64_t start, uint64_t pos) {
    for (;;) {
      size_t avail = 0;
      const uint8_t* p = v_.at(pos, avail);
      failAt_ = pos;
      if (!p) return 0;
      const uint8_t* ff = findByte(p, avail, 0xFF);
      if (!ff) {
        pos += avail;
      } else {
        pos += uint64_t(ff - p);
        int next = v_.byte(pos + 1);
        if (next < 0) return 0;
        if (next == 0x00 || isRst(next)) {
          pos += 2;
        } else if (next == 0xFF) {
          pos += 1;
        } else {
          return pos;
        }
        failAt_ = pos;
      }
      if (pos - start > maxLen_) return 0;
    }
  }

  // APP2 "MPF\0" then a TIFF header; tag 0xB002 lists 16-byte entries with
  // each image's size and its offset from that header (0: the main image).
  void readMpf(uint64_t body, uint32_t n, std::vector<Extent>* out) {
    uint8_t id[4];
    if (n < 16 || !v_.read(body, id, 4) || std::memcmp(id, "MPF\0", 4) != 0) return;
    const uint64_t base = body + 4;
    const uint32_t limit = n - 4;
    uint8_t hdr[8];
    if (!v_.read(base, hdr, 8)) return;
    bool le = hdr[0] == 'I' && hdr[1] == 'I';
    if (!le && !(hdr[0] == 'M' && hdr[1] == 'M')) return;
    auto u16 = [le](const uint8_t* p) { return le ? le16(p) : be16(p); };
    auto u32 = [le](const uint8_t* p) { return le ? le32(p) : be32(p); };
    uint32_t ifd = u32(hdr + 4);
    uint8_t cnt[2];
    if (ifd + 2u > limit || !v_.read(base + ifd, cnt, 2)) return;
    unsigned entries = u16(cnt);
    for (unsigned i = 0; i < entries && i < 64; ++i) {
      uint8_t e[12];
      if (ifd + 2u + 12u * (i + 1) > limit || !v_.read(base + ifd + 2 + 12 * i, e, 12)) return;
      if (u16(e) != 0xB002) continue;
      uint32_t count = u32(e + 4), off = u32(e + 8);
      if (count % 16 || count > 16 * 64 || count <= 4 || off + uint64_t(count) > limit) return;
      for (uint32_t k = 0; k < count; k += 16) {
        uint8_t rec[16];
        if (!v_.read(base + off + k, rec, 16)) return;
        uint32_t size = u32(rec + 4), at = u32(rec + 8);
        if (at != 0 && size != 0) out->push_back({base + at, size});
      }
      return;
    }
  }

  View& v_;
  uint64_t maxLen_;
  uint64_t failAt_ = 0;
};

}  // namespace

Recognition recognizeJpeg(View& v, uint64_t maxLen) {
  Recognition r;
  JpegParser parser(v, maxLen);
  std::vector<Extent> extra;
  uint64_t end = parser.parse(0, &r.shadow, &extra);
  if (!end) {
    r.brokeAt = parser.failAt();
    return r;
  }
  // Further images must lie after the main one and be whole themselves;
  // if any is not, only the main image is certain.
  uint64_t whole = end;
  for (const Extent& e : extra) {
    uint64_t imgEnd = e.offset >= end && e.offset + e.size <= maxLen
                          ? JpegParser(v, e.size).parse(e.offset, nullptr, nullptr)
                          : 0;
    if (!imgEnd || imgEnd > e.offset + e.size) {
      whole = end;
      break;
    }
    if (e.offset + e.size > whole) whole = e.offset + e.size;
  }
  r.length = whole;
  if (r.shadow < r.length) r.shadow = r.length;
  return r;
}

}  // namespace qv
