#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>

#include "collect_sink.h"
#include "background_sink.h"
#include "byte_find.h"
#include "scanner.h"
#include "signature.h"
#include "support.h"

using namespace qv;
using qvtest::pic;
using qvtest::readFile;

namespace {

using qvtest::Collected;
using qvtest::CollectSink;

std::vector<Collected> scanBytes(std::vector<uint8_t> data, ScanOptions opts = {}) {
  MemorySource src(std::move(data));
  CollectSink sink;
  scan(src, opts, sink);
  return std::move(sink.finds);
}

// Small blocks and little held data: every path of the window gets used.
ScanOptions tightOptions() {
  ScanOptions o;
  o.blockSize = 64 * 1024;
  o.readAhead = 2;
  o.maxHold = 128 * 1024;
  return o;
}

void place(std::vector<uint8_t>& disk, size_t at, const std::vector<uint8_t>& file) {
  ASSERT_LE(at + file.size(), disk.size());
  std::copy(file.begin(), file.end(), disk.begin() + long(at));
}

size_t roundUp(size_t n, size_t to) { return (n + to - 1) / to * to; }

// Every sample recovered byte for byte, and nothing else found.
void expectExactlyTheSamples(const std::vector<Collected>& finds) {
  std::map<std::vector<uint8_t>, int> found;
  for (const auto& c : finds) {
    EXPECT_FALSE(c.find.damaged) << "a whole picture marked damaged";
    found[c.bytes]++;
  }
  for (const std::string& name : qvtest::allPictures()) {
    auto it = found.find(readFile(pic(name)));
    EXPECT_TRUE(it != found.end()) << name << " not recovered";
    if (it != found.end()) found.erase(it);
  }
  for (const auto& f : found) ADD_FAILURE() << "unexpected find of " << f.first.size() << " bytes";
}

}  // namespace

TEST(Scanner, DeletedAndReformattedCardsGiveBackEveryPicture) {
  for (const char* image : {"deleted.img", "formatted.img"}) {
    SCOPED_TRACE(image);
    std::vector<uint8_t> disk = readFile(qvtest::samples() + "/" + image);
    ASSERT_GT(disk.size(), 1000000u);
    expectExactlyTheSamples(scanBytes(disk));
    expectExactlyTheSamples(scanBytes(disk, tightOptions()));
  }
}

TEST(Scanner, OnlyEnabledTypesAreSearched) {
  std::vector<uint8_t> disk = readFile(qvtest::samples() + "/deleted.img");
  ScanOptions o;
  o.types = typeBit(PicType::Png) | typeBit(PicType::Tif);
  auto finds = scanBytes(disk, o);
  size_t expected = 0;
  for (const std::string& name : qvtest::allPictures())
    expected += name.find(".png") != std::string::npos || name.find(".tif") != std::string::npos;
  EXPECT_EQ(finds.size(), expected);
  for (const auto& c : finds) EXPECT_TRUE(c.find.type == PicType::Png || c.find.type == PicType::Tif);
  o.types = 0;
  EXPECT_TRUE(scanBytes(disk, o).empty());
}

TEST(Scanner, RandomDataGivesNoFinds) {
  EXPECT_TRUE(scanBytes(qvtest::randomBytes(24 << 20, 5)).empty());
  EXPECT_TRUE(scanBytes(std::vector<uint8_t>(3 << 20, 0)).empty());
}

TEST(Scanner, PicturesAcrossBlockEdgesAndAtTheEnd) {
  std::vector<uint8_t> png = readFile(pic("many_idat.png"));
  std::vector<uint8_t> jpg = readFile(pic("exif.jpg"));
  std::vector<uint8_t> gif = readFile(pic("anim.gif"));
  // Odd total size: the last picture ends exactly where the disk ends.
  std::vector<uint8_t> disk = qvtest::randomBytes(64 * 1024 - 512 + png.size() + 200000 + gif.size(), 3);
  place(disk, 64 * 1024 - 512, png);
  size_t jpgAt = roundUp(64 * 1024 - 512 + png.size(), 512) + 512 * 7;
  place(disk, jpgAt, jpg);
  place(disk, disk.size() - gif.size() - 0, gif);
  ASSERT_NE((disk.size() - gif.size()) % 512, 0u);
  for (ScanOptions o : {ScanOptions{}, tightOptions()}) {
    auto finds = scanBytes(disk, o);
    ASSERT_EQ(finds.size(), 3u);
    EXPECT_EQ(finds[0].bytes, png);
    EXPECT_EQ(finds[0].find.offset, 64u * 1024 - 512);
    EXPECT_EQ(finds[1].bytes, jpg);
    EXPECT_EQ(finds[2].bytes, gif);
  }
}

TEST(Scanner, PicturesAtEveryOffsetOfASectorAndAcrossBlockEdges) {
  std::vector<std::vector<uint8_t>> tiny;
  for (const char* name : {"tiny.jpg", "tiny.png", "tiny.gif", "tiny.bmp", "tiny.tif"})
    tiny.push_back(readFile(qvtest::smallPic(name)));
  const ScanOptions o = tightOptions();
  std::vector<std::pair<size_t, const std::vector<uint8_t>*>> placed;
  size_t end = 0;
  std::mt19937 rng(31);
  for (size_t k = 0; k < 512; ++k)
    for (const auto& t : tiny) {
      size_t at = roundUp(end + rng() % 1500, 512) + k;
      placed.push_back({at, &t});
      end = at + t.size();
    }
  // The first bytes of a picture in one block, the rest in the next.
  for (size_t back = 1; back <= 40; ++back) {
    const auto& t = tiny[back % tiny.size()];
    size_t at = roundUp(end + 1, o.blockSize) + o.blockSize - back;
    placed.push_back({at, &t});
    end = at + t.size();
  }
  std::vector<uint8_t> disk = qvtest::randomBytes(end + 1000, 32);
  for (const auto& p : placed) place(disk, p.first, *p.second);

  auto finds = scanBytes(disk, o);
  ASSERT_EQ(finds.size(), placed.size());
  for (size_t i = 0; i < placed.size(); ++i) {
    EXPECT_EQ(finds[i].find.offset, placed[i].first);
    EXPECT_TRUE(finds[i].bytes == *placed[i].second) << "at " << placed[i].first;
  }
}

TEST(Scanner, APreviewRightAfterTheMainImageStaysInItsFile) {
  std::vector<uint8_t> main = readFile(pic("exif.jpg")), preview = readFile(pic("restart.jpg"));
  std::vector<uint8_t> tiny = readFile(qvtest::smallPic("tiny.jpg"));
  ASSERT_NE(main.size() % 512, 0u);
  std::vector<uint8_t> file = main;
  file.insert(file.end(), preview.begin(), preview.end());
  file.insert(file.end(), tiny.begin(), tiny.end());
  std::vector<uint8_t> disk = qvtest::randomBytes(4 << 20, 41);
  place(disk, 512 * 3, file);
  // Another file that only happens to follow one at a sector start.
  std::vector<uint8_t> padded = readFile(pic("base.jpg"));
  padded.resize(roundUp(padded.size(), 512), 0);
  const size_t at = 2 << 20;
  place(disk, at, padded);
  place(disk, at + padded.size(), tiny);
  auto finds = scanBytes(disk, tightOptions());
  ASSERT_EQ(finds.size(), 3u);
  EXPECT_TRUE(finds[0].bytes == file);
  EXPECT_TRUE(finds[1].bytes == readFile(pic("base.jpg")));
  EXPECT_EQ(finds[2].find.offset, at + padded.size());
}

TEST(Scanner, FragmentedPicturesAreNotPassedOffAsWhole) {
  const size_t cluster = 4096;
  std::vector<uint8_t> disk(8 << 20, 0);
  std::vector<uint8_t> bmp = readFile(pic("true24.bmp"));
  std::vector<uint8_t> jpg = readFile(pic("base.jpg"));
  std::vector<uint8_t> prog = readFile(pic("prog.jpg"));
  std::vector<uint8_t> png = readFile(pic("alpha.png"));
  // BMP: first 20 clusters, then a JPEG, then the rest of the BMP.
  std::vector<uint8_t> head(bmp.begin(), bmp.begin() + 20 * cluster);
  std::vector<uint8_t> rest(bmp.begin() + 20 * cluster, bmp.end());
  place(disk, 0, head);
  place(disk, head.size(), jpg);
  place(disk, head.size() + roundUp(jpg.size(), cluster), rest);
  // A progressive JPEG split by a PNG: its pieces cannot be checked.
  size_t at = 2 << 20;
  std::vector<uint8_t> j1(prog.begin(), prog.begin() + 2 * cluster), j2(prog.begin() + 2 * cluster, prog.end());
  place(disk, at, j1);
  place(disk, at + j1.size(), png);
  place(disk, at + j1.size() + roundUp(png.size(), cluster), j2);
  // A JPEG whose second piece is simply gone (random data instead): its
  // head is what is left, marked damaged.
  at = 4 << 20;
  place(disk, at, std::vector<uint8_t>(jpg.begin(), jpg.begin() + 3 * cluster));
  place(disk, at + 3 * cluster, qvtest::randomBytes(jpg.size(), 4));

  auto finds = scanBytes(disk);
  ASSERT_EQ(finds.size(), 3u);
  EXPECT_EQ(finds[0].bytes, jpg);
  EXPECT_FALSE(finds[0].find.damaged);
  EXPECT_EQ(finds[1].bytes, png);
  EXPECT_FALSE(finds[1].find.damaged);
  EXPECT_EQ(finds[2].find.offset, at);
  EXPECT_TRUE(finds[2].find.damaged);
  ASSERT_LE(finds[2].bytes.size(), 3 * cluster);
  EXPECT_TRUE(std::equal(finds[2].bytes.begin(), finds[2].bytes.end(), jpg.begin()));
}

TEST(Scanner, JpegInTwoPiecesAroundAnotherFileIsJoined) {
  for (const char* name : {"base.jpg", "restart.jpg", "exif.jpg"}) {
    SCOPED_TRACE(name);
    for (size_t cluster : {size_t(4096), size_t(16384)}) {
      std::vector<uint8_t> jpg = readFile(pic(name));
      std::vector<uint8_t> gif = readFile(pic("static.gif"));  // does not fill its last cluster
      std::vector<uint8_t> disk = qvtest::randomBytes(4 << 20, 8);
      const size_t at = 1 << 20, split = cluster;
      std::vector<uint8_t> j1(jpg.begin(), jpg.begin() + long(split)), j2(jpg.begin() + long(split), jpg.end());
      place(disk, at, j1);
      // The other file's last cluster: its slack holds zeros, as on a new card.
      std::fill(disk.begin() + long(at + split), disk.begin() + long(at + split + roundUp(gif.size(), cluster)), 0);
      place(disk, at + split, gif);
      place(disk, at + split + roundUp(gif.size(), cluster), j2);
      auto finds = scanBytes(disk);
      ASSERT_EQ(finds.size(), 2u);
      EXPECT_EQ(finds[0].find.offset, at);
      EXPECT_EQ(finds[0].bytes, jpg);
      EXPECT_EQ(finds[1].bytes, gif);
    }
  }
}

TEST(Scanner, ThumbnailOfALostPictureIsNoFindOfItsOwn) {
  std::vector<uint8_t> jpg = readFile(pic("exif_aligned.jpg"));
  std::vector<uint8_t> disk = qvtest::randomBytes(1 << 20, 9);
  // Only the head survives: the thumbnail sits at a sector start inside it.
  std::copy(jpg.begin(), jpg.begin() + 8192, disk.begin());
  EXPECT_TRUE(scanBytes(disk).empty());
}

TEST(Scanner, BackgroundWritingKeepsEveryFindIntactAndInOrder) {
  std::vector<uint8_t> disk = readFile(qvtest::samples() + "/deleted.img");
  std::vector<Collected> direct = scanBytes(disk);
  for (size_t maxPending : {size_t(1) << 30, size_t(300000)}) {  // small: big finds bypass the queue
    MemorySource src(disk);
    CollectSink inner;
    {
      BackgroundSink sink(inner, maxPending);
      scan(src, ScanOptions{}, sink);
    }
    ASSERT_EQ(inner.finds.size(), direct.size());
    for (size_t i = 0; i < direct.size(); ++i) {
      EXPECT_EQ(inner.finds[i].find.offset, direct[i].find.offset);
      EXPECT_EQ(inner.finds[i].bytes, direct[i].bytes);
    }
  }
}

TEST(Scanner, TiffHeaderOfAnExifBlockIsNoTiffFind) {
  // A comment segment moves the EXIF block's TIFF header to a sector start.
  std::vector<uint8_t> jpg = readFile(pic("exif.jpg"));
  std::vector<uint8_t> com = {0xFF, 0xFE, 0x01, 0xF2};
  com.resize(2 + 498, 'x');
  jpg.insert(jpg.begin() + 2, com.begin(), com.end());
  ASSERT_EQ(jpg[512], 'I');
  ASSERT_EQ(jpg[514], 42);
  std::vector<uint8_t> disk = qvtest::randomBytes(1 << 20, 12);
  place(disk, 0, jpg);
  auto finds = scanBytes(disk);
  ASSERT_EQ(finds.size(), 1u);
  EXPECT_EQ(finds[0].bytes, jpg);
  // And with the picture itself lost.
  std::fill(disk.begin() + 8192, disk.begin() + long(jpg.size()), 0xFF);
  EXPECT_TRUE(scanBytes(disk).empty());
}

TEST(StartFinder, StopsAtExactlyThePairsOfTheEnabledTypes) {
  // Every first or second byte of a pair, and bytes one bit away from them,
  // at every alignment: the wide search must agree with a byte-by-byte one.
  const uint8_t pairs[][2] = {{0xFF, 0xD8}, {0x89, 'P'}, {'G', 'I'}, {'B', 'M'}, {'I', 'I'},
                              {'M', 'M'},   {'F', 'U'},  {'R', 'I'}};
  // The types that want each pair: TIFF headers lead to TIFFs and RAWs.
  const unsigned pairTypes[] = {typeBit(PicType::Jpg),
                                typeBit(PicType::Png),
                                typeBit(PicType::Gif),
                                typeBit(PicType::Bmp),
                                typeBit(PicType::Tif) | typeBit(PicType::Raw),
                                typeBit(PicType::Tif) | typeBit(PicType::Raw),
                                typeBit(PicType::Raw),
                                typeBit(PicType::Webp)};
  std::vector<uint8_t> alphabet;
  for (const auto& p : pairs)
    for (uint8_t b : p) alphabet.insert(alphabet.end(), {b, uint8_t(b ^ 1), uint8_t(b ^ 0x10)});
  std::mt19937 rng(77);
  std::vector<uint8_t> data(20000);
  for (auto& b : data) b = rng() % 4 ? alphabet[rng() % alphabet.size()] : uint8_t(rng());
  for (unsigned mask = 0; mask <= kAllTypes; ++mask) {
    const StartFinder finder(mask);
    auto expected = [&](size_t i) {
      for (size_t k = 0; k < std::size(pairs); ++k)
        if ((mask & pairTypes[k]) && data[i] == pairs[k][0] && data[i + 1] == pairs[k][1]) return true;
      return false;
    };
    const size_t to = data.size() - 1;
    for (size_t from : {size_t(0), size_t(1), size_t(31), size_t(33)}) {
      size_t want = from;
      for (size_t got = finder.next(data.data(), from, to);; got = finder.next(data.data(), got + 1, to)) {
        while (want < to && !expected(want)) ++want;
        ASSERT_EQ(got, want) << "mask " << mask << " from " << from;
        if (got == to) break;
        ++want;
      }
    }
  }
}

TEST(FindByte, AgreesWithMemchrAtEveryLengthAndPlace) {
  // The byte alone, among near misses, twice, or not there, in spans of
  // every length around the 16-byte steps.
  std::vector<uint8_t> data(80, 0xFE);
  for (size_t n = 0; n <= 70; ++n)
    for (size_t at = 0; at <= n + 1; ++at)
      for (int twice = 0; twice < 2; ++twice) {
        std::fill(data.begin(), data.end(), uint8_t(at % 2 ? 0x7F : 0xFE));
        if (at < data.size()) data[at] = 0xFF;
        if (twice && at + 17 < data.size()) data[at + 17] = 0xFF;
        const void* want = std::memchr(data.data(), 0xFF, n);
        ASSERT_EQ(static_cast<const void*>(findByte(data.data(), n, 0xFF)), want) << "n " << n << " at " << at;
      }
}

namespace {

ScanOptions withThreads(ScanOptions o, unsigned threads) {
  o.threads = threads;
  return o;
}

void expectSameFinds(const std::vector<Collected>& a, const std::vector<Collected>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].find.offset, b[i].find.offset);
    EXPECT_EQ(a[i].find.type, b[i].find.type);
    EXPECT_TRUE(a[i].bytes == b[i].bytes) << "find " << i << " at " << a[i].find.offset;
  }
}

}  // namespace

TEST(Scanner, AnyNumberOfThreadsFindsTheSame) {
  // Pictures in pieces, pictures that run across blocks and ones whose head
  // lies on the last bytes of a block, a JPEG inside a JPEG and random data.
  const size_t block = 64 * 1024;
  std::vector<uint8_t> disk = qvtest::randomBytes(6 << 20, 51);
  std::vector<uint8_t> jpg = readFile(pic("exif.jpg")), tiny = readFile(qvtest::smallPic("tiny.jpg"));
  std::vector<uint8_t> gif = readFile(pic("static.gif")), png = readFile(pic("many_idat.png"));
  size_t at = 4096;
  for (const char* name : {"base.jpg", "mpf.jpg", "alpha.png", "true24.bmp", "le_tiles.tif", "anim.gif"}) {
    std::vector<uint8_t> f = readFile(pic(name));
    place(disk, at, f);
    at = roundUp(at + f.size() + 3 * block + 700, 512);
  }
  for (size_t back = 1; back <= 33; back += 4) {
    at = roundUp(at + 1, block) + block - back;
    place(disk, at, tiny);
  }
  // A JPEG and a PNG, each in two pieces around a GIF, and a JPEG in two
  // pieces around free space (whole by its markers, not by its data).
  for (int i = 0; i < 3; ++i) {
    const std::vector<uint8_t>* f = i == 1 ? &png : &jpg;
    at = roundUp(at + block, 4096);
    const size_t split = 8192;
    place(disk, at, std::vector<uint8_t>(f->begin(), f->begin() + long(split)));
    std::fill(disk.begin() + long(at + split), disk.begin() + long(at + split + roundUp(gif.size(), 4096)), 0);
    if (i < 2) place(disk, at + split, gif);
    place(disk, at + split + roundUp(gif.size(), 4096), std::vector<uint8_t>(f->begin() + long(split), f->end()));
    at += split + roundUp(gif.size(), 4096) + f->size();
  }
  ASSERT_LT(at, disk.size());
  std::vector<std::vector<uint8_t>> disks = {disk, readFile(qvtest::samples() + "/deleted.img")};

  for (const auto& d : disks) {
    ScanOptions tight = tightOptions();
    const std::vector<Collected> one = scanBytes(d, withThreads(tight, 1));
    EXPECT_GE(one.size(), 10u);
    for (unsigned threads : {2u, 7u}) {
      SCOPED_TRACE(threads);
      expectSameFinds(scanBytes(d, withThreads(tight, threads)), one);
      // Little read ahead: many candidates are left to be checked in order.
      ScanOptions shortSight = withThreads(tight, threads);
      shortSight.checkAhead = 3000;
      expectSameFinds(scanBytes(d, shortSight), one);
      expectSameFinds(scanBytes(d, withThreads(ScanOptions{}, threads)), one);
    }
  }
}

TEST(Scanner, APictureWhoseHeadStraddlesTwoBlocksIsFoundOnce) {
  std::vector<uint8_t> tiny = readFile(qvtest::smallPic("tiny.png"));
  const size_t block = 64 * 1024;
  for (size_t back : {size_t(1), size_t(2), size_t(8), size_t(31), size_t(32), size_t(33)}) {
    SCOPED_TRACE(back);
    std::vector<uint8_t> disk = qvtest::randomBytes(4 * block, 61);
    place(disk, 2 * block - back, tiny);
    for (unsigned threads : {1u, 2u, 7u}) {
      auto finds = scanBytes(disk, withThreads(tightOptions(), threads));
      ASSERT_EQ(finds.size(), 1u) << threads << " threads";
      EXPECT_EQ(finds[0].find.offset, 2 * block - back);
      EXPECT_EQ(finds[0].bytes, tiny);
    }
  }
}
