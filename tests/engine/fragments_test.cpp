// Pictures in pieces, as a card that has filled up holds them, and pieces
// that look as if they fit but do not.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

#include "block_reader.h"
#include "jpeg_fragments.h"
#include "scanner.h"
#include "support.h"
#include "window.h"

using namespace qv;
using qvtest::readFile;
using qvtest::smallPic;

namespace {

struct Found {
  Find find;
  std::vector<uint8_t> bytes;
};

class CollectSink : public FindSink {
 public:
  void onFind(const Find& f, View& data) override {
    Found c{f, std::vector<uint8_t>(f.length)};
    EXPECT_TRUE(data.read(0, c.bytes.data(), c.bytes.size()));
    finds.push_back(std::move(c));
  }
  std::vector<Found> finds;
};

std::vector<Found> scanDisk(std::vector<uint8_t> disk) {
  MemorySource src(std::move(disk));
  CollectSink sink;
  ScanOptions o;
  o.blockSize = 1 << 20;
  scan(src, o, sink);
  return std::move(sink.finds);
}

// Where the entropy-coded data starts: pieces break after it.
size_t dataStart(const std::vector<uint8_t>& jpg) {
  for (size_t i = 2; i + 1 < jpg.size(); ++i)
    if (jpg[i] == 0xFF && jpg[i + 1] == 0xDA) return i + 2 + (jpg[i + 2] << 8 | jpg[i + 3]);
  return 0;
}

// A damaged find of `file` whose first piece (its first `own` bytes) lies
// at its offset: it holds more than the headers, and what it holds of that
// piece is the picture's own. What it holds beyond (rows decoded from the
// data that followed the piece) cannot be told.
void expectOwnHead(const Found& f, const std::vector<uint8_t>& file, size_t own) {
  EXPECT_TRUE(f.find.damaged);
  EXPECT_GT(f.bytes.size(), f.find.type == PicType::Jpg ? dataStart(file) : 8u);
  const size_t n = std::min(f.bytes.size(), own);
  EXPECT_TRUE(std::equal(f.bytes.begin(), f.bytes.begin() + long(n), file.begin()))
      << "a damaged find of " << f.bytes.size() << " bytes that is not the picture's head";
}

// What lies between two pieces on a card: other files, old data, nothing.
// Without `others`, only old data and nothing.
std::vector<uint8_t> gapFill(size_t n, std::mt19937& rng, const std::vector<std::vector<uint8_t>>& others) {
  std::vector<uint8_t> gap;
  switch (rng() % (others.empty() ? 2 : 3)) {
    case 0: gap = qvtest::randomBytes(n, rng()); break;
    case 1: gap.assign(n, 0); break;
    default: {
      const auto& o = others[rng() % others.size()];
      size_t from = (rng() % (o.size() / 512)) * 512;  // the middle of another file, even of the same kind
      gap.assign(o.begin() + long(from), o.begin() + long(std::min(o.size(), from + n)));
      gap.resize(n, 0);
    }
  }
  return gap;
}

struct Layout {
  std::vector<uint8_t> disk;
  size_t start;
  std::vector<FilePiece> pieces;  // where each piece went, from start
};

// The picture cut at `pieces - 1` cluster starts after `headers` bytes, the
// pieces in order with gaps of 1 to 40 clusters.
Layout fragment(const std::vector<uint8_t>& jpg, size_t cluster, size_t pieces, std::mt19937& rng,
                const std::vector<std::vector<uint8_t>>& others, size_t headers) {
  std::vector<size_t> cuts;
  const size_t first = headers / cluster + 1, last = (jpg.size() - 1) / cluster;
  while (cuts.size() + 1 < pieces) {
    size_t c = (first + rng() % (last - first + 1)) * cluster;
    if (std::find(cuts.begin(), cuts.end(), c) == cuts.end()) cuts.push_back(c);
  }
  std::sort(cuts.begin(), cuts.end());
  cuts.push_back(jpg.size());
  Layout l;
  l.disk = qvtest::randomBytes(3 * cluster, rng());
  l.start = l.disk.size();
  size_t from = 0;
  for (size_t cut : cuts) {
    l.pieces.push_back({from, l.disk.size()});
    l.disk.insert(l.disk.end(), jpg.begin() + long(from), jpg.begin() + long(cut));
    size_t gap = (1 + rng() % 40) * cluster - (cut - from) % cluster;
    if ((cut - from) % cluster == 0) gap -= cluster;
    std::vector<uint8_t> fill = gapFill(gap + cluster, rng, others);
    l.disk.insert(l.disk.end(), fill.begin(), fill.begin() + long(gap + (cut == jpg.size() ? 0 : cluster)));
    from = cut;
  }
  l.disk.resize(l.disk.size() + 3 * cluster, 0);
  return l;
}

}  // namespace

// Other photos with the same tables between the pieces are the hard case:
// at least half come back; what must hold is that nothing else does.
TEST(Fragments, JpegsInTwoToEightPiecesComeBackWholeOrNotAtAll) {
  const std::vector<uint8_t> twinA = readFile(smallPic("twin_a.jpg")), rstA = readFile(smallPic("rst_a.jpg"));
  const std::vector<std::vector<uint8_t>> others = {readFile(smallPic("twin_b.jpg")), readFile(smallPic("rst_b.jpg")),
                                                    readFile(qvtest::pic("static.gif")), readFile(qvtest::pic("plain.png"))};
  std::mt19937 rng(77);
  int tried = 0, whole = 0, damaged = 0;
  for (const auto* jpg : {&twinA, &rstA})
    for (size_t cluster : {size_t(512), size_t(4096), size_t(16384)})
      for (size_t pieces = 2; pieces <= 8; ++pieces) {
        SCOPED_TRACE("cluster " + std::to_string(cluster) + ", " + std::to_string(pieces) + " pieces");
        Layout l = fragment(*jpg, cluster, pieces, rng, others, dataStart(*jpg));
        ++tried;
        for (const Found& f : scanDisk(l.disk)) {
          if (f.find.type != PicType::Jpg) continue;
          // Whatever is delivered whole is the picture itself, never a wrong
          // join; when no join proves, its head is delivered damaged. (A
          // damaged one elsewhere is the head of another file in a gap.)
          if (f.find.damaged) {
            if (f.find.offset == l.start) expectOwnHead(f, *jpg, l.pieces[1].file), ++damaged;
            continue;
          }
          ASSERT_EQ(f.find.offset, l.start);
          ASSERT_TRUE(f.bytes == *jpg) << "a wrong join of " << f.bytes.size() << " bytes";
          ++whole;
        }
      }
  // (A first piece of less than a few rows gives nothing.)
  std::printf("fragmented JPEGs whole: %d of %d, damaged: %d\n", whole, tried, damaged);
  EXPECT_GE(whole * 2, tried);
}

// Each chunk's CRC proves a join, so nearly all come back; never a wrong one.
TEST(Fragments, PngsInTwoToEightPiecesComeBackWhole) {
  const std::vector<uint8_t> bigChunks = readFile(qvtest::pic("plain.png")), smallChunks = readFile(qvtest::pic("many_idat.png"));
  const std::vector<std::vector<uint8_t>> others = {readFile(qvtest::pic("gray.png")), smallChunks, bigChunks,
                                                    readFile(smallPic("twin_b.jpg"))};
  std::mt19937 rng(78);
  int tried = 0, whole = 0;
  for (const auto* png : {&bigChunks, &smallChunks})
    for (size_t cluster : {size_t(512), size_t(4096), size_t(32768)})
      for (size_t pieces = 2; pieces <= 8; ++pieces) {
        SCOPED_TRACE("cluster " + std::to_string(cluster) + ", " + std::to_string(pieces) + " pieces");
        Layout l = fragment(*png, cluster, pieces, rng, others, 0);
        ++tried;
        for (const Found& f : scanDisk(l.disk)) {
          if (f.find.type != PicType::Png) continue;
          if (f.find.damaged) {
            if (f.find.offset == l.start) expectOwnHead(f, *png, l.pieces[1].file);
            continue;
          }
          ASSERT_EQ(f.find.offset, l.start);
          ASSERT_TRUE(f.bytes == *png) << "a wrong join of " << f.bytes.size() << " bytes";
          ++whole;
        }
      }
  std::printf("fragmented PNGs whole: %d of %d\n", whole, tried);
  EXPECT_GE(whole * 4, tried * 3);
}

TEST(Fragments, PiecesOfTwoPicturesWithTheSameTablesAreNotJoined) {
  const std::pair<std::string, std::string> pairs[] = {{smallPic("twin_a.jpg"), smallPic("twin_b.jpg")},
                                                      {smallPic("rst_a.jpg"), smallPic("rst_b.jpg")},
                                                      {qvtest::pic("plain.png"), qvtest::pic("gray.png")}};
  for (const auto& pair : pairs) {
    SCOPED_TRACE(pair.first);
    const std::vector<uint8_t> a = readFile(pair.first), b = readFile(pair.second);
    for (size_t cut : {size_t(4096), size_t(8192), size_t(65536)})
      for (bool emptyGap : {false, true}) {
        // A's head, old data or free space, then B's rest from the same
        // place: A's own rest is gone.
        std::vector<uint8_t> disk = qvtest::randomBytes(1 << 20, uint32_t(cut));
        std::copy(a.begin(), a.begin() + long(cut), disk.begin() + 4096);
        if (emptyGap) std::fill(disk.begin() + 4096 + long(cut), disk.begin() + 4096 + long(cut) + 8192, 0);
        std::copy(b.begin() + long(cut), b.begin() + long(std::min(b.size(), size_t(900000) - cut)), disk.begin() + 4096 + long(cut) + 8192);
        // Nothing but A's own head, marked damaged.
        for (const Found& f : scanDisk(disk)) {
          EXPECT_EQ(f.find.offset, 4096u);
          expectOwnHead(f, a, cut);
        }
      }
  }
}

// Old data and free space between the pieces, as on a card that filled up
// with photos and had some deleted: the commonest case, and nearly all come
// back. The pieces found are exactly where they were put.
TEST(Fragments, JpegsBetweenOldDataAndFreeSpaceComeBackInTheirPieces) {
  const std::vector<uint8_t> twinA = readFile(smallPic("twin_a.jpg")), rstA = readFile(smallPic("rst_a.jpg")),
                             h2v1 = readFile(smallPic("h2v1.jpg"));
  std::mt19937 rng(79);
  int tried = 0, whole = 0;
  for (const auto* jpg : {&twinA, &rstA})
    for (size_t cluster : {size_t(4096), size_t(32768)})
      for (size_t pieces = 2; pieces <= 8; ++pieces) {
        if (jpg->size() / cluster < pieces + 1) continue;
        SCOPED_TRACE("cluster " + std::to_string(cluster) + ", " + std::to_string(pieces) + " pieces");
        Layout l = fragment(*jpg, cluster, pieces, rng, {}, dataStart(*jpg));
        MemorySource src(l.disk);
        BlockReader reader(src, 1 << 20, 2);
        Window w(src, reader, 64 << 20);
        w.advanceTo(0);
        JpegPieces found = findJpegPieces(w, l.start);
        ++tried;
        if (!found.length) continue;
        ASSERT_EQ(found.length, jpg->size());
        ASSERT_EQ(found.pieces.size(), l.pieces.size());
        for (size_t i = 0; i < l.pieces.size(); ++i) {
          EXPECT_EQ(found.pieces[i].file, l.pieces[i].file);
          EXPECT_EQ(found.pieces[i].disk, l.pieces[i].disk);
        }
        ++whole;
      }
  std::printf("JPEGs between old data whole: %d of %d\n", whole, tried);
  EXPECT_GE(whole * 4, tried * 3);
}

// A progressive JPEG's scans cannot be decoded MCU by MCU: in pieces it is
// not joined.
TEST(Fragments, ProgressiveJpegsInPiecesAreNotJoined) {
  const std::vector<uint8_t> prog = readFile(qvtest::pic("prog.jpg"));
  std::mt19937 rng(80);
  for (size_t pieces = 2; pieces <= 8; ++pieces) {
    Layout l = fragment(prog, 512, pieces, rng, {}, dataStart(prog));
    MemorySource src(l.disk);
    BlockReader reader(src, 1 << 20, 2);
    Window w(src, reader, 64 << 20);
    w.advanceTo(0);
    EXPECT_EQ(findJpegPieces(w, l.start).length, 0u);
  }
}

// The head of one picture, then the rest of another with the same tables
// and size cut at the same place (decodes cleanly from there), then the
// picture's own rest: the own rest is taken, or nothing.
TEST(Fragments, TheOwnRestIsTakenOverThatOfATwin) {
  const std::pair<std::string, std::string> pairs[] = {{"twin_a.jpg", "twin_b.jpg"}, {"rst_a.jpg", "rst_b.jpg"},
                                                      {"twin_b.jpg", "twin_a.jpg"}};
  int whole = 0, tried = 0;
  for (const auto& pair : pairs)
    for (size_t cut : {size_t(8192), size_t(65536), size_t(131072)}) {
      SCOPED_TRACE(pair.first + " cut at " + std::to_string(cut));
      const std::vector<uint8_t> a = readFile(smallPic(pair.first)), b = readFile(smallPic(pair.second));
      std::vector<uint8_t> disk = qvtest::randomBytes(1 << 20, uint32_t(cut));
      const size_t start = 4096, twin = start + cut + 8192, own = twin + (b.size() - cut + 4095) / 4096 * 4096 + 4096;
      std::copy(a.begin(), a.begin() + long(cut), disk.begin() + long(start));
      std::copy(b.begin() + long(cut), b.end(), disk.begin() + long(twin));
      std::copy(a.begin() + long(cut), a.end(), disk.begin() + long(own));
      ++tried;
      for (const Found& f : scanDisk(disk)) {
        if (f.find.offset != start) continue;
        ASSERT_TRUE(f.bytes == a) << "a wrong join of " << f.bytes.size() << " bytes";
        ++whole;
      }
    }
  std::printf("own rests taken: %d of %d\n", whole, tried);
}

// A disk of nothing but broken photos (each one's head, then old data or
// free space): each head that holds a few rows is delivered damaged, and
// nothing else; the work per picture is bounded (the time is printed).
TEST(Fragments, ADiskOfBrokenJpegsGivesOnlyTheirHeadsMarkedDamaged) {
  std::vector<uint8_t> disk = qvtest::randomBytes(16 << 20, 81);
  int n = 0;
  for (const char* name : {"twin_a.jpg", "twin_b.jpg", "rst_a.jpg", "rst_b.jpg"}) {
    const std::vector<uint8_t> jpg = readFile(smallPic(name));
    for (size_t cut : {size_t(4096), size_t(65536)}) {
      const size_t at = size_t(n++) << 21;
      std::copy(jpg.begin(), jpg.begin() + long(cut), disk.begin() + long(at));
      if (n % 2) std::fill(disk.begin() + long(at + cut), disk.begin() + long(at + cut + (1 << 20)), 0);
    }
  }
  const auto t0 = std::chrono::steady_clock::now();
  const std::vector<Found> finds = scanDisk(disk);
  // The 4 KiB heads hold less than 4 of their 80-MCU rows; the 64 KiB ones
  // dozens.
  ASSERT_EQ(finds.size(), 4u);
  for (size_t i = 0; i < finds.size(); ++i) {
    EXPECT_EQ(finds[i].find.offset, (2 * i + 1) << 21);
    EXPECT_TRUE(finds[i].find.damaged);
    EXPECT_LE(finds[i].bytes.size(), 65536u + 2048u);
  }
  std::printf("8 broken JPEGs: %.2f s\n",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
}

// A break in the first MCU row has no row above it yet: the row below the
// join tells whether it continues the part before it.
TEST(Fragments, ABreakInTheFirstRowIsJoined) {
  for (const char* name : {"twin_a.jpg", "rst_a.jpg"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> jpg = readFile(smallPic(name));
    const size_t cut = (dataStart(jpg) + 1024) / 512 * 512 + 512;  // a few dozen MCUs in
    std::vector<uint8_t> disk = qvtest::randomBytes(1 << 20, 82);
    const size_t start = 8192, rest = start + cut + 40960;
    std::copy(jpg.begin(), jpg.begin() + long(cut), disk.begin() + long(start));
    std::copy(jpg.begin() + long(cut), jpg.end(), disk.begin() + long(rest));
    MemorySource src(disk);
    BlockReader reader(src, 1 << 20, 2);
    Window w(src, reader, 64 << 20);
    w.advanceTo(0);
    JpegPieces found = findJpegPieces(w, start);
    ASSERT_EQ(found.length, jpg.size());
    ASSERT_EQ(found.pieces.size(), 2u);
    EXPECT_EQ(found.pieces[1].file, cut);
    EXPECT_EQ(found.pieces[1].disk, rest);
  }
}

// The work for one picture stays within what the caller allows, and with
// too little allowed nothing is joined rather than something unproven.
TEST(Fragments, TheJoinerKeepsToItsBudget) {
  const std::vector<uint8_t> twinA = readFile(smallPic("twin_a.jpg"));
  std::mt19937 rng(83);
  Layout l = fragment(twinA, 4096, 4, rng, {readFile(smallPic("twin_b.jpg"))}, dataStart(twinA));
  MemorySource src(l.disk);
  BlockReader reader(src, 1 << 20, 2);
  Window w(src, reader, 64 << 20);
  w.advanceTo(0);
  uint64_t ample = 0;
  const JpegPieces whole = findJpegPieces(w, l.start, kJpegJoinBudget, &ample);
  ASSERT_EQ(whole.length, twinA.size());
  for (uint64_t budget : {uint64_t(0), uint64_t(64 << 10), ample / 2}) {
    uint64_t spent = 0;
    EXPECT_EQ(findJpegPieces(w, l.start, budget, &spent).length, 0u) << budget;
    // Work is counted after each decoded stretch or trial: it overshoots
    // by at most one of them.
    EXPECT_LE(spent, budget + (256 << 10)) << budget;
  }
}
