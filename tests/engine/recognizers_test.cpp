#include <gtest/gtest.h>

#include <cstring>

#include "recognizers.h"
#include "signature.h"
#include "support.h"

using namespace qv;
using qvtest::pic;
using qvtest::readFile;

namespace {

PicType typeOf(const std::string& name) {
  std::string ext = name.substr(name.rfind('.') + 1);
  for (int i = 0; i < kPicTypeCount; ++i)
    if (ext == typeName(PicType(i))) return PicType(i);
  ADD_FAILURE() << name;
  return PicType::Jpg;
}

uint64_t lengthOf(PicType t, const std::vector<uint8_t>& data) {
  MemoryView v(data.data(), data.size());
  return recognize(t, v).length;
}

std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

TEST(Recognizers, EverySampleEndsExactlyWhereItsFileEnds) {
  for (const std::string& name : qvtest::allPictures()) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> file = readFile(pic(name));
    ASSERT_GT(file.size(), 100u);
    EXPECT_GE(candidateType(file.data(), kAllTypes), 0);
    // Whatever follows on the disk is not part of it.
    for (uint32_t seed : {1u, 2u}) {
      EXPECT_EQ(lengthOf(typeOf(name), concat(file, qvtest::randomBytes(70000, seed))), file.size());
    }
    EXPECT_EQ(lengthOf(typeOf(name), concat(file, std::vector<uint8_t>(70000, 0))), file.size());
  }
}

TEST(Recognizers, TruncatedPicturesAreNotWhole) {
  for (const std::string& name : qvtest::allPictures()) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> file = readFile(pic(name));
    for (size_t keep : {file.size() / 3, file.size() * 3 / 4, file.size() - 1}) {
      std::vector<uint8_t> cut(file.begin(), file.begin() + long(keep));
      uint64_t len = lengthOf(typeOf(name), cut);
      if (name == "mpf.jpg" && len) {
        EXPECT_LT(len, keep);  // the main image alone, never the cut one
      } else {
        EXPECT_EQ(len, 0u) << "kept " << keep;
      }
    }
  }
}

TEST(Recognizers, ForeignDataInsideIsNoticed) {
  std::vector<uint8_t> other = readFile(pic("prog.jpg"));
  for (const std::string& name : {"base.jpg", "restart.jpg", "plain.png", "static.gif", "anim.gif"}) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> file = readFile(pic(name));
    // A cluster in the middle holds another file, as after fragmentation.
    size_t at = file.size() / 2 / 4096 * 4096;
    std::vector<uint8_t> mixed = file;
    std::memcpy(&mixed[at], other.data(), 4096);
    EXPECT_EQ(lengthOf(typeOf(name), mixed), 0u);
    std::vector<uint8_t> noise = file;
    std::vector<uint8_t> junk = qvtest::randomBytes(4096, 11);
    std::memcpy(&noise[at], junk.data(), junk.size());
    EXPECT_EQ(lengthOf(typeOf(name), noise), 0u);
  }
}

TEST(Recognizers, OneFlippedBitBreaksAPngChunkCrc) {
  std::vector<uint8_t> file = readFile(pic("many_idat.png"));
  file[file.size() / 2] ^= 0x10;
  EXPECT_EQ(lengthOf(PicType::Png, file), 0u);
}

TEST(Recognizers, ExifThumbnailIsPartOfItsPicture) {
  for (const std::string& name : {"exif.jpg", "exif_aligned.jpg"}) {
    std::vector<uint8_t> file = readFile(pic(name));
    MemoryView v(file.data(), file.size());
    Recognition r = recognizeJpeg(v, 1 << 30);
    EXPECT_EQ(r.length, file.size()) << name;
  }
  // Even when the main image is lost, what lies in its EXIF block is covered.
  std::vector<uint8_t> file = readFile(pic("exif_aligned.jpg"));
  file.resize(file.size() / 2);
  MemoryView v(file.data(), file.size());
  Recognition r = recognizeJpeg(v, 1 << 30);
  EXPECT_EQ(r.length, 0u);
  EXPECT_GT(r.shadow, 1024u + 100u);
}

TEST(Recognizers, MultiPictureFileIsRecoveredToItsLastImage) {
  std::vector<uint8_t> file = readFile(pic("mpf.jpg"));
  EXPECT_EQ(lengthOf(PicType::Jpg, file), file.size());
  // The main image alone when the following one is damaged: its own EOI.
  std::vector<uint8_t> damaged = file;
  damaged[damaged.size() - 1000] = 0xFF;
  damaged[damaged.size() - 999] = 0xD8;
  uint64_t len = lengthOf(PicType::Jpg, damaged);
  EXPECT_GT(len, 1000u);
  EXPECT_LT(len, file.size() - 1000);
  EXPECT_EQ(damaged[len - 2], 0xFF);
  EXPECT_EQ(damaged[len - 1], 0xD9);
}

TEST(Recognizers, InconsistentBmpHeadersAreRefused) {
  std::vector<uint8_t> file = readFile(pic("true24.bmp"));
  auto patched = [&](size_t at, uint32_t value) {
    std::vector<uint8_t> f = file;
    std::memcpy(&f[at], &value, 4);
    return f;
  };
  EXPECT_EQ(lengthOf(PicType::Bmp, patched(2, uint32_t(file.size() - 100))), 0u);  // size too small
  EXPECT_EQ(lengthOf(PicType::Bmp, patched(10, 20)), 0u);                          // offset in header
  EXPECT_EQ(lengthOf(PicType::Bmp, patched(28, 7)), 0u);                           // bit depth 7
  EXPECT_EQ(lengthOf(PicType::Bmp, patched(18, 0)), 0u);                           // width 0
}

TEST(Recognizers, TiffStripsPastTheEndAreNotWhole) {
  std::vector<uint8_t> file = readFile(pic("le_strips.tif"));
  // The directory comes after the strips here: dropping the last bytes
  // loses it; dropping nothing but growing a strip count runs past the end.
  uint32_t ifd;
  std::memcpy(&ifd, &file[4], 4);
  ASSERT_LT(ifd + 2u, file.size());
  std::vector<uint8_t> cut(file.begin(), file.begin() + ifd);
  EXPECT_EQ(lengthOf(PicType::Tif, cut), 0u);
}

// A camera's TIFF: one strip, then an EXIF directory with a date string, a
// list of two sub-images' directories and a JPEG preview, in the order
// given. The picture ends with the last of these, not with the image data.
enum class TiffPart { Exif, SubImages, Preview };

std::vector<uint8_t> tiffWithSubDirectories(bool le, const std::vector<TiffPart>& order) {
  std::vector<uint8_t> t;
  auto u16 = [&](uint32_t v) {
    uint8_t b[2] = {uint8_t(le ? v : v >> 8), uint8_t(le ? v >> 8 : v)};
    t.insert(t.end(), b, b + 2);
  };
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) t.push_back(uint8_t(v >> (le ? 8 * i : 8 * (3 - i))));
  };
  auto entry = [&](uint32_t tag, uint32_t type, uint32_t count, uint32_t value) {
    u16(tag);
    u16(type);
    u32(count);
    if (type == 3 && count == 1) {
      u16(value);
      u16(0);
    } else {
      u32(value);
    }
  };
  const uint32_t dir1 = 2 + 12 + 4;  // a directory of one entry
  const uint32_t strip = 8 + 2 + 8 * 12 + 4;
  uint32_t at[3], next = strip + 16;
  for (TiffPart p : order) {
    at[int(p)] = next;
    next += p == TiffPart::Exif ? dir1 + 20 : p == TiffPart::SubImages ? 8 + 2 * dir1 : 40;
  }
  const uint32_t exif = at[int(TiffPart::Exif)], subs = at[int(TiffPart::SubImages)];
  t = le ? std::vector<uint8_t>{'I', 'I', 42, 0} : std::vector<uint8_t>{'M', 'M', 0, 42};
  u32(8);
  u16(8);
  entry(256, 3, 1, 4);
  entry(257, 3, 1, 4);
  entry(273, 4, 1, strip);
  entry(279, 4, 1, 16);
  entry(330, 4, 2, subs);
  entry(513, 4, 1, at[int(TiffPart::Preview)]);
  entry(514, 4, 1, 40);
  entry(34665, 4, 1, exif);
  u32(0);
  t.resize(strip + 16, 0x55);
  for (TiffPart p : order) {
    EXPECT_EQ(t.size(), at[int(p)]);
    if (p == TiffPart::Exif) {
      u16(1);
      entry(0x9003, 2, 20, exif + dir1);
      u32(0);
      t.resize(t.size() + 20, '2');  // the date
    } else if (p == TiffPart::SubImages) {
      u32(subs + 8);
      u32(subs + 8 + dir1);
      for (int i = 0; i < 2; ++i) {
        u16(1);
        entry(254, 4, 1, 1);
        u32(0);
      }
    } else {
      t.resize(t.size() + 40, 0xD8);
    }
  }
  return t;
}

TEST(Recognizers, TiffEndsWithItsLastSubDirectory) {
  using P = TiffPart;
  for (bool le : {true, false}) {
    for (const auto& order : {std::vector<P>{P::SubImages, P::Preview, P::Exif},
                              std::vector<P>{P::Exif, P::Preview, P::SubImages},
                              std::vector<P>{P::Exif, P::SubImages, P::Preview}}) {
      SCOPED_TRACE(std::string(le ? "II" : "MM") + " last part " + std::to_string(int(order.back())));
      std::vector<uint8_t> file = tiffWithSubDirectories(le, order);
      EXPECT_EQ(lengthOf(PicType::Tif, concat(file, qvtest::randomBytes(4096, 3))), file.size());
      // Without the last part's final byte it is not whole.
      std::vector<uint8_t> cut(file.begin(), file.end() - 1);
      EXPECT_EQ(lengthOf(PicType::Tif, cut), 0u);
    }
  }
}

TEST(Recognizers, RandomDataAfterASignatureIsNoPicture) {
  const std::vector<std::vector<uint8_t>> heads = {
      {0xFF, 0xD8, 0xFF, 0xE0}, {0xFF, 0xD8, 0xFF, 0xDB}, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A},
      {'G', 'I', 'F', '8', '9', 'a'}, {'B', 'M'}, {'I', 'I', 42, 0, 8, 0, 0, 0}, {'M', 'M', 0, 42, 0, 0, 0, 8}};
  const PicType types[] = {PicType::Jpg, PicType::Jpg, PicType::Png, PicType::Gif,
                           PicType::Bmp, PicType::Tif, PicType::Tif};
  for (size_t h = 0; h < heads.size(); ++h) {
    for (uint32_t seed = 0; seed < 300; ++seed) {
      std::vector<uint8_t> data = qvtest::randomBytes(8192, seed * 7 + uint32_t(h));
      std::copy(heads[h].begin(), heads[h].end(), data.begin());
      ASSERT_EQ(lengthOf(types[h], data), 0u) << "head " << h << " seed " << seed;
    }
  }
}

TEST(Recognizers, SizeBoundIsHonoured) {
  for (const std::string& name : qvtest::allPictures()) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> file = concat(readFile(pic(name)), qvtest::randomBytes(4096, 4));
    const uint64_t size = file.size() - 4096;
    MemoryView v(file.data(), file.size());
    EXPECT_EQ(recognize(typeOf(name), v, size).length, size);
    // One byte less: refused (a multi-picture file keeps only its main image).
    uint64_t bounded = recognize(typeOf(name), v, size - 1).length;
    if (name == "mpf.jpg")
      EXPECT_LT(bounded, size - 1);
    else
      EXPECT_EQ(bounded, 0u);
  }
}
