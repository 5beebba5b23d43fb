// Pictures found by their contents that are cut short or lost part-way:
// what is left is written up to its last whole row, chunk or frame, marked
// damaged; random data behind start markers gives nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "collect_sink.h"
#include "jpeg_stream.h"
#include "jpeg_stream_reference.h"
#include "recognizers.h"
#include "scanner.h"
#include "support.h"

using namespace qv;
using qvtest::Collected;
using qvtest::pic;
using qvtest::readFile;

namespace {

std::vector<Collected> scanBytes(std::vector<uint8_t> disk) {
  MemorySource src(std::move(disk));
  qvtest::CollectSink sink;
  ScanOptions o;
  o.blockSize = 64 * 1024;  // the candidates reach across blocks
  scan(src, o, sink);
  return std::move(sink.finds);
}

// The picture's first n bytes at `at` on a disk of random data.
std::vector<uint8_t> cutOnRandomDisk(const std::vector<uint8_t>& file, size_t n, size_t at, uint32_t seed) {
  std::vector<uint8_t> disk = qvtest::randomBytes(1 << 20, seed);
  std::copy(file.begin(), file.begin() + long(n), disk.begin() + long(at));
  return disk;
}

// MCUs the reference check decodes from the first n bytes before it runs out.
uint32_t referenceMcus(const std::vector<uint8_t>& jpg, size_t n) {
  MemoryView v(jpg.data(), n);
  return qvtest::runStream<qvref::JpegStream, qvref::JpegStreamState>(v, n).mcu;
}

// The shortest head of the picture from which the reference decodes `mcus`.
size_t headFor(const std::vector<uint8_t>& jpg, uint32_t mcus) {
  size_t lo = 0, hi = jpg.size();
  while (lo < hi) {
    const size_t mid = (lo + hi) / 2;
    if (referenceMcus(jpg, mid) >= mcus) hi = mid;
    else lo = mid + 1;
  }
  return lo;
}

}  // namespace

// Cut exactly where a row ends, the picture comes back to there; cut inside
// the next row, to the same place: only whole rows, nothing after them.
TEST(Damaged, CarvedJpegsAreWrittenToTheEndOfTheirLastWholeRow) {
  for (const char* name : {"base.jpg", "restart.jpg", "exif.jpg"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> jpg = readFile(pic(name));
    MemoryView whole(jpg.data(), jpg.size());
    JpegStream frame;
    ASSERT_TRUE(frame.open(whole, jpg.size()));
    const uint32_t perRow = frame.mcusPerRow(), rows = frame.mcus() / perRow;
    const uint32_t kept = 8;
    const size_t rowEnd = headFor(jpg, kept * perRow), nextEnd = headFor(jpg, (kept + 1) * perRow);
    ASSERT_LT(rowEnd, nextEnd);
    // (Cut a byte or so before a row's end, foreign bytes may complete the
    // row: nothing can tell.)
    for (size_t cut : {rowEnd, rowEnd + 1, (rowEnd + nextEnd) / 2}) {
      SCOPED_TRACE(cut);
      for (size_t at : {size_t(8192), size_t(8192 + 77)}) {  // at a sector start, and inside another file
        const std::vector<Collected> finds = scanBytes(cutOnRandomDisk(jpg, cut, at, uint32_t(cut + at)));
        ASSERT_EQ(finds.size(), 1u);
        const Find& f = finds[0].find;
        EXPECT_EQ(f.offset, at);
        EXPECT_EQ(f.type, PicType::Jpg);
        EXPECT_TRUE(f.damaged);
        EXPECT_EQ(f.decodes, int(kept * 100 / rows));
        EXPECT_EQ(f.length, rowEnd);
        EXPECT_TRUE(std::equal(finds[0].bytes.begin(), finds[0].bytes.end(), jpg.begin()));
      }
    }
  }
}

// Too little to be sure of (fewer rows than a random tail can fake), a
// zeroed rest (zeros decode as blocks, but are no data), and headers whose
// data is wholly lost: no find.
TEST(Damaged, AJpegWithoutAFewGoodRowsIsNotWritten) {
  const std::vector<uint8_t> jpg = readFile(pic("base.jpg"));  // 30 MCUs a row
  EXPECT_TRUE(scanBytes(cutOnRandomDisk(jpg, headFor(jpg, 3 * 30), 4096, 1)).empty());
  std::vector<uint8_t> zeroed = cutOnRandomDisk(jpg, headFor(jpg, 2 * 30), 4096, 2);
  std::fill(zeroed.begin() + 4096 + long(headFor(jpg, 2 * 30)), zeroed.begin() + 4096 + 65536, 0);
  EXPECT_TRUE(scanBytes(zeroed).empty());
  // The headers alone, the rest zeros: no row at all.
  std::vector<uint8_t> lost = cutOnRandomDisk(jpg, headFor(jpg, 1) - 1, 4096, 3);
  std::fill(lost.begin() + 4096 + long(headFor(jpg, 1) - 1), lost.begin() + 4096 + 65536, 0);
  EXPECT_TRUE(scanBytes(lost).empty());
  // Rows that decode, then zeros: the rows before the zeros, not the zeros.
  const size_t good = headFor(jpg, 10 * 30);
  std::vector<uint8_t> tail = cutOnRandomDisk(jpg, good, 4096, 4);
  std::fill(tail.begin() + 4096 + long(good), tail.begin() + 4096 + 65536, 0);
  const std::vector<Collected> finds = scanBytes(tail);
  ASSERT_EQ(finds.size(), 1u);
  EXPECT_TRUE(finds[0].find.damaged);
  EXPECT_EQ(finds[0].find.length, good);
  EXPECT_EQ(finds[0].find.decodes, 50);
}

// Chunk ends of a PNG: after the signature, each chunk's length + 12.
std::vector<size_t> chunkEnds(const std::vector<uint8_t>& png) {
  std::vector<size_t> ends;
  for (size_t at = 8; at + 8 <= png.size(); at += 12 + be32(&png[at])) ends.push_back(at + 12 + be32(&png[at]));
  return ends;
}

// A PNG cut short comes back to the end of its last whole chunk once a
// whole IDAT is in it; one cut in its first IDAT does not.
TEST(Damaged, PngsCutShortAreWrittenToTheirLastWholeChunk) {
  for (const char* name : {"many_idat.png", "plain.png"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> png = readFile(pic(name));
    const std::vector<size_t> ends = chunkEnds(png);
    size_t firstIdat = 0;
    for (size_t at = 8, i = 0; i < ends.size() && !firstIdat; at = ends[i++])
      if (std::string(png.begin() + long(at) + 4, png.begin() + long(at) + 8) == "IDAT") firstIdat = ends[i];
    ASSERT_NE(firstIdat, 0u);
    // In the middle of the first IDAT: nothing.
    EXPECT_TRUE(scanBytes(cutOnRandomDisk(png, firstIdat - 5, 4096, 5)).empty());
    // In the middle of the last chunk (IEND's predecessor or IEND itself).
    const size_t cut = png.size() - 6;
    size_t expect = 0;
    for (size_t e : ends)
      if (e <= cut && std::string(png.begin() + long(e) - 8, png.begin() + long(e) - 4) != "IEND") expect = e;
    for (size_t off : {size_t(4096), size_t(4096 + 33)}) {
      const std::vector<Collected> finds = scanBytes(cutOnRandomDisk(png, cut, off, 6));
      ASSERT_EQ(finds.size(), 1u);
      EXPECT_TRUE(finds[0].find.damaged);
      EXPECT_EQ(finds[0].find.type, PicType::Png);
      EXPECT_EQ(finds[0].find.offset, off);
      EXPECT_EQ(finds[0].find.length, expect);
      EXPECT_EQ(finds[0].find.decodes, -1);
      EXPECT_TRUE(std::equal(finds[0].bytes.begin(), finds[0].bytes.end(), png.begin()));
    }
  }
}

// An animated GIF cut in a later frame comes back with its whole frames
// (what is written, with a trailer added, is a whole GIF); one cut in its
// first frame does not.
TEST(Damaged, GifsCutShortAreWrittenToTheirLastWholeFrame) {
  const std::vector<uint8_t> gif = readFile(pic("anim.gif"));
  const std::vector<uint8_t> single = readFile(pic("static.gif"));
  EXPECT_TRUE(scanBytes(cutOnRandomDisk(single, single.size() - 20, 4096, 7)).empty());
  const size_t cut = gif.size() - 10;
  const std::vector<Collected> finds = scanBytes(cutOnRandomDisk(gif, cut, 4096, 8));
  ASSERT_EQ(finds.size(), 1u);
  const Collected& c = finds[0];
  EXPECT_TRUE(c.find.damaged);
  EXPECT_EQ(c.find.type, PicType::Gif);
  EXPECT_LT(c.find.length, cut);
  EXPECT_TRUE(std::equal(c.bytes.begin(), c.bytes.end(), gif.begin()));
  std::vector<uint8_t> closed = c.bytes;
  closed.push_back(0x3B);
  MemoryView v(closed.data(), closed.size());
  EXPECT_EQ(recognizeGif(v, closed.size()).length, closed.size());
  // The frame after it is the one that was cut: it starts right there.
  EXPECT_EQ(gif[c.find.length] == 0x2C || gif[c.find.length] == 0x21, true);
}

// Random bytes with start markers of every checked type scattered over
// them, at sector starts and between, and real headers followed by random
// data: no find at all.
TEST(Damaged, RandomDataWithStartMarkersGivesNoFinds) {
  std::mt19937 rng(90);
  std::vector<uint8_t> disk = qvtest::randomBytes(16 << 20, 91);
  const std::vector<uint8_t> jpg = readFile(pic("base.jpg")), png = readFile(pic("plain.png")),
                             gif = readFile(pic("static.gif"));
  const size_t gifHead = 13 + (gif[10] & 0x80 ? size_t(3) << ((gif[10] & 7) + 1) : 0);
  const std::vector<std::vector<uint8_t>> markers = {
      {0xFF, 0xD8, 0xFF, 0xE0}, {0xFF, 0xD8, 0xFF, 0xDB}, {0xFF, 0xD8, 0xFF, 0xE1},
      {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, {'G', 'I', 'F', '8', '9', 'a'}, {'G', 'I', 'F', '8', '7', 'a'},
      // Real headers: a JPEG's up to its data, a PNG's signature and IHDR,
      // a GIF's screen and colour table.
      std::vector<uint8_t>(jpg.begin(), jpg.begin() + long(headFor(jpg, 1) - 1)),
      std::vector<uint8_t>(png.begin(), png.begin() + 33), std::vector<uint8_t>(gif.begin(), gif.begin() + long(gifHead))};
  for (size_t at = 0; at + 4096 < disk.size(); at += 16384) {
    const auto& m = markers[rng() % markers.size()];
    const size_t pos = rng() % 2 ? at : at + rng() % 4096;
    std::copy(m.begin(), m.end(), disk.begin() + long(pos));
  }
  for (const Collected& c : scanBytes(disk))
    ADD_FAILURE() << "find of " << c.bytes.size() << " bytes at " << c.find.offset << (c.find.damaged ? ", damaged" : "");
}

// What overwrote a damaged picture's rest is still searched: a picture that
// starts right after what was written is found, and one a sector later.
TEST(Damaged, WhatFollowsTheWrittenPartIsStillSearched) {
  const std::vector<uint8_t> jpg = readFile(pic("base.jpg")), gif = readFile(pic("static.gif"));
  const size_t rowEnd = headFor(jpg, 10 * 30);
  std::vector<uint8_t> disk = cutOnRandomDisk(jpg, rowEnd, 4096, 10);
  std::copy(gif.begin(), gif.end(), disk.begin() + long(4096 + rowEnd));
  const size_t later = (4096 + rowEnd + gif.size() + 511) / 512 * 512;
  std::copy(gif.begin(), gif.end(), disk.begin() + long(later));
  const std::vector<Collected> finds = scanBytes(disk);
  ASSERT_EQ(finds.size(), 3u);
  EXPECT_TRUE(finds[0].find.damaged);
  EXPECT_EQ(finds[0].find.length, rowEnd);
  EXPECT_EQ(finds[1].find.offset, 4096 + rowEnd);
  EXPECT_EQ(finds[1].bytes, gif);
  EXPECT_EQ(finds[2].find.offset, later);
}
