// The entropy-coded data of a baseline JPEG, decoded one MCU at a time
// without computing any pixels, from a state that can be kept and taken up
// again. Besides every code existing and every block fitting in 64
// coefficients, each DC value must stay within what the sample precision
// allows, which data spliced in from elsewhere soon breaks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "view.h"

namespace qv {

// Holds every byte before pos that it still needs (up to 8 are fetched
// ahead), none after: it may be taken up on another view that has the same
// bytes up to pos.
struct JpegStreamState {
  uint64_t pos = 0;  // next byte to fetch
  uint64_t acc = 0;  // fetched bits not yet decoded, from the top bit down; the rest 0
  int bits = 0;      // how many
  uint32_t mcu = 0;  // MCUs decoded
  int expectRst = 0;
  int dc[4] = {0, 0, 0, 0};
};

// Told each block's DC coefficient as it is decoded, dequantised: the
// block's mean sample is dc / 8 + 128.
class JpegDcBlocks {
 public:
  virtual ~JpegDcBlocks() = default;
  // comp: the component's place in the frame; block: its place in the MCU,
  // row by row.
  virtual void onBlock(int comp, int block, int dc) = 0;
};

class JpegStream {
 public:
  enum class Step { Mcu, Done, Error };
  struct Component {
    int id, h, v, tq;
  };

  // Reads the headers up to the first scan. False unless the picture is a
  // baseline one whose first scan holds every component, all in one piece.
  bool open(View& v, uint64_t headerLimit);
  // Where the entropy-coded data starts.
  const JpegStreamState& start() const { return start_; }
  uint32_t mcus() const { return mcus_; }
  // MCUs across the picture: the one below MCU n is n + mcusPerRow().
  uint32_t mcusPerRow() const { return mcusPerRow_; }
  // One MCU. Done: every MCU has been decoded and a marker that may end the
  // scan follows at s.pos. Error: the data stopped fitting at most 8 bytes
  // before s.pos (bits are fetched ahead).
  Step step(View& v, JpegStreamState& s) const { return steps(v, s, s.mcu + 1); }
  // MCUs until s.mcu reaches `until`, as step() one by one but faster:
  // Mcu when it has, else Done or Error.
  Step steps(View& v, JpegStreamState& s, uint32_t until) const;
  // The same, telling dcs of every block.
  Step steps(View& v, JpegStreamState& s, uint32_t until, JpegDcBlocks& dcs) const;

  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }
  const std::vector<Component>& components() const { return comps_; }
  int maxH() const { return hmax_; }
  int maxV() const { return vmax_; }
  // The colour transform of an Adobe APP14 segment (0: none, the samples
  // are RGB or CMYK; 1: YCbCr; 2: YCCK), or -1 without one.
  int adobeTransform() const { return adobeTransform_; }

 private:
  // Codes of up to this many bits are decoded by one table look-up.
  static constexpr int kFastBits = 9;
  // AC codes are skipped by the next this many bits, several at a time.
  static constexpr int kRunBits = 12;
  struct Code {
    uint8_t length, value;  // length 0: no code
  };
  // The AC codes that the next kRunBits bits hold whole, up to one that ends
  // the block, each with its coefficient's bits (the last one's may reach
  // further). Only where they move in the block matters, so they are
  // skipped at once.
  struct AcRun {
    uint8_t bits;     // to take; 0: none (the first code is longer, or never fits)
    uint8_t advance;  // positions moved in the block
    uint8_t room;     // positions moved before the last code; the run holds if that stays in the block
    uint8_t end;      // the last code ends the block
  };
  struct Huffman {
    bool present = false;
    int mincode[17], maxcode[18], valptr[17];
    uint8_t values[256];
    Code fast[1 << kFastBits];  // by the next kFastBits bits; length 0 if longer
    std::vector<AcRun> runs;    // by the next kRunBits bits, for an AC table
    bool build(const uint8_t* bits, const uint8_t* vals, int count);
    void buildRuns();
    // The code at the head of 16 bits.
    Code code(uint32_t next16) const {
      const Code c = fast[next16 >> (16 - kFastBits)];
      return c.length ? c : longCode(next16);
    }
    Code longCode(uint32_t next16) const;
  };
  struct Part {
    int dc, ac, blocks, quant, comp;
  };
  template <class OnBlock>
  Step decode(View& v, JpegStreamState& s, uint32_t until, OnBlock onBlock) const;
  bool frame(const std::vector<uint8_t>& b);
  bool tables(const std::vector<uint8_t>& b);
  bool quant(const std::vector<uint8_t>& b);
  bool scan(const std::vector<uint8_t>& b);

  Huffman huff_[2][4];
  int quant_[4] = {0, 0, 0, 0};  // DC step of each table, 0 if absent
  std::vector<Component> comps_;
  std::vector<Part> parts_;
  uint32_t width_ = 0, height_ = 0, restart_ = 0, mcus_ = 0, mcusPerRow_ = 0;
  int precision_ = 8, hmax_ = 1, vmax_ = 1, adobeTransform_ = -1;
  JpegStreamState start_;
};

// For a whole-looking JPEG: false only when its data is of a kind the
// stream decodes and does not decode to its end (data from elsewhere,
// spliced in where the picture's own was lost).
bool jpegDataFits(View& v, uint64_t length);

// The whole MCU rows of a JPEG that decode, from the first on, before its
// data stops fitting or reaches a run of kJpegZeroRun zero bytes: zeros
// decode cleanly for ever with most tables (blocks full of ones) but are
// never entropy-coded data, so a zeroed stretch ends the good part as a
// fault does. Only what lies within the first `length` bytes counts.
constexpr size_t kJpegZeroRun = 32;

// Finds runs of kJpegZeroRun zero bytes in a view, looking at each byte
// once as the end moves on.
class JpegZeroRuns {
 public:
  explicit JpegZeroRuns(uint64_t from) : pos_(from) {}
  // Where the first run that lies before `to` starts; UINT64_MAX if none.
  uint64_t find(View& v, uint64_t to);

 private:
  uint64_t pos_;
  size_t run_ = 0;
};
struct JpegGoodRows {
  uint32_t rows = 0;   // whole rows that decode
  uint32_t total = 0;  // rows of the frame; 0: of a kind the stream does not decode
  uint32_t mcus = 0;   // MCUs in the rows that decode
  // The byte after the last one that holds bits of those rows (the headers'
  // end when none decodes).
  uint64_t end = 0;
};
JpegGoodRows jpegGoodRows(View& v, uint64_t length);

// How much of a JPEG decodes: its good rows (jpegGoodRows) in percent of
// its rows (100 when every MCU decodes); -1 when it is of a kind the
// stream does not decode.
int jpegDecodableShare(View& v, uint64_t length);

}  // namespace qv
