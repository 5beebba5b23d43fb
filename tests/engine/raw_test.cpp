// Camera RAWs: each family's end, cut-short and damaged files, and the scan of
// a disk with RAWs between other pictures (their previews never found apart).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "recognizers.h"
#include "scanner.h"
#include "signature.h"
#include "support.h"

using namespace qv;
using qvtest::readFile;

namespace {

struct Sample {
  const char* file;
  const char* ext;
};

const Sample kSamples[] = {
    {"canon.cr2", "cr2"},         {"canon_preview_last.cr2", "cr2"}, {"nikon.nef", "nef"},
    {"nikon_preview_last.nef", "nef"}, {"coolpix.nrw", "nrw"},       {"sony.arw", "arw"},
    {"sony.sr2", "sr2"},          {"adobe.dng", "dng"},              {"pentax.pef", "pef"},
    {"samsung.srw", "srw"},       {"olympus.orf", "orf"},            {"olympus_be.orf", "orf"},
    {"panasonic.rw2", "rw2"},     {"leica.rwl", "rwl"},              {"fuji.raf", "raf"},
    {"fuji_preview_last.raf", "raf"}};

std::vector<uint8_t> raw(const std::string& name) { return readFile(qvtest::samples() + "/raw/" + name); }

// What the scanner does with a candidate at byte 0.
Recognition recognizeAt0(const std::vector<uint8_t>& data, uint64_t maxLen, int* sigType = nullptr) {
  int t = data.size() >= kSignatureBytes ? candidateType(data.data(), kAllTypes) : -1;
  if (sigType) *sigType = t;
  if (t < 0) return {};
  MemoryView v(data.data(), data.size());
  return recognize(PicType(t), v, maxLen);
}

uint32_t get32(const std::vector<uint8_t>& d, size_t at, bool le) { return le ? le32(&d[at]) : be32(&d[at]); }
void put32(std::vector<uint8_t>& d, size_t at, uint32_t v, bool le) {
  for (int i = 0; i < 4; ++i) d[at + size_t(i)] = uint8_t(le ? v >> (8 * i) : v >> (24 - 8 * i));
}

// The position of IFD0's entry `tag` (TIFF structures only).
size_t ifd0Entry(const std::vector<uint8_t>& d, unsigned tag) {
  bool le = d[0] == 'I';
  size_t at = get32(d, 4, le);
  unsigned n = le ? le16(&d[at]) : be16(&d[at]);
  for (unsigned i = 0; i < n; ++i) {
    size_t e = at + 2 + 12 * i;
    if ((le ? le16(&d[e]) : be16(&d[e])) == tag) return e;
  }
  return 0;
}

}  // namespace

TEST(Raw, EveryFamilyEndsExactlyWhereItsFileEndsUnderItsExtension) {
  for (const Sample& s : kSamples) {
    SCOPED_TRACE(s.file);
    std::vector<uint8_t> d = raw(s.file);
    ASSERT_GT(d.size(), 3000000u);
    int sig = -1;
    Recognition r = recognizeAt0(d, d.size(), &sig);
    EXPECT_EQ(r.length, d.size());
    EXPECT_EQ(foundType(PicType(sig), r), PicType::Raw);
    ASSERT_NE(r.ext, nullptr);
    EXPECT_STREQ(r.ext, s.ext);
    // Followed by more data, it still ends there.
    d.resize(d.size() + 100000, 0x77);
    EXPECT_EQ(recognizeAt0(d, d.size()).length, d.size() - 100000);
  }
  // The preview-last variants really end with their preview's EOI.
  for (const char* name : {"canon_preview_last.cr2", "nikon_preview_last.nef", "fuji_preview_last.raf", "adobe.dng"}) {
    std::vector<uint8_t> d = raw(name);
    EXPECT_TRUE(d[d.size() - 2] == 0xFF && d[d.size() - 1] == 0xD9) << name;
  }
}

TEST(Raw, PlainTiffsStayTiffs) {
  for (const char* name : {"le_strips.tif", "be_strips.tif", "le_tiles.tif", "be_tiles.tif"}) {
    std::vector<uint8_t> d = readFile(qvtest::pic(name));
    Recognition r = recognizeAt0(d, d.size());
    EXPECT_EQ(r.length, d.size()) << name;
    EXPECT_EQ(r.type, -1) << name;
    EXPECT_EQ(r.ext, nullptr) << name;
  }
  // A maker's name alone does not make a RAW: Nikon's scanner writes RGB TIFFs.
  std::vector<uint8_t> d = raw("nikon.nef");
  size_t sub = ifd0Entry(d, 330);
  ASSERT_NE(sub, 0u);
  d[sub] = d[sub + 1] = 0x0A;  // SubIFDs (raw CFA and preview) become a private tag 0x0A0A
  Recognition r = recognizeAt0(d, d.size());
  EXPECT_NE(r.length, 0u);
  EXPECT_EQ(r.type, -1);
}

TEST(Raw, FilesCutShortAreNotWhole) {
  for (const Sample& s : kSamples) {
    SCOPED_TRACE(s.file);
    const std::vector<uint8_t> d = raw(s.file);
    // Cut anywhere (the disk ends there), or bounded one byte short.
    for (size_t cut : {d.size() - 1, d.size() - 4096, d.size() / 2, size_t(70000), size_t(700)}) {
      std::vector<uint8_t> part(d.begin(), d.begin() + long(cut));
      EXPECT_EQ(recognizeAt0(part, part.size()).length, 0u) << cut;
    }
    EXPECT_EQ(recognizeAt0(d, d.size() - 1).length, 0u);
  }
}

TEST(Raw, OffsetsPastTheDiskOrBackwardsAreRefused) {
  for (const char* name : {"nikon.nef", "canon.cr2", "sony.arw", "panasonic.rw2", "olympus.orf"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> d = raw(name);
    const bool le = d[0] == 'I';
    // The first directory past the disk, inside the header, at 0.
    for (uint32_t ifd : {0xFFFFFFF0u, uint32_t(d.size()), 4u, 0u}) {
      std::vector<uint8_t> bad = d;
      put32(bad, 4, ifd, le);
      EXPECT_EQ(recognizeAt0(bad, bad.size()).length, 0u) << ifd;
    }
    // IFD0's next directory pointing back at itself: walked once, still whole.
    {
      std::vector<uint8_t> loop = d;
      size_t at = get32(d, 4, le);
      unsigned n = le ? le16(&d[at]) : be16(&d[at]);
      if (get32(d, at + 2 + 12 * n, le) == 0) {
        put32(loop, at + 2 + 12 * n, uint32_t(at), le);
        EXPECT_EQ(recognizeAt0(loop, loop.size()).length, d.size());
      }
    }
    // The raw strip's offset (or a count) running past the end, or wrapping.
    size_t e = ifd0Entry(d, 0x8769);
    if (!e) e = ifd0Entry(d, 273);
    ASSERT_NE(e, 0u);
    for (uint32_t off : {0xFFFFFF00u, uint32_t(d.size() - 2)}) {
      std::vector<uint8_t> bad = d;
      put32(bad, e + 8, off, le);  // the Exif directory or the raw strip
      EXPECT_EQ(recognizeAt0(bad, bad.size()).length, 0u) << off;
    }
  }
  // RAF: an offset into the header, a length past the disk, a wrapping sum,
  // no raw data, no JPEG where the preview should be.
  const std::vector<uint8_t> d = raw("fuji.raf");
  for (auto [at, value] : std::initializer_list<std::pair<size_t, uint32_t>>{
           {84, 40}, {104, 0xFFFFFFF0u}, {100, 0xFFFFFF00u}, {104, 0}, {84, be32(&d[84]) + 1}}) {
    std::vector<uint8_t> bad = d;
    put32(bad, at, value, false);
    EXPECT_EQ(recognizeAt0(bad, bad.size()).length, 0u) << at << " " << value;
  }
}

TEST(Raw, NikonMakerNotePreviewCountsTowardsTheEnd) {
  // In this variant the maker note's own preview (PreviewIFD, offsets from
  // the note's TIFF header) lies after the raw data: the file ends with it.
  const std::vector<uint8_t> d = raw("nikon_preview_last.nef");
  std::vector<uint8_t> cut(d.begin(), d.end() - 100);
  EXPECT_EQ(recognizeAt0(cut, cut.size()).length, 0u);
  EXPECT_EQ(recognizeAt0(d, d.size()).length, d.size());
}
