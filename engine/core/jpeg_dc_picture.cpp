// The eighth-sized picture from the DC coefficients (jpeg_dc_picture.h).
// Longer than most files here (about 550 lines): the baseline and the
// progressive readers paint the same planes, and the progressive one's DC
// scans need their own small bit reader and code tables.
#include "jpeg_dc_picture.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "jpeg_stream.h"

namespace qv {
namespace {

uint8_t clamp255(int x) { return uint8_t(std::min(255, std::max(0, x))); }

// A component's blocks across and down an MCU: a scan of one component has
// one block to an MCU, whatever the frame says.
int across(const JpegStream& stream, const JpegStream::Component& c) {
  return stream.components().size() == 1 ? 1 : c.h;
}
int down(const JpegStream& stream, const JpegStream::Component& c) {
  return stream.components().size() == 1 ? 1 : c.v;
}

// Each component's block means, on the component's own grid of blocks: h x v
// blocks of it to an MCU of hmax x vmax eighth-sized pixels.
class Planes {
 public:
  struct Layout {
    uint32_t blocksAcross, blocksDown;
    int h, v;
  };
  Planes(const std::vector<Layout>& layouts, int hmax, int vmax) : hmax_(uint32_t(hmax)), vmax_(uint32_t(vmax)) {
    for (const Layout& l : layouts) {
      planes_.push_back(Plane{l.blocksAcross, l.h, l.v, {}});
      planes_.back().means.assign(size_t(l.blocksAcross) * l.blocksDown, 128);
    }
  }

  // The block's dequantised DC: its 64 samples' mean, rounded as an 8 x 8
  // inverse DCT of the DC alone would give it.
  void set(size_t comp, uint32_t x, uint32_t y, int dc) {
    Plane& p = planes_[comp];
    p.means[size_t(y) * p.width + x] = clamp255(((dc + 4) >> 3) + 128);
  }

  // The means of the eighth-sized picture's row y, pixel by pixel: the
  // plane's row under it, and the place in that row under each pixel
  // (columns(), made once for a picture `width` pixels wide).
  const uint8_t* row(size_t comp, uint32_t y) const {
    const Plane& p = planes_[comp];
    return p.means.data() + size_t(y * uint32_t(p.v) / vmax_) * p.width;
  }
  std::vector<uint32_t> columns(size_t comp, uint32_t width) const {
    std::vector<uint32_t> x(width);
    for (uint32_t i = 0; i < width; ++i) x[i] = i * uint32_t(planes_[comp].h) / hmax_;
    return x;
  }

 private:
  struct Plane {
    uint32_t width;
    int h, v;
    std::vector<uint8_t> means;
  };
  const uint32_t hmax_, vmax_;
  std::vector<Plane> planes_;
};

// A baseline scan's blocks, MCU by MCU, onto the planes.
// The stream tells each MCU's blocks in order, component by component, so
// the MCU's place moves on by one when the first component's first block
// comes (no division a block: a photo has hundreds of thousands).
class McuBlocks : public JpegDcBlocks {
 public:
  McuBlocks(const JpegStream& stream, Planes& planes) : planes_(planes), perRow_(stream.mcusPerRow()) {
    for (const JpegStream::Component& c : stream.components()) shape_.push_back({across(stream, c), down(stream, c)});
  }
  void onBlock(int comp, int block, int dc) override {
    if (comp == 0 && block == 0 && started_ && ++mx_ == perRow_) mx_ = 0, ++my_;
    started_ = true;
    const Shape& c = shape_[size_t(comp)];
    const int down = block >= c.h ? block / c.h : 0;
    planes_.set(size_t(comp), mx_ * uint32_t(c.h) + uint32_t(block - down * c.h), my_ * uint32_t(c.v) + uint32_t(down),
                dc);
  }

 private:
  struct Shape {
    int h, v;
  };
  Planes& planes_;
  const uint32_t perRow_;
  std::vector<Shape> shape_;
  uint32_t mx_ = 0, my_ = 0;  // the MCU's place
  bool started_ = false;
};

// The eighth-sized picture from the planes: rows from goodRows on grey.
// rgb: three components that are red, green and blue rather than YCbCr.
void paint(const Planes& planes, size_t comps, bool rgb, uint32_t goodRows, DcPicture& out) {
  uint8_t* p = out.rgb.data();
  std::vector<uint32_t> cols[3];
  for (size_t k = 0; k < comps; ++k) cols[k] = planes.columns(k, out.width);
  for (uint32_t y = 0; y < out.height; ++y) {
    const uint8_t* rows[3] = {planes.row(0, y), nullptr, nullptr};
    for (size_t k = 1; k < comps; ++k) rows[k] = planes.row(k, y);
    for (uint32_t x = 0; x < out.width; ++x, p += 3) {
      if (y >= goodRows) {
        p[0] = p[1] = p[2] = 128;
        continue;
      }
      const int a = rows[0][cols[0][x]];
      if (comps == 1) {
        p[0] = p[1] = p[2] = uint8_t(a);
        continue;
      }
      const int b = rows[1][cols[1][x]], c = rows[2][cols[2][x]];
      if (rgb) {
        p[0] = uint8_t(a), p[1] = uint8_t(b), p[2] = uint8_t(c);
        continue;
      }
      // YCbCr as JFIF defines it, in 16-bit fixed point.
      const int cb = b - 128, cr = c - 128;
      p[0] = clamp255(a + ((91881 * cr + 32768) >> 16));
      p[1] = clamp255(a + ((-22554 * cb - 46802 * cr + 32768) >> 16));
      p[2] = clamp255(a + ((116130 * cb + 32768) >> 16));
    }
  }
}

// Samples of three components are RGB with an Adobe segment saying no
// transform, or without one when the components are named R, G and B.
bool isRgb(size_t comps, int adobeTransform, const int* ids) {
  return comps == 3 && (adobeTransform == 0 || (adobeTransform < 0 && ids[0] == 'R' && ids[1] == 'G' && ids[2] == 'B'));
}

// --- A progressive JPEG's first scans ---------------------------------
//
// A progressive JPEG sends each component's DC coefficients first, in scans
// of their own (spectral selection 0 to 0), possibly without their low bits
// (successive approximation: the point transform Al shifts them right, and
// later scans refine them a bit at a time). The eighth-sized picture needs
// those first scans alone, which lie at the start of the data: the rest of
// the file, the AC coefficients and refinements, is never read.

// A DC table's canonical codes. A DC scan holds one short code a block;
// codes of up to kFastBits bits are found by one look-up, longer ones by
// walking the lengths.
struct DcCodes {
  static constexpr int kFastBits = 9;
  struct Fast {
    uint8_t length, value;  // length 0: longer than kFastBits, or no code
  };
  bool present = false;
  int mincode[17], maxcode[17], valptr[17];
  uint8_t values[256];
  Fast fast[1 << kFastBits];

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
    if (k != count || k > 256) return false;
    std::copy(vals, vals + count, values);
    std::fill(std::begin(fast), std::end(fast), Fast{0, 0});
    for (int l = 1, n = 0, c = 0; l <= kFastBits; ++l, c <<= 1)
      for (int i = 0; i < bits[l - 1]; ++i, ++n, ++c)
        for (int low = 0; low < (1 << (kFastBits - l)); ++low)
          fast[c << (kFastBits - l) | low] = Fast{uint8_t(l), vals[n]};
    present = true;
    return true;
  }

  // The code at the head of 16 bits: its length (0: none) and value.
  Fast at(uint32_t next16) const {
    const Fast f = fast[next16 >> (16 - kFastBits)];
    if (f.length) return f;
    for (int l = kFastBits + 1; l <= 16; ++l) {
      const int c = int(next16 >> (16 - l));
      if (c <= maxcode[l]) return Fast{uint8_t(l), values[valptr[l] + c - mincode[l]]};
    }
    return Fast{0, 0};
  }
};

// The entropy-coded bits from a position on, byte stuffing undone. A
// marker or the end of the first `length` bytes ends them: reading on
// there fails. Bytes are fetched ahead into a 64-bit word (never past a
// marker), the bits taken from its top.
class ScanBits {
 public:
  ScanBits(View& v, uint64_t length, uint64_t pos) : v_(v), length_(length), pos_(pos) {}

  // The next n bits (0 to 16) as a number, or -1.
  int bits(int n) {
    if (held_ < n) fill();
    if (held_ < n) return -1;
    const int x = n ? int(acc_ >> (64 - n)) : 0;
    take(n);
    return x;
  }
  // The code at the head of the bits, or -1.
  int code(const DcCodes& t) {
    if (held_ < 16) fill();
    const DcCodes::Fast c = t.at(uint32_t(acc_ >> 48));
    if (!c.length || c.length > held_) return -1;
    take(c.length);
    return c.value;
  }
  // Before a marker, the last byte's unused bits pad it with 1s. Drops
  // them; false if they are not 1s, or if whole bytes are left.
  bool dropPadding() {
    const bool ones = held_ < 8 && (held_ == 0 || acc_ >> (64 - held_) == (1u << held_) - 1);
    acc_ = 0, held_ = 0;
    return ones;
  }
  // The marker that follows (its second byte), or -1 if none does.
  int marker() { return byteAt(pos_) == 0xFF ? byteAt(pos_ + 1) : -1; }
  uint64_t pos() const { return pos_; }
  void skip(uint64_t n) { pos_ += n; }

 private:
  void take(int n) {
    acc_ <<= n;
    held_ -= n;
  }
  // Tops the bits up to 57 or more; fewer only before a marker or the end.
  void fill() {
    while (held_ <= 56) {
      const int c = byteAt(pos_);
      if (c < 0) return;
      if (c == 0xFF) {
        if (byteAt(pos_ + 1) != 0x00) return;  // a marker
        pos_ += 2;
      } else {
        pos_ += 1;
      }
      acc_ |= uint64_t(c) << (56 - held_);
      held_ += 8;
    }
  }
  int byteAt(uint64_t pos) {
    if (pos >= length_) return -1;
    if (pos - start_ >= size_) {
      size_t avail = 0;
      const uint8_t* p = v_.at(pos, avail);
      if (!p) return -1;
      p_ = p, start_ = pos, size_ = avail;
    }
    return p_[pos - start_];
  }

  View& v_;
  const uint64_t length_;
  uint64_t pos_;     // next byte to fetch
  uint64_t acc_ = 0;  // bits fetched, from the top bit down; the rest 0
  int held_ = 0;
  const uint8_t* p_ = nullptr;
  uint64_t start_ = 0, size_ = 0;  // pos - start_ >= size_ (unsigned) for every pos outside
};

class ProgressiveDc {
 public:
  ProgressiveDc(View& v, uint64_t length) : v_(v), length_(length) {}

  bool run(DcPicture& out, bool partial) {
    if (!headers() || comps_.empty() || !scan_) return false;
    if (comps_.size() != 1 && comps_.size() != 3) return false;
    // A single component is coded a block at a time whatever its sampling.
    if (comps_.size() == 1) comps_[0].h = comps_[0].v = hmax_ = vmax_ = 1;
    mcusAcross_ = ceilDiv(width_, 8u * uint32_t(hmax_));
    mcusDown_ = ceilDiv(height_, 8u * uint32_t(vmax_));
    // Each block takes at least a bit of its first scan: sizes the data
    // cannot hold are refused before anything is set aside.
    uint64_t blocks = 0;
    std::vector<Planes::Layout> layouts;
    for (const Comp& c : comps_) {
      layouts.push_back(Planes::Layout{mcusAcross_ * uint32_t(c.h), mcusDown_ * uint32_t(c.v), c.h, c.v});
      blocks += uint64_t(c.blocksAcross(*this)) * c.blocksDown(*this);
    }
    if (blocks > length_ * 8) return false;
    planes_.reset(new Planes(layouts, hmax_, vmax_));

    // Scan after scan until every component has its DC; the first that is
    // not a first DC scan means the picture is not sent that way.
    bool whole = true;
    for (;;) {
      if (!firstDcScan()) return false;
      if (!decodeScan()) {
        whole = false;
        break;
      }
      if (std::all_of(comps_.begin(), comps_.end(), [](const Comp& c) { return c.done; })) break;
      if (!headers() || !scan_) return false;
    }
    uint32_t goodRows = UINT32_MAX;
    if (!whole) {
      if (!partial) return false;
      for (const Comp& c : comps_) {
        if (!c.goodRows) return false;
        goodRows = std::min(goodRows, ceilDiv(c.goodRows * uint32_t(vmax_), uint32_t(c.v)));
      }
    }
    int ids[3] = {comps_[0].id, 0, 0};
    if (comps_.size() == 3) ids[1] = comps_[1].id, ids[2] = comps_[2].id;
    out.width = (width_ + 7) / 8;
    out.height = (height_ + 7) / 8;
    out.rgb.resize(size_t(out.width) * out.height * 3);
    paint(*planes_, comps_.size(), isRgb(comps_.size(), adobeTransform_, ids), goodRows, out);
    return true;
  }

 private:
  struct Comp {
    int id, h, v, tq;
    bool done = false;
    uint32_t goodRows = 0;  // rows of blocks decoded and trusted
    // The blocks a scan of this component alone holds: those the picture
    // covers, not padded to whole MCUs.
    uint32_t blocksAcross(const ProgressiveDc& p) const {
      return ceilDiv(ceilDiv(p.width_ * uint32_t(h), uint32_t(p.hmax_)), 8);
    }
    uint32_t blocksDown(const ProgressiveDc& p) const {
      return ceilDiv(ceilDiv(p.height_ * uint32_t(v), uint32_t(p.vmax_)), 8);
    }
  };
  struct ScanPart {
    size_t comp;
    int table;
  };

  static uint32_t ceilDiv(uint32_t a, uint32_t b) { return uint32_t((uint64_t(a) + b - 1) / b); }

  // The segments up to the next scan's header, which it takes in; false on
  // anything unexpected, or at the picture's end.
  bool headers() {
    scan_ = false;
    uint8_t h[4];
    if (pos_ == 0) {
      if (!v_.read(0, h, 2) || h[0] != 0xFF || h[1] != 0xD8) return false;
      pos_ = 2;
    }
    while (pos_ + 4 <= length_) {
      if (!v_.read(pos_, h, 2) || h[0] != 0xFF) return false;
      const int m = h[1];
      if (m == 0xFF) {
        ++pos_;
        continue;
      }
      if (m == 0xD9 || m == 0x00 || (m >= 0xD0 && m <= 0xD8) || !v_.read(pos_ + 2, h + 2, 2)) return false;
      const uint32_t len = be16(h + 2);
      if (len < 2 || pos_ + 2 + len > length_) return false;
      std::vector<uint8_t> body(len - 2);
      if (!v_.read(pos_ + 4, body.data(), body.size())) return false;
      pos_ += 2 + len;
      const bool frameMarker = m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
      if (frameMarker && (m != 0xC2 || !frame(body))) return false;
      if (m == 0xCC) return false;  // arithmetic coding
      if (m == 0xC4 && !tables(body)) return false;
      if (m == 0xDB && !quant(body)) return false;
      if (m == 0xEE && body.size() >= 12 && std::equal(body.begin(), body.begin() + 5, "Adobe"))
        adobeTransform_ = body[11];
      if (m == 0xDD) {
        if (body.size() != 2) return false;
        restart_ = be16(body.data());
      }
      if (m == 0xDA) {
        if (comps_.empty()) return false;
        scanHeader_ = body;
        scan_ = true;
        return true;
      }
    }
    return false;
  }

  bool frame(const std::vector<uint8_t>& b) {
    if (b.size() < 6 || !comps_.empty()) return false;
    height_ = be16(&b[1]);
    width_ = be16(&b[3]);
    const int n = b[5];
    if (b[0] != 8 || !height_ || !width_ || n < 1 || n > 4 || b.size() != 6u + 3u * n) return false;
    for (int i = 0; i < n; ++i) {
      Comp c{b[6 + 3 * i], b[7 + 3 * i] >> 4, b[7 + 3 * i] & 15, b[8 + 3 * i]};
      if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4 || c.tq > 3) return false;
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
      const int cls = b[i] >> 4, id = b[i] & 15;
      if (cls > 1 || id > 3) return false;
      int count = 0;
      for (int k = 0; k < 16; ++k) count += b[i + 1 + k];
      if (i + 17 + size_t(count) > b.size()) return false;
      // AC tables are not needed here; they are only checked for size.
      if (cls == 0 && !dc_[id].build(&b[i + 1], &b[i + 17], count)) return false;
      i += 17 + size_t(count);
    }
    return true;
  }

  bool quant(const std::vector<uint8_t>& b) {
    size_t i = 0;
    while (i < b.size()) {
      const int wide = b[i] >> 4, id = b[i] & 15;
      const size_t n = wide ? 128 : 64;
      if (wide > 1 || id > 3 || i + 1 + n > b.size()) return false;
      quant_[id] = wide ? be16(&b[i + 1]) : b[i + 1];
      i += 1 + n;
    }
    return true;
  }

  // Takes in the scan's header: true for a first DC scan of components
  // that have had none.
  bool firstDcScan() {
    const std::vector<uint8_t>& b = scanHeader_;
    if (b.empty()) return false;
    const size_t ns = b[0];
    if (ns < 1 || ns > comps_.size() || b.size() != 4 + 2 * ns) return false;
    parts_.clear();
    int blocksPerMcu = 0;
    for (size_t i = 0; i < ns; ++i) {
      const int id = b[1 + 2 * i], td = b[2 + 2 * i] >> 4;
      size_t c = comps_.size();
      for (size_t k = 0; k < comps_.size(); ++k)
        if (comps_[k].id == id) c = k;
      if (c == comps_.size() || comps_[c].done || td > 3 || !dc_[td].present || !quant_[comps_[c].tq]) return false;
      for (const ScanPart& p : parts_)
        if (p.comp == c) return false;
      parts_.push_back(ScanPart{c, td});
      blocksPerMcu += comps_[c].h * comps_[c].v;
    }
    if (ns > 1 && blocksPerMcu > 10) return false;
    const int ss = b[1 + 2 * ns], se = b[2 + 2 * ns], ah = b[3 + 2 * ns] >> 4;
    al_ = b[3 + 2 * ns] & 15;
    return ss == 0 && se == 0 && ah == 0 && al_ <= 13;
  }

  // Decodes the scan whose header was taken in, up to the marker after it;
  // false where the data stops fitting (the components keep the rows
  // decoded before).
  bool decodeScan() {
    const bool interleaved = parts_.size() > 1;
    const Comp& only = comps_[parts_[0].comp];
    const uint32_t across = interleaved ? mcusAcross_ : only.blocksAcross(*this);
    const uint32_t down = interleaved ? mcusDown_ : only.blocksDown(*this);
    const uint64_t mcus = uint64_t(across) * down;
    ScanBits bits(v_, length_, pos_);
    int pred[4] = {0, 0, 0, 0};
    int expectRst = 0;
    uint64_t mcu = 0;  // decoded whole
    uint32_t mx = 0, my = 0;  // its place, moved on with it (no division an MCU)
    bool fits = true;
    for (; mcu < mcus && fits; mcu += fits, mx = mx + 1 == across ? 0 : mx + 1, my += mx == 0) {
      if (restart_ && mcu && mcu % restart_ == 0) {
        if (!bits.dropPadding() || bits.marker() != 0xD0 + expectRst) {
          fits = false;
          break;
        }
        bits.skip(2);
        expectRst = (expectRst + 1) & 7;
        for (int& p : pred) p = 0;
      }
      for (size_t k = 0; k < parts_.size() && fits; ++k) {
        const size_t ci = parts_[k].comp;
        const Comp& c = comps_[ci];
        const int h = interleaved ? c.h : 1, v = interleaved ? c.v : 1;
        for (int block = 0; block < h * v && fits; ++block) {
          const int t = bits.code(dc_[parts_[k].table]);
          const int diff = t >= 0 && t <= 11 ? bits.bits(t) : -1;
          if (diff < 0) {
            fits = false;
            break;
          }
          pred[k] += t && diff < (1 << (t - 1)) ? diff - (1 << t) + 1 : diff;
          // The low Al bits are not sent yet: the coefficient lies between
          // pred << Al and that plus 2^Al - 1; its middle is taken.
          // |DC| of an 8-bit picture is at most 1024, before quantisation.
          const int64_t q = quant_[c.tq], step = int64_t(1) << al_;
          if (std::abs(int64_t(pred[k])) * step * q > 1024 + step * q) {
            fits = false;
            break;
          }
          const int dc = int(pred[k] * step * q + (step - 1) * q / 2);
          planes_->set(ci, mx * uint32_t(h) + uint32_t(block % h), my * uint32_t(v) + uint32_t(block / h), dc);
        }
      }
    }
    if (fits) {
      // Padding to the byte must be 1 bits, then a marker other than RST.
      const int m = bits.dropPadding() ? bits.marker() : -1;
      if (m > 0 && !(m >= 0xD0 && m <= 0xD7)) {
        for (const ScanPart& p : parts_) {
          comps_[p.comp].done = true;
          comps_[p.comp].goodRows = UINT32_MAX / 8;
        }
        pos_ = bits.pos();
        return true;
      }
    }
    // Data that does not belong may fit for a while before the check
    // notices: the row of MCUs it stopped fitting in and the one before it
    // may hold wrong values already.
    const uint32_t rows = uint32_t(mcu / across);
    for (const ScanPart& p : parts_) {
      const Comp& c = comps_[p.comp];
      comps_[p.comp].goodRows = rows >= 2 ? (rows - 1) * uint32_t(interleaved ? c.v : 1) : 0;
    }
    return false;
  }

  View& v_;
  const uint64_t length_;
  uint64_t pos_ = 0;
  std::vector<Comp> comps_;
  DcCodes dc_[4];
  int quant_[4] = {0, 0, 0, 0};  // DC step of each table, 0 if absent
  uint32_t width_ = 0, height_ = 0, restart_ = 0, mcusAcross_ = 0, mcusDown_ = 0;
  int hmax_ = 1, vmax_ = 1, adobeTransform_ = -1, al_ = 0;
  bool scan_ = false;
  std::vector<uint8_t> scanHeader_;
  std::vector<ScanPart> parts_;
  std::unique_ptr<Planes> planes_;
};

bool progressiveDcPicture(View& v, uint64_t length, DcPicture& out, bool partial) {
  return ProgressiveDc(v, length).run(out, partial);
}

}  // namespace

bool jpegDcPicture(View& v, uint64_t length, DcPicture& out, bool partial) {
  JpegStream stream;
  if (!stream.open(v, length)) return progressiveDcPicture(v, length, out, partial);
  const auto& comps = stream.components();
  if (comps.size() != 1 && comps.size() != 3) return false;
  // Every block takes at least two bits (a DC code and an end of block):
  // sizes the data cannot hold are refused before anything is set aside.
  uint64_t blocks = 0;
  for (const JpegStream::Component& c : comps) blocks += uint64_t(across(stream, c) * down(stream, c));
  if (blocks * stream.mcus() > length * 4) return false;

  const uint32_t mcuRowsAll = stream.mcus() / stream.mcusPerRow();
  std::vector<Planes::Layout> layouts;
  for (const JpegStream::Component& c : comps) {
    const int h = across(stream, c), v = down(stream, c);
    layouts.push_back(Planes::Layout{stream.mcusPerRow() * uint32_t(h), mcuRowsAll * uint32_t(v), h, v});
  }
  Planes planes(layouts, comps.size() == 1 ? 1 : stream.maxH(), comps.size() == 1 ? 1 : stream.maxV());
  McuBlocks blocksTo(stream, planes);
  JpegStreamState s = stream.start();
  // The eighth-sized rows that hold good data: each MCU row gives maxV of them.
  uint32_t goodRows = UINT32_MAX;
  if (stream.steps(v, s, UINT32_MAX, blocksTo) != JpegStream::Step::Done || s.pos > length) {
    // Data that does not belong may fit for a while before the check
    // notices: the row the data stopped fitting in and the one before it
    // may hold wrong values already, and are left grey.
    const uint32_t mcuRows = s.mcu / stream.mcusPerRow();
    if (!partial || mcuRows < 2) return false;
    goodRows = (mcuRows - 1) * uint32_t(comps.size() == 1 ? 1 : stream.maxV());
  }

  const int ids[3] = {comps[0].id, comps.size() == 3 ? comps[1].id : 0, comps.size() == 3 ? comps[2].id : 0};
  out.width = (stream.width() + 7) / 8;
  out.height = (stream.height() + 7) / 8;
  out.rgb.resize(size_t(out.width) * out.height * 3);
  paint(planes, comps.size(), isRgb(comps.size(), stream.adobeTransform(), ids), goodRows, out);
  return true;
}

}  // namespace qv
