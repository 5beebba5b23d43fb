// The eighth-sized picture against libjpeg's own at that scale (djpeg
// -scale 1/8 decodes the DC alone; -nosmooth takes each chroma sample as it
// is, as the picture here does), on each layout of the samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "jpeg_dc_picture.h"
#include "support.h"

using qvtest::pic;
using qvtest::readFile;
using qvtest::smallPic;

namespace {

// djpeg's picture as RGB, read from its PPM (or, for grey, PGM) output.
bool libjpegEighth(const std::string& path, qv::DcPicture& out) {
  const std::string cmd = "djpeg -scale 1/8 -nosmooth -pnm '" + path + "'";
  FILE* f = popen(cmd.c_str(), "r");
  if (!f) return false;
  char kind[3] = {};
  unsigned w = 0, h = 0, max = 0;
  const bool header = fscanf(f, "%2s %u %u %u", kind, &w, &h, &max) == 4 && fgetc(f) != EOF;
  const int channels = std::string(kind) == "P6" ? 3 : 1;
  std::vector<uint8_t> raw(size_t(w) * h * channels);
  const bool body = header && fread(raw.data(), 1, raw.size(), f) == raw.size();
  pclose(f);
  if (!body || max != 255) return false;
  out.width = w, out.height = h;
  out.rgb.resize(size_t(w) * h * 3);
  for (size_t i = 0; i < size_t(w) * h; ++i)
    for (int c = 0; c < 3; ++c) out.rgb[3 * i + c] = raw[i * channels + (channels == 3 ? c : 0)];
  return true;
}

}  // namespace

TEST(JpegDcPicture, IsLibjpegsEighthOnEveryLayout) {
  // 2x2 sampling, the same with restarts, grey with restarts at an odd
  // size, 2x1 at full quality, a photo-sized one.
  for (const std::string& path : {pic("base.jpg"), pic("restart.jpg"), smallPic("gray.jpg"), smallPic("h2v1.jpg"),
                                  smallPic("rst_a.jpg")}) {
    SCOPED_TRACE(path);
    const std::vector<uint8_t> bytes = readFile(path);
    qv::MemoryView v(bytes.data(), bytes.size());
    qv::DcPicture mine, theirs;
    ASSERT_TRUE(qv::jpegDcPicture(v, bytes.size(), mine));
    ASSERT_TRUE(libjpegEighth(path, theirs));
    ASSERT_EQ(mine.width, theirs.width);
    ASSERT_EQ(mine.height, theirs.height);
    // libjpeg decodes subsampled chroma at twice the scale (a 2 x 2 inverse
    // DCT) where the picture here has the chroma's DC alone; the two agree
    // in each pixel's brightness and in the mean colour of each
    // chroma-sized cell. Colour conversion may round the other way.
    int worstLuma = 0, worstCell = 0;
    auto luma = [](const qv::DcPicture& p, size_t i) {
      return (299 * p.rgb[3 * i] + 587 * p.rgb[3 * i + 1] + 114 * p.rgb[3 * i + 2] + 500) / 1000;
    };
    for (size_t i = 0; i < size_t(mine.width) * mine.height; ++i)
      worstLuma = std::max(worstLuma, std::abs(luma(mine, i) - luma(theirs, i)));
    for (uint32_t y = 0; y < mine.height; y += 2)
      for (uint32_t x = 0; x < mine.width; x += 2)
        for (int c = 0; c < 3; ++c) {
          int a = 0, b = 0, n = 0;
          for (uint32_t yy = y; yy < std::min(y + 2, mine.height); ++yy)
            for (uint32_t xx = x; xx < std::min(x + 2, mine.width); ++xx, ++n) {
              a += mine.rgb[3 * (size_t(yy) * mine.width + xx) + c];
              b += theirs.rgb[3 * (size_t(yy) * mine.width + xx) + c];
            }
          worstCell = std::max(worstCell, std::abs(a - b) / n);
        }
    EXPECT_LE(worstLuma, 2);
    EXPECT_LE(worstCell, 2);
  }
}

TEST(JpegDcPicture, OnlyWholeBaselineData) {
  const std::vector<uint8_t> bytes = readFile(pic("base.jpg"));
  qv::DcPicture out;
  // Cut short, or cut after the headers.
  for (size_t cut : {bytes.size() / 2, size_t(700)}) {
    qv::MemoryView v(bytes.data(), cut);
    EXPECT_FALSE(qv::jpegDcPicture(v, cut, out)) << cut;
  }
  const std::vector<uint8_t> progressive = readFile(pic("prog.jpg"));
  qv::MemoryView p(progressive.data(), progressive.size());
  EXPECT_FALSE(qv::jpegDcPicture(p, progressive.size(), out));
  // A frame far larger than its data could describe is refused before
  // anything is set aside for it.
  std::vector<uint8_t> huge = bytes;
  for (size_t i = 2; i + 9 < huge.size(); ++i)
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) huge[i + 5] = huge[i + 6] = huge[i + 7] = huge[i + 8] = 0xFF;
  qv::MemoryView h(huge.data(), huge.size());
  EXPECT_FALSE(qv::jpegDcPicture(h, huge.size(), out));
}

// A photo whose second half was overwritten: asked for what decodes, it
// gives the whole picture's rows above the damage and grey below; a file
// cut before its first row ends gives nothing even then.
TEST(JpegDcPicture, PartOfADamagedPhotoIsItsGoodRowsAndGreyBelow) {
  const std::vector<uint8_t> bytes = readFile(pic("base.jpg"));
  qv::DcPicture whole;
  qv::MemoryView all(bytes.data(), bytes.size());
  ASSERT_TRUE(qv::jpegDcPicture(all, bytes.size(), whole));
  ASSERT_GE(whole.height, 8u);

  for (unsigned seed = 1; seed <= 12; ++seed) {
    std::vector<uint8_t> damaged = bytes;
    std::mt19937 noise(seed);
    for (size_t i = damaged.size() / 2; i + 2 < damaged.size(); ++i) damaged[i] = uint8_t(noise() & 0x7F);
    qv::MemoryView v(damaged.data(), damaged.size());
    qv::DcPicture part;
    EXPECT_FALSE(qv::jpegDcPicture(v, damaged.size(), part));
    ASSERT_TRUE(qv::jpegDcPicture(v, damaged.size(), part, true)) << seed;
    ASSERT_EQ(part.width, whole.width);
    ASSERT_EQ(part.height, whole.height);
    const size_t row = size_t(whole.width) * 3;
    size_t good = 0;
    while (good < whole.height && std::equal(part.rgb.begin() + good * row, part.rgb.begin() + (good + 1) * row,
                                             whole.rgb.begin() + good * row))
      ++good;
    // About half the rows are good (the data is not spread evenly), and
    // every row after them is grey.
    EXPECT_GT(good, whole.height / 5) << good << " of " << whole.height;
    EXPECT_LT(good, whole.height) << good << " of " << whole.height;
    for (size_t i = good * row; i < part.rgb.size(); ++i) ASSERT_EQ(part.rgb[i], 128) << seed << ": " << i / row;
  }

  qv::DcPicture part;
  qv::MemoryView cut(bytes.data(), 700);
  EXPECT_FALSE(qv::jpegDcPicture(cut, 700, part, true));
}
