// The JPEG data check against the simple one it replaced (kept in
// jpeg_stream_reference.cpp): the same decision, after the same number of
// MCUs and with the same end, on the sample pictures and on damaged copies
// of them, whether the view hands out its bytes whole or in small pieces,
// and when the state is taken up on another view between MCUs.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "jpeg_stream.h"
#include "jpeg_stream_reference.h"
#include "support.h"

using qvtest::readFile;
using qvtest::StreamOutcome;

namespace {

// The bytes in spans of at most `piece`, as a window hands them out at the
// edges of its blocks.
class PiecesView : public qv::View {
 public:
  PiecesView(const std::vector<uint8_t>& b, size_t piece) : b_(b), piece_(piece) {}
  const uint8_t* at(uint64_t pos, size_t& avail) override {
    if (pos >= b_.size()) return nullptr;
    avail = std::min(piece_, b_.size() - size_t(pos));
    return b_.data() + pos;
  }

 private:
  const std::vector<uint8_t>& b_;
  size_t piece_;
};

std::string describe(const StreamOutcome& o) {
  if (!o.opened) return "not opened";
  return (o.done ? "done at " + std::to_string(o.end) : std::string("error")) + " after " + std::to_string(o.mcu) +
         " MCUs";
}

// Three MCUs at a time, every other three on a second view, from the state
// the first one left.
StreamOutcome alternating(qv::View& a, qv::View& b, uint64_t length) {
  StreamOutcome o;
  qv::JpegStream stream;
  if (!stream.open(a, length)) return o;
  o.opened = true;
  qv::JpegStreamState s = stream.start();
  for (bool first = true;; first = !first) {
    qv::JpegStream::Step st = stream.steps(first ? a : b, s, s.mcu + 3);
    if (st == qv::JpegStream::Step::Mcu) continue;
    o.done = st == qv::JpegStream::Step::Done;
    o.mcu = s.mcu;
    if (o.done) o.end = s.pos;
    return o;
  }
}

// The check decides on b exactly as the reference does; returns its outcome.
StreamOutcome expectAsReference(const std::vector<uint8_t>& b, const std::string& what) {
  using qvtest::runStream;
  qv::MemoryView whole(b.data(), b.size());
  const StreamOutcome ref = runStream<qvref::JpegStream, qvref::JpegStreamState>(whole, b.size());
  PiecesView bytes(b, 1), nines(b, 9), sevens(b, 7);
  const StreamOutcome got[] = {runStream<qv::JpegStream, qv::JpegStreamState>(whole, b.size()),
                               runStream<qv::JpegStream, qv::JpegStreamState>(bytes, b.size()),
                               runStream<qv::JpegStream, qv::JpegStreamState>(nines, b.size()),
                               alternating(whole, sevens, b.size())};
  for (const StreamOutcome& o : got)
    EXPECT_TRUE(o == ref) << what << ": " << describe(o) << ", reference " << describe(ref);
  EXPECT_EQ(qv::jpegDataFits(whole, b.size()), !ref.opened || (ref.done && ref.end < b.size())) << what;
  return ref;
}

// A damaged copy: the kinds of harm that reach the data's edge cases (a
// stray 0xFF, stuffing, restart markers, the padding before the end, data
// cut short or spliced), at a random place in the entropy-coded data.
std::vector<uint8_t> damaged(std::vector<uint8_t> b, size_t dataStart, std::mt19937& rng, std::string& what) {
  const size_t dataEnd = b.size() - 2;
  auto place = [&](size_t from) { return from + rng() % (dataEnd - from); };
  const size_t at = rng() % 4 == 0 ? place(dataEnd > dataStart + 16 ? dataEnd - 16 : dataStart) : place(dataStart);
  const size_t n = 1 + rng() % 3000;
  switch (rng() % 8) {
    case 0:
      what = "bit flipped at " + std::to_string(at);
      b[at] ^= uint8_t(1u << (rng() % 8));
      break;
    case 1:
      what = "0xFF at " + std::to_string(at);
      b[at] = 0xFF;
      break;
    case 2:
      what = "stuffed 0xFF inserted at " + std::to_string(at);
      b.insert(b.begin() + long(at), {0xFF, 0x00});
      break;
    case 3: {
      what = "a stuffed or marker byte changed after " + std::to_string(at);
      auto ff = std::find(b.begin() + long(at), b.begin() + long(dataEnd), 0xFF);
      if (ff + 1 < b.end()) ff[1] = uint8_t(std::vector<int>{0x00, 0x01, 0xD0, 0xD3, 0xD7, 0xD9, 0xFF}[rng() % 7]);
      break;
    }
    case 4:
      what = std::to_string(n) + " bytes cut out at " + std::to_string(at);
      b.erase(b.begin() + long(at), b.begin() + long(std::min(at + n, dataEnd)));
      break;
    case 5:
      what = std::to_string(n) + " bytes overwritten at " + std::to_string(at);
      for (size_t i = at; i < std::min(at + n, dataEnd); ++i) b[i] = uint8_t(rng());
      break;
    case 6:
      what = "cut short at " + std::to_string(at);
      b.resize(at);
      break;
    default:
      what = "last data byte set to " + std::to_string(at & 0xFF);
      b[dataEnd - 1] = uint8_t(at);
      break;
  }
  return b;
}

}  // namespace

TEST(JpegStream, DecidesAsTheSimpleCheckOnPicturesAndDamagedCopies) {
  const std::string names[] = {qvtest::pic("base.jpg"),        qvtest::pic("restart.jpg"),   qvtest::pic("exif.jpg"),
                               qvtest::pic("mpf.jpg"),         qvtest::pic("prog.jpg"),      qvtest::smallPic("tiny.jpg"),
                               qvtest::smallPic("gray.jpg"),   qvtest::smallPic("h2v1.jpg"), qvtest::smallPic("rst_a.jpg")};
  std::mt19937 rng(11);
  int decoded = 0, refused = 0;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> f = readFile(name);
    ASSERT_GT(f.size(), 2u);
    const StreamOutcome whole = expectAsReference(f, "whole");
    if (name.find("prog") != std::string::npos) {
      EXPECT_FALSE(whole.opened);
      continue;
    }
    // Each decodes to the EOI of its (main) image.
    ASSERT_TRUE(whole.done);
    EXPECT_EQ(f[whole.end], 0xFF);
    EXPECT_EQ(f[whole.end + 1], 0xD9);

    qv::MemoryView v(f.data(), f.size());
    qv::JpegStream stream;
    ASSERT_TRUE(stream.open(v, f.size()));
    const size_t dataStart = size_t(stream.start().pos), rounds = f.size() > 100000 ? 15 : 100;
    for (size_t i = 0; i < rounds; ++i) {
      std::string what;
      const std::vector<uint8_t> b = damaged(f, dataStart, rng, what);
      (expectAsReference(b, what).done ? decoded : refused)++;
      if (HasFailure()) return;
    }
  }
  // Both outcomes come up often, so both paths were compared.
  EXPECT_GT(decoded, 50);
  EXPECT_GT(refused, 200);
}
