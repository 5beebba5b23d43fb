#include "jpeg_stream.h"

#include <algorithm>
#include <cstdlib>

namespace qv {
namespace {

uint32_t ceilDiv(uint32_t a, uint32_t b) { return (a + b - 1) / b; }

// Bits of the entropy-coded data from s.pos on, with byte stuffing undone;
// stops at a marker without passing it. Keeps up to 24 bits ahead.
class Bits {
 public:
  Bits(View& v, JpegStreamState& s) : v_(v), s_(s) {}

  int bit() {
    if (s_.bits == 0 && !fill()) return -1;
    --s_.bits;
    return int((s_.acc >> s_.bits) & 1);
  }
  bool bits(int n, int& value) {
    while (s_.bits < n)
      if (!fill()) return false;
    s_.bits -= n;
    value = int((s_.acc >> s_.bits) & ((1u << n) - 1));
    return true;
  }
  // The next 8 bits without taking them; false when fewer are left.
  bool peek8(int& value) {
    while (s_.bits < 8)
      if (!fill()) return false;
    value = int((s_.acc >> (s_.bits - 8)) & 0xFF);
    return true;
  }
  void skip(int n) { s_.bits -= n; }
  // The byte at pos or -1 past the end.
  int at(uint64_t pos) {
    if (!p_ || pos < spanStart_ || pos >= spanEnd_) {
      size_t avail = 0;
      p_ = v_.at(pos, avail);
      if (!p_) return -1;
      spanStart_ = pos;
      spanEnd_ = pos + avail;
    }
    return p_[pos - spanStart_];
  }

 private:
  bool fill() {
    if (s_.bits > 16) return true;
    int b = at(s_.pos);
    if (b < 0) return false;
    if (b == 0xFF) {
      if (at(s_.pos + 1) != 0x00) return false;  // a marker (or the end)
      s_.pos += 2;
    } else {
      s_.pos += 1;
    }
    s_.acc = (s_.acc << 8) | uint32_t(b);
    s_.bits += 8;
    return true;
  }

  View& v_;
  JpegStreamState& s_;
  const uint8_t* p_ = nullptr;
  uint64_t spanStart_ = 0, spanEnd_ = 0;
};

template <class Table>
int decode(Bits& r, const Table& t) {
  int next = 0;
  if (r.peek8(next) && t.fast[next]) {
    r.skip(t.fast[next] >> 8);
    return t.fast[next] & 0xFF;
  }
  int code = r.bit();
  if (code < 0) return -1;
  int l = 1;
  while (code > t.maxcode[l]) {
    if (++l > 16) return -1;
    int b = r.bit();
    if (b < 0) return -1;
    code = (code << 1) | b;
  }
  return t.values[t.valptr[l] + code - t.mincode[l]];
}

// Before a marker only the padding of the last byte may be left: 1 bits.
bool onlyPadding(const JpegStreamState& s) {
  return s.bits < 8 && (s.acc & ((1u << s.bits) - 1)) == (1u << s.bits) - 1;
}

int extend(int v, int s) { return s && v < (1 << (s - 1)) ? v - (1 << s) + 1 : v; }

}  // namespace

bool JpegStream::Huffman::build(const uint8_t* bits, const uint8_t* vals, int count) {
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
  for (int i = 0; i < 256; ++i) fast[i] = 0;
  for (int l = 1, k = 0, c = 0; l <= 8; ++l, c <<= 1)
    for (int n = 0; n < bits[l - 1]; ++n, ++k, ++c)
      for (int low = 0; low < (1 << (8 - l)); ++low) fast[(c << (8 - l)) | low] = uint16_t(l << 8 | vals[k]);
  present = true;
  return true;
}

bool JpegStream::open(View& v, uint64_t headerLimit) {
  uint8_t h[4];
  if (!v.read(0, h, 2) || h[0] != 0xFF || h[1] != 0xD8) return false;
  uint64_t pos = 2;
  while (pos + 4 <= headerLimit) {
    if (!v.read(pos, h, 2) || h[0] != 0xFF) return false;
    int m = h[1];
    if (m == 0xFF) {
      ++pos;
      continue;
    }
    if (!v.read(pos + 2, h + 2, 2)) return false;
    uint32_t len = be16(h + 2);
    if (len < 2) return false;
    std::vector<uint8_t> body(len - 2);
    if (!v.read(pos + 4, body.data(), body.size())) return false;
    pos += 2 + len;
    if (m >= 0xC1 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) return false;  // not baseline
    if (m == 0xCC || m == 0xD9) return false;
    if (m == 0xC0 && !frame(body)) return false;
    if (m == 0xC4 && !tables(body)) return false;
    if (m == 0xDB && !quant(body)) return false;
    if (m == 0xDD) {
      if (body.size() != 2) return false;
      restart_ = be16(body.data());
    }
    if (m == 0xDA) {
      if (!scan(body)) return false;
      start_ = JpegStreamState{};
      start_.pos = pos;
      return true;
    }
  }
  return false;
}

bool JpegStream::frame(const std::vector<uint8_t>& b) {
  if (b.size() < 6 || !comps_.empty()) return false;
  precision_ = b[0];
  height_ = be16(&b[1]);
  width_ = be16(&b[3]);
  int n = b[5];
  if (precision_ != 8 || !height_ || !width_ || n < 1 || n > 4 || b.size() != 6u + 3u * n) return false;
  for (int i = 0; i < n; ++i) {
    Comp c{b[6 + 3 * i], b[7 + 3 * i] >> 4, b[7 + 3 * i] & 15, b[8 + 3 * i]};
    if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4 || c.tq > 3) return false;
    hmax_ = std::max(hmax_, c.h);
    vmax_ = std::max(vmax_, c.v);
    comps_.push_back(c);
  }
  return true;
}

bool JpegStream::tables(const std::vector<uint8_t>& b) {
  size_t i = 0;
  while (i < b.size()) {
    if (i + 17 > b.size()) return false;
    int cls = b[i] >> 4, id = b[i] & 15;
    if (cls > 1 || id > 3) return false;
    int count = 0;
    for (int k = 0; k < 16; ++k) count += b[i + 1 + k];
    if (i + 17 + size_t(count) > b.size()) return false;
    if (!huff_[cls][id].build(&b[i + 1], &b[i + 17], count)) return false;
    i += 17 + size_t(count);
  }
  return true;
}

bool JpegStream::quant(const std::vector<uint8_t>& b) {
  size_t i = 0;
  while (i < b.size()) {
    int wide = b[i] >> 4, id = b[i] & 15;
    size_t n = wide ? 128 : 64;
    if (wide > 1 || id > 3 || i + 1 + n > b.size()) return false;
    quant_[id] = wide ? be16(&b[i + 1]) : b[i + 1];
    i += 1 + n;
  }
  return true;
}

bool JpegStream::scan(const std::vector<uint8_t>& b) {
  if (comps_.empty() || b.empty()) return false;
  size_t ns = b[0];
  if (ns != comps_.size() || b.size() != 4 + 2 * ns) return false;
  for (size_t i = 0; i < ns; ++i) {
    int id = b[1 + 2 * i], td = b[2 + 2 * i] >> 4, ta = b[2 + 2 * i] & 15;
    int c = -1;
    for (size_t k = 0; k < comps_.size(); ++k)
      if (comps_[k].id == id) c = int(k);
    if (c < 0 || td > 3 || ta > 3 || !huff_[0][td].present || !huff_[1][ta].present) return false;
    if (!quant_[comps_[size_t(c)].tq]) return false;
    const Comp& k = comps_[size_t(c)];
    parts_.push_back({td, ta, ns == 1 ? 1 : k.h * k.v, quant_[k.tq], c});
  }
  // The spectral selection of a baseline scan.
  if (b[1 + 2 * ns] != 0 || b[2 + 2 * ns] != 63 || b[3 + 2 * ns] != 0) return false;
  if (ns == 1)
    mcus_ = ceilDiv(width_, 8) * ceilDiv(height_, 8);
  else
    mcus_ = ceilDiv(width_, 8 * hmax_) * ceilDiv(height_, 8 * vmax_);
  return mcus_ > 0;
}

JpegStream::Step JpegStream::step(View& v, JpegStreamState& s) const {
  Bits r(v, s);
  if (s.mcu == mcus_) {
    // Padding to the byte must be 1 bits, then a marker other than RST.
    if (!onlyPadding(s)) return Step::Error;
    s.bits = 0;
    int m = r.at(s.pos + 1);
    if (r.at(s.pos) != 0xFF || m < 0 || m == 0x00 || (m >= 0xD0 && m <= 0xD7)) return Step::Error;
    return Step::Done;
  }
  if (restart_ && s.mcu && s.mcu % restart_ == 0) {
    if (!onlyPadding(s)) return Step::Error;
    s.bits = 0;
    if (r.at(s.pos) != 0xFF || r.at(s.pos + 1) != 0xD0 + s.expectRst) return Step::Error;
    s.pos += 2;
    s.expectRst = (s.expectRst + 1) & 7;
    for (int& d : s.dc) d = 0;
  }
  // |DC| of an 8-bit picture is at most 1024, before quantisation.
  for (const Part& p : parts_) {
    const Huffman& dc = huff_[0][p.dc];
    const Huffman& ac = huff_[1][p.ac];
    for (int k = 0; k < p.blocks; ++k) {
      int t = decode(r, dc), diff = 0;
      if (t < 0 || t > 11 || !r.bits(t, diff)) return Step::Error;
      s.dc[p.comp] += extend(diff, t);
      if (std::abs(s.dc[p.comp]) * p.quant > 1024 + p.quant) return Step::Error;
      for (int i = 1; i < 64;) {
        int rs = decode(r, ac), bits = 0;
        if (rs < 0) return Step::Error;
        int run = rs >> 4, size = rs & 15;
        if (size == 0) {
          if (run != 15) break;  // end of block
          i += 16;
          if (i > 64) return Step::Error;
          continue;
        }
        i += run;
        if (i > 63 || size > 10 || !r.bits(size, bits)) return Step::Error;
        ++i;
      }
    }
  }
  ++s.mcu;
  return Step::Mcu;
}

bool jpegDataFits(View& v, uint64_t length) {
  JpegStream stream;
  if (!stream.open(v, length)) return true;
  JpegStreamState s = stream.start();
  for (;;) {
    JpegStream::Step st = stream.step(v, s);
    if (st == JpegStream::Step::Done) return s.pos < length;
    if (st == JpegStream::Step::Error) return false;
  }
}

}  // namespace qv
