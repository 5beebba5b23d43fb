// The entropy-coded data of a baseline JPEG, decoded one MCU at a time
// without computing any pixels, from a state that can be kept and taken up
// again. Besides every code existing and every block fitting in 64
// coefficients, each DC value must stay within what the sample precision
// allows, which data spliced in from elsewhere soon breaks.
#pragma once
#include <cstdint>
#include <vector>

#include "view.h"

namespace qv {

struct JpegStreamState {
  uint64_t pos = 0;  // next byte to fetch
  uint32_t acc = 0;
  int bits = 0;
  uint32_t mcu = 0;  // MCUs decoded
  int expectRst = 0;
  int dc[4] = {0, 0, 0, 0};
};

class JpegStream {
 public:
  enum class Step { Mcu, Done, Error };

  // Reads the headers up to the first scan. False unless the picture is a
  // baseline one whose first scan holds every component, all in one piece.
  bool open(View& v, uint64_t headerLimit);
  // Where the entropy-coded data starts.
  const JpegStreamState& start() const { return start_; }
  uint32_t mcus() const { return mcus_; }
  // One MCU. Done: every MCU has been decoded and a marker that may end the
  // scan follows at s.pos. Error: s.pos is where the data stopped fitting.
  Step step(View& v, JpegStreamState& s) const;

 private:
  struct Huffman {
    bool present = false;
    int mincode[17], maxcode[18], valptr[17];
    uint8_t values[256];
    uint16_t fast[256];  // by the next 8 bits: code length << 8 | value, 0 if longer
    bool build(const uint8_t* bits, const uint8_t* vals, int count);
  };
  struct Part {
    int dc, ac, blocks, quant, comp;
  };
  bool frame(const std::vector<uint8_t>& b);
  bool tables(const std::vector<uint8_t>& b);
  bool quant(const std::vector<uint8_t>& b);
  bool scan(const std::vector<uint8_t>& b);

  Huffman huff_[2][4];
  int quant_[4] = {0, 0, 0, 0};  // DC step of each table, 0 if absent
  struct Comp {
    int id, h, v, tq;
  };
  std::vector<Comp> comps_;
  std::vector<Part> parts_;
  uint32_t width_ = 0, height_ = 0, restart_ = 0, mcus_ = 0;
  int precision_ = 8, hmax_ = 1, vmax_ = 1;
  JpegStreamState start_;
};

// For a whole-looking JPEG: false only when its data is of a kind the
// stream decodes and does not decode to its end (data from elsewhere,
// spliced in where the picture's own was lost).
bool jpegDataFits(View& v, uint64_t length);

}  // namespace qv
