#include "jpeg_decode.h"

#include <algorithm>
#include <vector>

namespace qv {
namespace {

struct Huffman {
  bool present = false;
  int mincode[17], maxcode[18], valptr[17];
  uint8_t values[256];

  bool build(const uint8_t* bits, const uint8_t* vals, int count) {
    int code = 0, k = 0;
    for (int l = 1; l <= 16; ++l) {
      valptr[l] = k;
      mincode[l] = code;
      code += bits[l - 1];
      k += bits[l - 1];
      maxcode[l] = bits[l - 1] ? code - 1 : -1;
      if (code > (1 << l)) return false;
      code <<= 1;
    }
    maxcode[17] = 0x7FFFFFFF;
    if (k != count || k > 256) return false;
    for (int i = 0; i < count; ++i) values[i] = vals[i];
    present = true;
    return true;
  }
};

struct Component {
  int id, h, v;
};

class BitReader {
 public:
  BitReader(View& v, uint64_t pos, uint64_t end) : v_(v), pos_(pos), end_(end) {}

  // -1 when the data ends (a marker or the end of the file) before the bit.
  int bit() {
    if (bits_ == 0) {
      if (marker_ || pos_ >= end_) return -1;
      int b = v_.byte(pos_);
      if (b < 0) return -1;
      if (b == 0xFF) {
        int n = v_.byte(pos_ + 1);
        if (n == 0x00) {
          pos_ += 2;
        } else {
          marker_ = true;
          return -1;
        }
      } else {
        pos_ += 1;
      }
      acc_ = b;
      bits_ = 8;
    }
    --bits_;
    return (acc_ >> bits_) & 1;
  }

  bool bits(int n) {
    for (int i = 0; i < n; ++i)
      if (bit() < 0) return false;
    return true;
  }

  int decode(const Huffman& t) {
    int code = bit();
    if (code < 0) return -1;
    int l = 1;
    while (code > t.maxcode[l]) {
      if (++l > 16) return -1;
      int b = bit();
      if (b < 0) return -1;
      code = (code << 1) | b;
    }
    return t.values[t.valptr[l] + code - t.mincode[l]];
  }

  // Drops the padding of the last byte and expects a marker there; returns
  // it, or -1. Padding must be 1 bits.
  int marker() {
    if (bits_ && ((acc_ & ((1 << bits_) - 1)) != (1 << bits_) - 1)) return -1;
    bits_ = 0;
    if (v_.byte(pos_) != 0xFF) return -1;
    int m = v_.byte(pos_ + 1);
    if (m == 0x00) return -1;
    return m;
  }
  void skipMarker() {
    pos_ += 2;
    marker_ = false;
  }
  uint64_t pos() const { return pos_; }

 private:
  View& v_;
  uint64_t pos_, end_;
  int acc_ = 0, bits_ = 0;
  bool marker_ = false;
};

class Decoder {
 public:
  Decoder(View& v, uint64_t length) : v_(v), length_(length) {}

  bool run() {
    uint64_t pos = 2;
    bool scanned = false;
    while (pos + 2 <= length_) {
      uint8_t h[4];
      if (!v_.read(pos, h, 2) || h[0] != 0xFF) return false;
      int m = h[1];
      if (m == 0xD9) return scanned;
      if (m == 0xFF) {
        ++pos;
        continue;
      }
      if (pos + 4 > length_ || !v_.read(pos + 2, h + 2, 2)) return false;
      uint32_t len = be16(h + 2);
      if (len < 2 || pos + 2 + len > length_) return false;
      std::vector<uint8_t> body(len - 2);
      if (!v_.read(pos + 4, body.data(), body.size())) return false;
      pos += 2 + len;
      if ((m >= 0xC2 && m <= 0xCF && m != 0xC4 && m != 0xCC) || m == 0xCC) return false;  // not baseline
      if (m == 0xC0 || m == 0xC1) {
        if (!frame(body)) return false;
      } else if (m == 0xC4) {
        if (!tables(body)) return false;
      } else if (m == 0xDD) {
        if (body.size() != 2) return false;
        restart_ = be16(body.data());
      } else if (m == 0xDA) {
        pos = scan(body, pos);
        if (!pos) return false;
        scanned = true;
      }
    }
    return false;
  }

 private:
  bool frame(const std::vector<uint8_t>& b) {
    if (b.size() < 6) return false;
    height_ = be16(&b[1]);
    width_ = be16(&b[3]);
    int n = b[5];
    if (!height_ || !width_ || b.size() != 6u + 3u * n) return false;
    comps_.clear();
    for (int i = 0; i < n; ++i) {
      Component c{b[6 + 3 * i], b[7 + 3 * i] >> 4, b[7 + 3 * i] & 15};
      if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4) return false;
      hmax_ = std::max(hmax_, c.h);
      vmax_ = std::max(vmax_, c.v);
      comps_.push_back(c);
    }
    return true;
  }

  bool tables(const std::vector<uint8_t>& b) {
    size_t i = 0;
    while (i < b.size()) {
      if (i + 17 > b.size()) return false;
      int cls = b[i] >> 4, id = b[i] & 15;
      if (cls > 1 || id > 3) return false;
      int count = 0;
      for (int k = 0; k < 16; ++k) count += b[i + 1 + k];
      if (i + 17 + count > b.size()) return false;
      if (!huff_[cls][id].build(&b[i + 1], &b[i + 17], count)) return false;
      i += 17 + size_t(count);
    }
    return true;
  }

  static uint32_t ceilDiv(uint32_t a, uint32_t b) { return (a + b - 1) / b; }

  // Returns the position of the marker that follows the scan, or 0.
  uint64_t scan(const std::vector<uint8_t>& b, uint64_t dataPos) {
    if (comps_.empty() || b.empty()) return 0;
    int ns = b[0];
    if (ns < 1 || b.size() != 4u + 2u * ns) return 0;
    struct Part {
      const Huffman* dc;
      const Huffman* ac;
      int blocks;
    };
    std::vector<Part> parts;
    uint32_t mcus = 0;
    for (int i = 0; i < ns; ++i) {
      int id = b[1 + 2 * i], td = b[2 + 2 * i] >> 4, ta = b[2 + 2 * i] & 15;
      const Component* c = nullptr;
      for (const Component& k : comps_)
        if (k.id == id) c = &k;
      if (!c || td > 3 || ta > 3 || !huff_[0][td].present || !huff_[1][ta].present) return 0;
      if (ns == 1) {
        uint32_t w = ceilDiv(ceilDiv(width_ * c->h, hmax_), 8), h = ceilDiv(ceilDiv(height_ * c->v, vmax_), 8);
        mcus = w * h;
        parts.push_back({&huff_[0][td], &huff_[1][ta], 1});
      } else {
        parts.push_back({&huff_[0][td], &huff_[1][ta], c->h * c->v});
      }
    }
    if (ns > 1) mcus = ceilDiv(width_, 8 * hmax_) * ceilDiv(height_, 8 * vmax_);

    BitReader r(v_, dataPos, length_);
    int expectRst = 0;
    for (uint32_t n = 0; n < mcus; ++n) {
      if (restart_ && n && n % restart_ == 0) {
        if (r.marker() != 0xD0 + expectRst) return 0;
        r.skipMarker();
        expectRst = (expectRst + 1) & 7;
      }
      for (const Part& p : parts)
        for (int k = 0; k < p.blocks; ++k)
          if (!block(r, *p.dc, *p.ac)) return 0;
    }
    int m = r.marker();
    if (m < 0 || (m >= 0xD0 && m <= 0xD7)) return 0;
    return r.pos();
  }

  static bool block(BitReader& r, const Huffman& dc, const Huffman& ac) {
    int s = r.decode(dc);
    if (s < 0 || s > 15 || !r.bits(s)) return false;
    for (int k = 1; k < 64;) {
      int rs = r.decode(ac);
      if (rs < 0) return false;
      int run = rs >> 4, size = rs & 15;
      if (size == 0) {
        if (run != 15) return true;  // end of block
        k += 16;
        if (k > 64) return false;
        continue;
      }
      k += run;
      if (k > 63 || !r.bits(size)) return false;
      ++k;
    }
    return true;
  }

  View& v_;
  const uint64_t length_;
  std::vector<Component> comps_;
  Huffman huff_[2][4];
  uint32_t width_ = 0, height_ = 0, restart_ = 0;
  int hmax_ = 1, vmax_ = 1;
};

}  // namespace

bool baselineJpegDecodes(View& v, uint64_t length) { return Decoder(v, length).run(); }

}  // namespace qv
