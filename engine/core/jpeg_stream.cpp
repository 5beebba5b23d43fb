// The baseline entropy decoder of jpeg_stream.h. Longer than most files here
// (about 450 lines): the bit reader, the Huffman tables and the MCU loop are
// one hot path, kept in one unit so that the compiler keeps its state in
// registers; the checks built on it (good rows, decodable share) are short.
#include "jpeg_stream.h"

#include <algorithm>
#include <cstdlib>

namespace qv {
namespace {

uint32_t ceilDiv(uint32_t a, uint32_t b) { return (a + b - 1) / b; }

// The view's bytes, the span last handed out kept at hand.
class Bytes {
 public:
  explicit Bytes(View& v) : v_(v) {}
  // The byte at pos or -1 past the end.
  int at(uint64_t pos) {
    if (pos - start_ >= size_ && !load(pos)) return -1;
    return p_[pos - start_];
  }
  // The 8 bytes at pos, or nullptr when they do not lie in the span at hand.
  const uint8_t* eight(uint64_t pos) const {
    return pos - start_ < size_ && size_ - (pos - start_) >= 8 ? p_ + (pos - start_) : nullptr;
  }

 private:
  bool load(uint64_t pos) {
    size_t avail = 0;
    const uint8_t* p = v_.at(pos, avail);
    if (!p) return false;
    p_ = p, start_ = pos, size_ = avail;
    return true;
  }

  View& v_;
  const uint8_t* p_ = nullptr;
  uint64_t start_ = 0, size_ = 0;  // pos - start_ >= size_ (unsigned) for every pos outside
};

// Bits fetched and the next byte to fetch, as in JpegStreamState.
struct Held {
  uint64_t acc;
  int bits;
  uint64_t pos;
};

// Fetches byte by byte, undoing stuffing, up to 57 bits or a marker. Takes
// and returns the bits by value, so that the caller's stay in registers.
Held fetchBytes(Bytes& b, uint64_t acc, int bits, uint64_t pos) {
  Held h{acc, bits, pos};
  while (h.bits <= 56) {
    int c = b.at(h.pos);
    if (c < 0) break;
    if (c == 0xFF) {
      if (b.at(h.pos + 1) != 0x00) break;  // a marker (or the end)
      h.pos += 2;
    } else {
      h.pos += 1;
    }
    h.acc |= uint64_t(c) << (56 - h.bits);
    h.bits += 8;
  }
  return h;
}

// Bits of the entropy-coded data from s.pos on, with byte stuffing undone;
// stops at a marker without passing it, so the bits held never reach past
// one. Fetches ahead up to 63 bits. Works on its own copy of the state and
// hands it back at the end: no pointer to it leaves the decoder, so the
// compiler keeps it in registers.
class Bits {
 public:
  Bits(Bytes& b, JpegStreamState& s) : b_(b), s_(s), acc_(s.acc), bits_(s.bits), pos_(s.pos) {}
  ~Bits() { s_.acc = acc_, s_.bits = bits_, s_.pos = pos_; }

  int held() const { return bits_; }
  // Tops the bits up to 56 or more; fewer only before a marker or the end.
  void fill() {
    const uint8_t* p = b_.eight(pos_);
    if (p) {
      uint64_t w = be64(p);
      // Without a 0xFF among the next 8 bytes there is no stuffing or marker
      // to undo: the whole bytes that fit are taken as they are (none when
      // 57 or more bits are held).
      if (!hasFF(w)) {
        const int n = (63 - bits_) & ~7;
        acc_ |= w >> bits_ & ~(~0ull >> (bits_ + n));
        bits_ += n;
        pos_ += uint64_t(n / 8);
        return;
      }
    }
    const Held h = fetchBytes(b_, acc_, bits_, pos_);
    acc_ = h.acc, bits_ = h.bits, pos_ = h.pos;
  }
  // The next n bits (1 to 32) without taking them; zeros past those held.
  uint32_t peek(int n) const { return uint32_t(acc_ >> (64 - n)); }
  void take(int n) {
    acc_ <<= n;
    bits_ -= n;
  }
  // Before a marker only the padding of the last byte may be left: 1 bits.
  // Drops it.
  bool dropPadding() {
    const bool ones = bits_ < 8 && (bits_ == 0 || peek(bits_) == (1u << bits_) - 1);
    acc_ = 0, bits_ = 0;
    return ones;
  }
  // The marker at pos: its second byte, or -1 if there is none.
  int marker() { return b_.at(pos_) == 0xFF ? b_.at(pos_ + 1) : -1; }
  void skipMarker() { pos_ += 2; }

 private:
  // Written out so that compilers make it one load and a byte swap.
  static uint64_t be64(const uint8_t* p) {
    return uint64_t(p[0]) << 56 | uint64_t(p[1]) << 48 | uint64_t(p[2]) << 40 | uint64_t(p[3]) << 32 |
           uint64_t(p[4]) << 24 | uint64_t(p[5]) << 16 | uint64_t(p[6]) << 8 | uint64_t(p[7]);
  }
  // Any byte 0xFF: a zero byte in ~w (the usual word-at-a-time test).
  static bool hasFF(uint64_t w) {
    const uint64_t x = ~w;
    return ((x - 0x0101010101010101ull) & w & 0x8080808080808080ull) != 0;
  }

  Bytes& b_;
  JpegStreamState& s_;
  uint64_t acc_;
  int bits_;
  uint64_t pos_;
};

int extend(int v, int s) { return s && v < (1 << (s - 1)) ? v - (1 << s) + 1 : v; }

// What one AC code does: the bits to take with its coefficient's, and how
// far it moves in the block (0: end of block; 65: never fits a block).
struct AcStep {
  int bits, advance;
};
AcStep acStep(int length, int rs) {
  const int run = rs >> 4, size = rs & 15;
  if (!length) return {0, 0};
  if (size == 0) return {length, run == 15 ? 16 : 0};  // ZRL, or end of block
  if (size > 10) return {length, 64 + 1};
  return {length + size, run + 1};
}

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
  for (Code& c : fast) c = Code{0, 0};
  for (int l = 1, k = 0, c = 0; l <= kFastBits; ++l, c <<= 1)
    for (int n = 0; n < bits[l - 1]; ++n, ++k, ++c)
      for (int low = 0; low < (1 << (kFastBits - l)); ++low) fast[(c << (kFastBits - l)) | low] = Code{uint8_t(l), vals[k]};
  runs.clear();
  present = true;
  return true;
}

void JpegStream::Huffman::buildRuns() {
  const uint32_t window = (1u << kRunBits) - 1;
  runs.assign(size_t(window) + 1, AcRun{0, 0, 0, 0});
  for (uint32_t next = 0; next <= window; ++next) {
    AcRun& run = runs[next];
    int used = 0, moved = 0;
    // Codes are taken while the window still holds the whole next one.
    while (used < kRunBits && moved < 64) {
      const Code c = code((next << used & window) << (16 - kRunBits));
      const AcStep st = acStep(c.length, c.value);
      // A code cut off by the window's end, or one that never fits a block,
      // is left to the one-at-a-time path.
      if (!c.length || c.length > kRunBits - used || st.advance > 64) break;
      run = AcRun{uint8_t(used + st.bits), uint8_t(moved + st.advance), uint8_t(moved), uint8_t(st.advance == 0)};
      if (run.end) break;
      used += st.bits;
      moved += st.advance;
    }
  }
}

JpegStream::Code JpegStream::Huffman::longCode(uint32_t next16) const {
  for (int l = kFastBits + 1; l <= 16; ++l) {
    int code = int(next16 >> (16 - l));
    if (code <= maxcode[l]) return Code{uint8_t(l), values[valptr[l] + code - mincode[l]]};
  }
  return Code{0, 0};
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
    if (m == 0xEE && body.size() >= 12 && std::equal(body.begin(), body.begin() + 5, "Adobe")) adobeTransform_ = body[11];
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
    Component c{b[6 + 3 * i], b[7 + 3 * i] >> 4, b[7 + 3 * i] & 15, b[8 + 3 * i]};
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
    if (cls == 1) huff_[cls][id].buildRuns();
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
    const Component& k = comps_[size_t(c)];
    parts_.push_back({td, ta, ns == 1 ? 1 : k.h * k.v, quant_[k.tq], c});
  }
  // The spectral selection of a baseline scan.
  if (b[1 + 2 * ns] != 0 || b[2 + 2 * ns] != 63 || b[3 + 2 * ns] != 0) return false;
  if (ns == 1) {
    mcusPerRow_ = ceilDiv(width_, 8);
    mcus_ = mcusPerRow_ * ceilDiv(height_, 8);
  } else {
    mcusPerRow_ = ceilDiv(width_, 8 * hmax_);
    mcus_ = mcusPerRow_ * ceilDiv(height_, 8 * vmax_);
  }
  return mcus_ > 0;
}

template <class OnBlock>
JpegStream::Step JpegStream::decode(View& v, JpegStreamState& s, uint32_t until, OnBlock onBlock) const {
  Bytes bytes(v);
  Bits r(bytes, s);
  for (; s.mcu < until; ++s.mcu) {
    if (s.mcu == mcus_) {
      // Padding to the byte must be 1 bits, then a marker other than RST.
      if (!r.dropPadding()) return Step::Error;
      int m = r.marker();
      if (m < 0 || m == 0x00 || (m >= 0xD0 && m <= 0xD7)) return Step::Error;
      return Step::Done;
    }
    if (restart_ && s.mcu && s.mcu % restart_ == 0) {
      if (!r.dropPadding() || r.marker() != 0xD0 + s.expectRst) return Step::Error;
      r.skipMarker();
      s.expectRst = (s.expectRst + 1) & 7;
      for (int& d : s.dc) d = 0;
    }
    // With 32 bits held no look-up needs to know where the data ends: a DC
    // code with its value takes at most 16 + 11 bits, a run of AC codes
    // kRunBits + 10. Near a marker fewer are held, the missing ones read as 0,
    // and a code that reaches past the bits held means the data ran out.
    // A run is taken whole only where each of its codes still belongs to this
    // block (i + room < 64); elsewhere the codes go one at a time.
    // |DC| of an 8-bit picture is at most 1024, before quantisation.
    for (const Part& p : parts_) {
      const Huffman& dc = huff_[0][p.dc];
      const Huffman& ac = huff_[1][p.ac];
      for (int k = 0; k < p.blocks; ++k) {
        if (r.held() < 32) r.fill();
        const Code c = dc.code(r.peek(16));
        const int t = c.value;
        if (!c.length || t > 11 || c.length + t > r.held()) return Step::Error;
        r.take(c.length);
        const int diff = t ? int(r.peek(t)) : 0;
        r.take(t);
        s.dc[p.comp] += extend(diff, t);
        if (std::abs(s.dc[p.comp]) * p.quant > 1024 + p.quant) return Step::Error;
        onBlock(p.comp, k, s.dc[p.comp] * p.quant);
        for (int i = 1; i < 64;) {
          if (r.held() < 32) r.fill();
          AcStep st;
          const AcRun run = ac.runs[r.peek(kRunBits)];
          if (run.bits && i + run.room < 64 && run.bits <= r.held()) {
            st = AcStep{run.bits, run.end ? 0 : run.advance};
          } else {
            // One code at a time: a long one, one that never fits, the end of
            // the data near, or a run that would reach past the block.
            const Code a = ac.code(r.peek(16));
            st = acStep(a.length, a.value);
            if (!st.bits || st.bits > r.held()) return Step::Error;
          }
          r.take(st.bits);
          if (!st.advance) break;  // end of block
          i += st.advance;
          if (i > 64) return Step::Error;
        }
      }
    }
  }
  return Step::Mcu;
}

JpegStream::Step JpegStream::steps(View& v, JpegStreamState& s, uint32_t until) const {
  return decode(v, s, until, [](int, int, int) {});
}

JpegStream::Step JpegStream::steps(View& v, JpegStreamState& s, uint32_t until, JpegDcBlocks& dcs) const {
  return decode(v, s, until, [&dcs](int comp, int block, int dc) { dcs.onBlock(comp, block, dc); });
}

namespace {

// Where the bits decoded so far end: the byte after the last one that holds
// any of them. The bits held but not decoded are the last ones fetched; of
// them, the whole bytes are given back (a stuffed 0xFF with its 0x00).
uint64_t decodedEnd(View& v, const JpegStreamState& s) {
  uint64_t pos = s.pos;
  for (int n = s.bits / 8; n > 0; --n) pos -= pos >= 2 && v.byte(pos - 1) == 0x00 && v.byte(pos - 2) == 0xFF ? 2 : 1;
  return pos;
}

}  // namespace

uint64_t JpegZeroRuns::find(View& v, uint64_t to) {
  while (pos_ < to) {
    size_t avail = 0;
    const uint8_t* p = v.at(pos_, avail);
    if (!p) return UINT64_MAX;
    const size_t n = size_t(std::min<uint64_t>(avail, to - pos_));
    for (size_t i = 0; i < n; ++i) {
      run_ = p[i] ? 0 : run_ + 1;
      if (run_ == kJpegZeroRun) return pos_ + i + 1 - kJpegZeroRun;
    }
    pos_ += n;
  }
  return UINT64_MAX;
}

JpegGoodRows jpegGoodRows(View& v, uint64_t length) {
  JpegGoodRows g;
  JpegStream stream;
  if (!stream.open(v, length) || !stream.mcus() || !stream.mcusPerRow()) return g;
  JpegStreamState s = stream.start();
  g.total = (stream.mcus() + stream.mcusPerRow() - 1) / stream.mcusPerRow();
  g.end = s.pos;
  JpegZeroRuns zeros(g.end);
  while (g.rows < g.total) {
    const uint32_t until = std::min<uint64_t>(uint64_t(g.rows + 1) * stream.mcusPerRow(), stream.mcus());
    JpegStreamState next = s;
    // (until never passes the last MCU: Done cannot come.)
    if (stream.steps(v, next, until) != JpegStream::Step::Mcu) break;
    const uint64_t end = decodedEnd(v, next);
    if (end > length || zeros.find(v, end) != UINT64_MAX) break;
    s = next;
    g.end = end;
    g.mcus = s.mcu;
    ++g.rows;
  }
  return g;
}

int jpegDecodableShare(View& v, uint64_t length) {
  const JpegGoodRows g = jpegGoodRows(v, length);
  return g.total ? int(uint64_t(g.rows) * 100 / g.total) : -1;
}

bool jpegDataFits(View& v, uint64_t length) {
  JpegStream stream;
  if (!stream.open(v, length)) return true;
  JpegStreamState s = stream.start();
  for (;;) {
    JpegStream::Step st = stream.steps(v, s, UINT32_MAX);
    if (st == JpegStream::Step::Done) return s.pos < length;
    if (st == JpegStream::Step::Error) return false;
  }
}

}  // namespace qv
