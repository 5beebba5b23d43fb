// HEIC, AVIF and CR3 (ISO media) and WebP: where each file ends, what is
// refused, and the scan over a disk of them between JPEGs, random data and
// zeros (make_samples.py's modern folder: heif-enc, avifenc and cwebp
// output, a CR3 made to Canon's public layout).
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "collect_sink.h"
#include "fs/record_pass.h"
#include "iso_media.h"
#include "recognizers.h"
#include "scanner.h"
#include "signature.h"
#include "source.h"
#include "support.h"

using namespace qv;
using qvtest::readFile;

namespace {

std::string modern(const std::string& name) { return qvtest::samples() + "/modern/" + name; }

struct Sample {
  const char* file;
  PicType type;
  const char* ext;  // nullptr: the type's own
};

const std::vector<Sample>& samples() {
  static const std::vector<Sample> all = {
      {"photo.heic", PicType::Heic, nullptr},     {"large_mdat.heic", PicType::Heic, nullptr},
      {"jpeg_inside.heic", PicType::Heic, nullptr}, {"photo.avif", PicType::Avif, nullptr},
      {"photo.cr3", PicType::Raw, "cr3"},           {"lossy.webp", PicType::Webp, nullptr},
      {"lossless.webp", PicType::Webp, nullptr},    {"alpha.webp", PicType::Webp, nullptr}};
  return all;
}

// The type a candidate at data's start has by its signature, -1 if none.
int signatureType(const std::vector<uint8_t>& data, unsigned mask = kAllTypes) {
  uint8_t head[kSignatureBytes] = {};
  std::memcpy(head, data.data(), std::min(data.size(), sizeof head));
  const int t = candidateType(head, mask);
  return t >= 0 ? t : isoMediaType(head, mask);
}

Recognition recognizeBytes(const std::vector<uint8_t>& data, uint64_t maxLen) {
  const int t = signatureType(data);
  if (t < 0) return {};
  MemoryView v(data.data(), data.size());
  return recognize(PicType(t), v, maxLen);
}
Recognition recognizeBytes(const std::vector<uint8_t>& data) { return recognizeBytes(data, data.size()); }

std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

void putBe32(std::vector<uint8_t>& d, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) d[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
}
void putLe32(std::vector<uint8_t>& d, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) d[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// Offset of the top-level box of this type.
size_t topBox(const std::vector<uint8_t>& d, const char* type) {
  size_t o = 0;
  while (o + 8 <= d.size()) {
    if (std::memcmp(&d[o + 4], type, 4) == 0) return o;
    uint64_t size = uint64_t(d[o]) << 24 | uint64_t(d[o + 1]) << 16 | uint64_t(d[o + 2]) << 8 | d[o + 3];
    if (size == 1) {
      size = 0;
      for (int i = 0; i < 8; ++i) size = size << 8 | d[o + 8 + size_t(i)];
    }
    if (size < 8) break;
    o += size_t(size);
  }
  return std::string::npos;
}

}  // namespace

TEST(ModernFormats, EveryFileEndsExactlyWhereItEndsWhateverFollows) {
  const std::vector<uint8_t> zeros(4096, 0), noise = qvtest::randomBytes(70000, 5);
  for (const Sample& s : samples()) {
    SCOPED_TRACE(s.file);
    const std::vector<uint8_t> file = readFile(modern(s.file));
    ASSERT_GT(file.size(), 100u);
    for (const auto& after : {std::vector<uint8_t>(), zeros, noise, readFile(modern("photo.heic"))}) {
      const std::vector<uint8_t> disk = concat(file, after);
      const Recognition r = recognizeBytes(disk);
      EXPECT_EQ(r.length, file.size());
      EXPECT_EQ(foundType(PicType(signatureType(disk)), r), s.type);
      EXPECT_STREQ(r.ext ? r.ext : "", s.ext ? s.ext : "");
      // As the content search sees it: the disk goes on far beyond.
      MemoryView v(disk.data(), disk.size());
      EXPECT_EQ(recognize(PicType(signatureType(disk)), v).length, file.size());
    }
  }
}

TEST(ModernFormats, AFileCutShortIsNotWhole) {
  for (const Sample& s : samples()) {
    SCOPED_TRACE(s.file);
    const std::vector<uint8_t> file = readFile(modern(s.file));
    for (size_t cut : {size_t(8), size_t(40), file.size() / 3, file.size() / 2, file.size() - 1}) {
      std::vector<uint8_t> part(file.begin(), file.begin() + long(cut));
      EXPECT_EQ(recognizeBytes(part).length, 0u) << cut;
      // Written only so far, the rest of its clusters zero: a zero sector
      // in its coded data (not looked for in a CR3, whose track layout
      // may hold padding).
      if (s.type != PicType::Raw && cut + 2 * kSectorSize <= file.size())
        EXPECT_EQ(recognizeBytes(concat(part, std::vector<uint8_t>(file.size(), 0))).length, 0u) << cut;
    }
  }
}

TEST(IsoMedia, SixtyFourBitSizesAndBoxesThatCannotBeOne) {
  const std::vector<uint8_t> heic = readFile(modern("photo.heic")), large = readFile(modern("large_mdat.heic"));
  const size_t mdat = topBox(large, "mdat");
  ASSERT_NE(mdat, std::string::npos);
  ASSERT_EQ(be32(&large[mdat]), 1u);  // the 64-bit size is used
  EXPECT_EQ(recognizeBytes(large).length, large.size());
  // A 64-bit size under 16, or one past the disk, is no box.
  std::vector<uint8_t> bad = large;
  for (int i = 8; i < 16; ++i) bad[mdat + size_t(i)] = 0;
  bad[mdat + 15] = 12;
  EXPECT_EQ(recognizeBytes(bad).length, 0u);
  bad[mdat + 8] = 0x7F;
  EXPECT_EQ(recognizeBytes(bad).length, 0u);
  // An mdat of size 0 runs to the file's end: only a file system knows it.
  std::vector<uint8_t> toEnd = heic;
  putBe32(toEnd, topBox(toEnd, "mdat"), 0);
  EXPECT_EQ(recognizeBytes(toEnd).length, 0u);
  MemoryView v(toEnd.data(), toEnd.size());
  EXPECT_EQ(recognizeIsoMediaFile(v, toEnd.size()).length, toEnd.size());
  // A bare ftyp, ftyp and meta without mdat, a video's brand: not pictures.
  const size_t meta = topBox(heic, "meta");
  EXPECT_EQ(recognizeBytes(std::vector<uint8_t>(heic.begin(), heic.begin() + long(meta))).length, 0u);
  EXPECT_EQ(recognizeBytes(std::vector<uint8_t>(heic.begin(), heic.begin() + long(topBox(heic, "mdat")))).length, 0u);
  std::vector<uint8_t> video = heic;
  std::memcpy(&video[8], "isom", 4);
  EXPECT_EQ(signatureType(video), -1);
  // meta's inside overwritten: its boxes no longer chain to its end.
  std::vector<uint8_t> broken = heic;
  std::fill(broken.begin() + long(meta) + 60, broken.begin() + long(meta) + 120, 0xA5);
  EXPECT_EQ(recognizeBytes(broken).length, 0u);
}

TEST(IsoMedia, AGeneralHeifBrandIsToldByItsCodec) {
  for (const auto& [file, type] : {std::pair<const char*, PicType>{"photo.heic", PicType::Heic},
                                   std::pair<const char*, PicType>{"photo.avif", PicType::Avif}}) {
    std::vector<uint8_t> d = readFile(modern(file));
    // Every brand made the general "mif1": only hvcC or av1C tells.
    const uint32_t ftyp = be32(d.data());
    for (uint32_t o = 8; o + 4 <= ftyp; o += 4)
      if (o != 12) std::memcpy(&d[o], "mif1", 4);
    const Recognition r = recognizeBytes(d);
    EXPECT_EQ(r.length, d.size()) << file;
    EXPECT_EQ(foundType(PicType::Heic, r), type) << file;
  }
}

TEST(Webp, RiffLengthOddOrTooLarge) {
  const std::vector<uint8_t> webp = readFile(modern("lossless.webp"));
  const std::vector<uint8_t> noise = qvtest::randomBytes(5000, 9);
  // The last chunk's data made one byte shorter: its size and the RIFF
  // length odd, the pad byte after it.
  std::vector<uint8_t> odd = webp;
  const uint32_t chunk = le32(&odd[16]);
  ASSERT_EQ(12 + 8 + chunk + (chunk & 1), odd.size());  // one chunk
  std::vector<uint8_t> shorter(odd.begin(), odd.begin() + long(12 + 8 + (chunk & ~1u) - 1));
  putLe32(shorter, 16, (chunk & ~1u) - 1);
  putLe32(shorter, 4, uint32_t(shorter.size() - 8));  // odd, pad left out
  ASSERT_EQ(shorter.size() % 2, 1u);
  // At the end of what there is, the file ends with its length; with more
  // after it, the pad byte is its own.
  EXPECT_EQ(recognizeBytes(shorter).length, shorter.size());
  EXPECT_EQ(recognizeBytes(concat(shorter, noise)).length, shorter.size() + 1);
  // Too large: random data or zeros inside the length, or past the disk.
  std::vector<uint8_t> large = webp;
  putLe32(large, 4, uint32_t(webp.size() - 8 + 512));
  EXPECT_EQ(recognizeBytes(concat(large, noise)).length, 0u);
  EXPECT_EQ(recognizeBytes(concat(large, std::vector<uint8_t>(600, 0))).length, 0u);
  putLe32(large, 4, 0xFFFFFFF0u);
  EXPECT_EQ(recognizeBytes(concat(large, noise)).length, 0u);
  // The first chunk must be a picture's.
  std::vector<uint8_t> noStart = webp;
  noStart[20] ^= 0xFF;  // VP8L's signature byte
  EXPECT_EQ(recognizeBytes(noStart).length, 0u);
  std::vector<uint8_t> lossy = readFile(modern("lossy.webp"));
  lossy[23] = 0;  // the start code 9D 01 2A
  EXPECT_EQ(recognizeBytes(lossy).length, 0u);
}

namespace {

using qvtest::Collected;
using qvtest::CollectSink;

std::vector<Collected> scanBytes(const std::vector<uint8_t>& data, unsigned threads, size_t blockSize,
                                 unsigned types = kAllTypes) {
  MemorySource src(data);
  CollectSink sink;
  ScanOptions o;
  o.threads = threads;
  o.blockSize = blockSize;
  o.readAhead = 2;
  o.maxHold = 4 * blockSize;
  o.checkAhead = blockSize;
  o.types = types;
  scan(src, o, sink);
  return std::move(sink.finds);
}

struct Placed {
  uint64_t at;
  std::vector<uint8_t> bytes;
  PicType type;
  const char* ext;
};

// Every new format between JPEGs, random data and zero runs; files at
// sector starts and at odd offsets, one ISO file starting in the last
// bytes of a block (its "ftyp" in the next), one across a block edge.
std::vector<uint8_t> mixedDisk(size_t block, std::vector<Placed>& placed) {
  std::vector<uint8_t> disk = qvtest::randomBytes(3 << 20, 77);
  std::fill(disk.begin() + 600000, disk.begin() + 700000, 0);
  const std::vector<uint8_t> jpeg = readFile(qvtest::pic("exif.jpg"));
  uint64_t at = 4096;
  auto put = [&](const std::vector<uint8_t>& bytes, PicType t, const char* ext, uint64_t where) {
    std::copy(bytes.begin(), bytes.end(), disk.begin() + long(where));
    placed.push_back(Placed{where, bytes, t, ext});
    at = (where + bytes.size() + 4096) / 512 * 512;
  };
  for (const Sample& s : samples()) {
    put(jpeg, PicType::Jpg, nullptr, at);
    put(readFile(modern(s.file)), s.type, s.ext, at + (s.type == PicType::Webp ? 77 : 0));
  }
  // The box start two bytes before a block edge, "ftyp" after it.
  const uint64_t edge = (at / block + 1) * block;
  put(readFile(modern("photo.avif")), PicType::Avif, nullptr, edge - 2);
  put(readFile(modern("lossy.webp")), PicType::Webp, nullptr, (at / block + 1) * block - 100);
  put(jpeg, PicType::Jpg, nullptr, at);
  EXPECT_LT(at, disk.size());
  return disk;
}

void expectPlaced(const std::vector<Collected>& finds, const std::vector<Placed>& placed) {
  ASSERT_EQ(finds.size(), placed.size());
  for (size_t i = 0; i < placed.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(finds[i].find.offset, placed[i].at);
    EXPECT_EQ(finds[i].find.type, placed[i].type);
    EXPECT_STREQ(finds[i].find.ext ? finds[i].find.ext : "", placed[i].ext ? placed[i].ext : "");
    EXPECT_TRUE(finds[i].bytes == placed[i].bytes);
  }
}

}  // namespace

TEST(ModernScan, EveryFileOfADiskIsFoundWholeAndNothingElseWithAnyThreads) {
  const size_t block = 256 * 1024;
  std::vector<Placed> placed;
  const std::vector<uint8_t> disk = mixedDisk(block, placed);
  for (unsigned threads : {1u, 3u}) {
    SCOPED_TRACE(threads);
    expectPlaced(scanBytes(disk, threads, block), placed);
  }
  // With the types' own blocks of 4 MiB, on a disk that is a block.
  expectPlaced(scanBytes(disk, 2, 4 << 20), placed);
}

TEST(ModernScan, PicturesInsideAHeicOrCr3AreNeverFindsOfTheirOwn) {
  // The CR3's thumbnail, preview and full-size JPEG, the HEIC's JPEG, each
  // recognisable alone; the files at sector starts.
  std::vector<uint8_t> disk(2 << 20, 0);
  const std::vector<uint8_t> cr3 = readFile(modern("photo.cr3")), heic = readFile(modern("jpeg_inside.heic"));
  std::copy(cr3.begin(), cr3.end(), disk.begin() + 512);
  std::copy(heic.begin(), heic.end(), disk.begin() + (1 << 20));
  for (unsigned types : {kAllTypes, typeBit(PicType::Jpg) | typeBit(PicType::Heic)}) {
    const auto finds = scanBytes(disk, 1, 256 * 1024, types);
    for (const auto& f : finds) EXPECT_NE(f.find.type, PicType::Jpg) << f.find.offset;
    // A CR3 when RAW is not wanted is passed over whole, its JPEGs with it.
    EXPECT_EQ(finds.size(), types == kAllTypes ? 2u : 1u);
  }
  // Without the ISO types, the JPEGs inside are there to be found.
  EXPECT_GE(scanBytes(disk, 1, 256 * 1024, typeBit(PicType::Jpg)).size(), 3u);
}

TEST(ModernScan, AHeicWithAnotherFileStartingInsideWasFragmented) {
  std::vector<uint8_t> disk = qvtest::randomBytes(1 << 20, 3);
  const std::vector<uint8_t> heic = readFile(modern("photo.heic")), jpeg = readFile(qvtest::pic("exif.jpg"));
  std::copy(heic.begin(), heic.end(), disk.begin());
  // Another camera photo over the HEIC's second half, at a sector start.
  std::copy(jpeg.begin(), jpeg.end(), disk.begin() + 64 * 1024);
  const auto finds = scanBytes(disk, 1, 256 * 1024);
  ASSERT_EQ(finds.size(), 1u);
  EXPECT_EQ(finds[0].find.type, PicType::Jpg);
  EXPECT_EQ(finds[0].find.offset, 64u * 1024);
}

TEST(ModernRecords, DeletedFatFilesComeBackUnderTheirNames) {
  MemorySource src(readFile(qvtest::samples() + "/modern_deleted.img"));
  CollectSink sink;
  writeRecordedPictures(src, kAllTypes, sink);
  // Four-letter extensions need a long name, which keeps its first letter;
  // an 8.3 name loses it.
  std::map<std::string, std::string> want = {{"IMG_0001.heic", "photo.heic"},
                                             {"_MG_0002.cr3", "photo.cr3"},
                                             {"Pic.avif", "photo.avif"},
                                             {"download.webp", "lossy.webp"},
                                             {"IMG_0003.heic", "jpeg_inside.heic"}};
  for (const auto& c : sink.finds) {
    auto it = want.find(c.find.name);
    if (it == want.end()) {
      ADD_FAILURE() << "unexpected " << c.find.name;
      continue;
    }
    EXPECT_TRUE(c.bytes == readFile(modern(it->second))) << c.find.name;
    EXPECT_TRUE(c.find.deleted);
    EXPECT_EQ(c.find.folder, "\\");
    want.erase(it);
  }
  for (const auto& w : want) ADD_FAILURE() << w.first << " not recovered";
}
