#include "jpeg_dc_picture.h"

#include <algorithm>

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

// Each component's block means, on the component's own grid of blocks.
class Planes : public JpegDcBlocks {
 public:
  explicit Planes(const JpegStream& stream)
      : perRow_(stream.mcusPerRow()),
        hmax_(stream.components().size() == 1 ? 1 : stream.maxH()),
        vmax_(stream.components().size() == 1 ? 1 : stream.maxV()) {
    const uint32_t rows = stream.mcus() / perRow_;
    for (const JpegStream::Component& c : stream.components()) {
      const int h = across(stream, c), v = down(stream, c);
      planes_.push_back(Plane{perRow_ * uint32_t(h), h, v, {}});
      planes_.back().means.assign(size_t(perRow_) * h * rows * v, 128);
      perMcu_ += h * v;
    }
  }

  void onBlock(int comp, int block, int dc) override {
    Plane& p = planes_[size_t(comp)];
    const uint32_t mcu = uint32_t(seen_++ / uint64_t(perMcu_));
    const uint32_t x = mcu % perRow_ * uint32_t(p.h) + uint32_t(block % p.h);
    const uint32_t y = mcu / perRow_ * uint32_t(p.v) + uint32_t(block / p.h);
    // The mean of the block's 64 samples, rounded as an 8 x 8 inverse DCT
    // of the DC alone would give it.
    p.means[size_t(y) * p.width + x] = clamp255(((dc + 4) >> 3) + 128);
  }

  // The mean at a pixel of the eighth-sized picture.
  uint8_t at(size_t comp, uint32_t x, uint32_t y) const {
    const Plane& p = planes_[comp];
    return p.means[size_t(y * uint32_t(p.v) / vmax_) * p.width + x * uint32_t(p.h) / hmax_];
  }

 private:
  struct Plane {
    uint32_t width;
    int h, v;
    std::vector<uint8_t> means;
  };
  const uint32_t perRow_, hmax_, vmax_;
  std::vector<Plane> planes_;
  int perMcu_ = 0;
  uint64_t seen_ = 0;
};

}  // namespace

bool jpegDcPicture(View& v, uint64_t length, DcPicture& out, bool partial) {
  JpegStream stream;
  if (!stream.open(v, length)) return false;
  const auto& comps = stream.components();
  if (comps.size() != 1 && comps.size() != 3) return false;
  // Every block takes at least two bits (a DC code and an end of block):
  // sizes the data cannot hold are refused before anything is set aside.
  uint64_t blocks = 0;
  for (const JpegStream::Component& c : comps) blocks += uint64_t(across(stream, c) * down(stream, c));
  if (blocks * stream.mcus() > length * 4) return false;

  Planes planes(stream);
  JpegStreamState s = stream.start();
  // The eighth-sized rows that hold good data: each MCU row gives maxV of them.
  uint32_t goodRows = UINT32_MAX;
  if (stream.steps(v, s, UINT32_MAX, planes) != JpegStream::Step::Done || s.pos > length) {
    // Data that does not belong may fit for a while before the check
    // notices: the row the data stopped fitting in and the one before it
    // may hold wrong values already, and are left grey.
    const uint32_t mcuRows = s.mcu / stream.mcusPerRow();
    if (!partial || mcuRows < 2) return false;
    goodRows = (mcuRows - 1) * uint32_t(comps.size() == 1 ? 1 : stream.maxV());
  }

  const bool rgb = comps.size() == 3 && (stream.adobeTransform() == 0 ||
                                         (stream.adobeTransform() < 0 && comps[0].id == 'R' &&
                                          comps[1].id == 'G' && comps[2].id == 'B'));
  out.width = (stream.width() + 7) / 8;
  out.height = (stream.height() + 7) / 8;
  out.rgb.resize(size_t(out.width) * out.height * 3);
  uint8_t* p = out.rgb.data();
  for (uint32_t y = 0; y < out.height; ++y)
    for (uint32_t x = 0; x < out.width; ++x, p += 3) {
      if (y >= goodRows) {
        p[0] = p[1] = p[2] = 128;
        continue;
      }
      const int a = planes.at(0, x, y);
      if (comps.size() == 1) {
        p[0] = p[1] = p[2] = uint8_t(a);
        continue;
      }
      const int b = planes.at(1, x, y), c = planes.at(2, x, y);
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
  return true;
}

}  // namespace qv
