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

// libjpeg decodes subsampled chroma at twice the scale (a 2 x 2 inverse
// DCT) where the picture here has the chroma's DC alone; the two agree in
// each pixel's brightness and in the mean colour of each chroma-sized cell,
// within `within`. Colour conversion may round the other way.
void expectLibjpegsEighth(const std::string& path, const qv::DcPicture& mine, int within) {
  qv::DcPicture theirs;
  ASSERT_TRUE(libjpegEighth(path, theirs));
  ASSERT_EQ(mine.width, theirs.width);
  ASSERT_EQ(mine.height, theirs.height);
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
  EXPECT_LE(worstLuma, within);
  EXPECT_LE(worstCell, within);
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
    qv::DcPicture mine;
    ASSERT_TRUE(qv::jpegDcPicture(v, bytes.size(), mine));
    expectLibjpegsEighth(path, mine, 2);
  }
}

TEST(JpegDcPicture, OnlyWholeData) {
  const std::vector<uint8_t> bytes = readFile(pic("base.jpg"));
  qv::DcPicture out;
  // Cut short, or cut after the headers.
  for (size_t cut : {bytes.size() / 2, size_t(700)}) {
    qv::MemoryView v(bytes.data(), cut);
    EXPECT_FALSE(qv::jpegDcPicture(v, cut, out)) << cut;
  }
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

namespace {

// A progressive copy of a baseline JPEG made by jpegtran, with its default
// scans (the DC of every component first, its lowest bit held back) or
// those a script names.
std::string progressiveCopy(const std::string& from, const std::string& name, const std::string& scans = "") {
  const std::string to = testing::TempDir() + name;
  std::string cmd = "jpegtran -progressive";
  if (!scans.empty()) {
    const std::string script = to + ".scans";
    FILE* f = fopen(script.c_str(), "w");
    if (!f) return "";
    fputs(scans.c_str(), f);
    fclose(f);
    cmd = "jpegtran -scans '" + script + "'";
  }
  cmd += " -outfile '" + to + "' '" + from + "'";
  return system(cmd.c_str()) == 0 ? to : "";
}

// Scans of a YCbCr picture: each component's DC alone and whole (no bits
// held back), then the AC.
const char* kDcScanEach = "0: 0 0 0 0; 1: 0 0 0 0; 2: 0 0 0 0; 0: 1 63 0 0; 1: 1 63 0 0; 2: 1 63 0 0;";
// The luma's DC and AC before the chroma's DC: the first scans do not hold
// every component's DC.
const char* kAcBeforeChromaDc = "0: 0 0 0 1; 0: 1 63 0 0; 1 2: 0 0 0 1; 1: 1 63 0 0; 2: 1 63 0 0; 0 1 2: 0 0 1 0;";

}  // namespace

// The eighth of a progressive JPEG from its first scans alone, against
// libjpeg's from the whole file: the DC bits held back for later scans
// cost at most half a step of the DC's quantisation.
TEST(JpegDcPicture, ProgressiveFromItsFirstScansIsLibjpegsEighth) {
  struct Case {
    std::string path;
    int within;
  };
  const std::vector<Case> cases = {
      {progressiveCopy(pic("base.jpg"), "p_base.jpg"), 3},
      {progressiveCopy(pic("restart.jpg"), "p_restart.jpg"), 3},
      {progressiveCopy(smallPic("gray.jpg"), "p_gray.jpg"), 3},
      {progressiveCopy(smallPic("h2v1.jpg"), "p_h2v1.jpg"), 3},
      {progressiveCopy(smallPic("rst_a.jpg"), "p_rst_a.jpg"), 3},
      {progressiveCopy(pic("base.jpg"), "p_each.jpg", kDcScanEach), 2},
      {pic("prog.jpg"), 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    ASSERT_FALSE(c.path.empty());
    const std::vector<uint8_t> bytes = readFile(c.path);
    qv::MemoryView v(bytes.data(), bytes.size());
    qv::DcPicture mine;
    ASSERT_TRUE(qv::jpegDcPicture(v, bytes.size(), mine));
    expectLibjpegsEighth(c.path, mine, c.within);
  }
}

// Only the first scans are read: the file cut after them still gives the
// picture, one whose first scans do not carry every DC gives none (the
// caller decodes it whole), and so does one whose first scan is not a DC
// scan at all.
TEST(JpegDcPicture, ProgressiveNeedsItsDcFirstAndNothingMore) {
  const std::string each = progressiveCopy(pic("base.jpg"), "p_each.jpg", kDcScanEach);
  const std::vector<uint8_t> bytes = readFile(each);
  qv::DcPicture whole, cut;
  qv::MemoryView all(bytes.data(), bytes.size());
  ASSERT_TRUE(qv::jpegDcPicture(all, bytes.size(), whole));
  // The fourth scan (the luma's AC) is where the DC ends.
  size_t scans = 0, fourth = 0;
  for (size_t i = 0; i + 1 < bytes.size() && !fourth; ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA && ++scans == 4) fourth = i;
  ASSERT_GT(fourth, 0u);
  ASSERT_LT(fourth, bytes.size() / 2);
  qv::MemoryView front(bytes.data(), fourth + 2);
  ASSERT_TRUE(qv::jpegDcPicture(front, fourth + 2, cut));
  EXPECT_EQ(cut.rgb, whole.rgb);

  const std::string late = progressiveCopy(pic("base.jpg"), "p_late.jpg", kAcBeforeChromaDc);
  ASSERT_FALSE(late.empty());
  const std::vector<uint8_t> lateBytes = readFile(late);
  qv::MemoryView lv(lateBytes.data(), lateBytes.size());
  qv::DcPicture out;
  EXPECT_FALSE(qv::jpegDcPicture(lv, lateBytes.size(), out));

  // The first scan's spectral selection turned to the AC.
  std::vector<uint8_t> notDc = readFile(progressiveCopy(pic("base.jpg"), "p_base.jpg"));
  for (size_t i = 0; i + 1 < notDc.size(); ++i)
    if (notDc[i] == 0xFF && notDc[i + 1] == 0xDA) {
      const size_t ns = notDc[i + 4];
      notDc[i + 5 + 2 * ns] = 1, notDc[i + 6 + 2 * ns] = 5;
      break;
    }
  qv::MemoryView nv(notDc.data(), notDc.size());
  EXPECT_FALSE(qv::jpegDcPicture(nv, notDc.size(), out));
}

// A progressive photo whose first scan was overwritten half-way: no picture
// unless asked for what decodes, then its rows above the damage, grey below.
TEST(JpegDcPicture, PartOfADamagedProgressivePhoto) {
  const std::vector<uint8_t> bytes = readFile(progressiveCopy(pic("base.jpg"), "p_base.jpg"));
  qv::DcPicture whole;
  qv::MemoryView all(bytes.data(), bytes.size());
  ASSERT_TRUE(qv::jpegDcPicture(all, bytes.size(), whole));
  size_t first = 0, second = 0;
  for (size_t i = 0; i + 1 < bytes.size() && !second; ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) (first ? second : first) = i;
  ASSERT_GT(second, first);
  const size_t row = size_t(whole.width) * 3;
  for (unsigned seed = 1; seed <= 8; ++seed) {
    std::vector<uint8_t> damaged = bytes;
    std::mt19937 noise(seed);
    for (size_t i = (first + second) / 2; i < damaged.size(); ++i) damaged[i] = uint8_t(noise() & 0x7F);
    qv::MemoryView v(damaged.data(), damaged.size());
    qv::DcPicture part;
    EXPECT_FALSE(qv::jpegDcPicture(v, damaged.size(), part));
    ASSERT_TRUE(qv::jpegDcPicture(v, damaged.size(), part, true)) << seed;
    ASSERT_EQ(part.rgb.size(), whole.rgb.size());
    size_t good = 0;
    while (good < whole.height && std::equal(part.rgb.begin() + good * row, part.rgb.begin() + (good + 1) * row,
                                             whole.rgb.begin() + good * row))
      ++good;
    EXPECT_GT(good, whole.height / 5) << good << " of " << whole.height;
    EXPECT_LT(good, whole.height) << good << " of " << whole.height;
    for (size_t i = good * row; i < part.rgb.size(); ++i) ASSERT_EQ(part.rgb[i], 128) << seed << ": " << i / row;
  }
}
