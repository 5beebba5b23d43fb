// Camera RAWs: each family's end, cut-short and damaged files, and the scan of
// a disk with RAWs between other pictures (their previews never found apart).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "collect_sink.h"
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
    // Checked again as what it turned out to be (a find by its type), the same.
    MemoryView again(d.data(), d.size());
    EXPECT_EQ(recognize(PicType::Raw, again, d.size()).length, d.size());
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

namespace {

using qvtest::Collected;
using qvtest::CollectSink;

std::vector<Collected> scanDisk(const std::vector<uint8_t>& disk, unsigned threads, unsigned types = kAllTypes) {
  MemorySource src(disk);
  CollectSink sink;
  ScanOptions o;
  o.threads = threads;
  o.types = types;
  scan(src, o, sink);
  return std::move(sink.finds);
}

struct Placed {
  std::string name;
  size_t at;
  std::vector<uint8_t> bytes;
};

// RAWs, JPEGs, random data and zero runs, each file at a sector start.
struct Disk {
  std::vector<uint8_t> bytes;
  std::vector<Placed> files;

  void gap(size_t n, bool zeros, uint32_t seed) {
    std::vector<uint8_t> g = zeros ? std::vector<uint8_t>(n, 0) : qvtest::randomBytes(n, seed);
    bytes.insert(bytes.end(), g.begin(), g.end());
  }
  void add(const std::string& name, std::vector<uint8_t> file) {
    bytes.resize((bytes.size() + 511) / 512 * 512);
    files.push_back({name, bytes.size(), file});
    bytes.insert(bytes.end(), file.begin(), file.end());
  }
};

Disk rawsBetweenJpegs() {
  Disk d;
  uint32_t seed = 1;
  for (const Sample& s : kSamples) {
    d.gap(70000 + seed * 333, seed % 2 == 0, seed);
    d.add(s.file, raw(s.file));
    d.gap(4096, true, 0);
    d.add("exif.jpg", readFile(qvtest::pic("exif.jpg")));
    ++seed;
  }
  d.gap(100000, false, 99);
  return d;
}

void expectFinds(const std::vector<Collected>& finds, const Disk& d, const std::vector<std::string>& missing = {}) {
  std::map<uint64_t, const Collected*> at;
  for (const Collected& c : finds) at[c.find.offset] = &c;
  for (const Placed& p : d.files) {
    if (std::find(missing.begin(), missing.end(), p.name) != missing.end()) continue;
    SCOPED_TRACE(p.name);
    auto it = at.find(p.at);
    if (it == at.end()) {
      ADD_FAILURE() << "not found";
      continue;
    }
    const Collected& c = *it->second;
    EXPECT_TRUE(c.bytes == p.bytes);
    const std::string ext = p.name.substr(p.name.rfind('.') + 1);
    if (ext == "jpg") {
      EXPECT_EQ(c.find.type, PicType::Jpg);
    } else {
      EXPECT_EQ(c.find.type, PicType::Raw);
      EXPECT_STREQ(c.find.ext, ext.c_str());
    }
    at.erase(it);
  }
  for (const auto& f : at) ADD_FAILURE() << "unexpected find at " << f.first << " of " << f.second->find.length;
}

}  // namespace

TEST(RawScan, RawsComeBackWholeAndTheirPreviewsNeverApart) {
  const Disk d = rawsBetweenJpegs();
  const std::vector<Collected> one = scanDisk(d.bytes, 1);
  expectFinds(one, d);
  const std::vector<Collected> three = scanDisk(d.bytes, 3);
  ASSERT_EQ(one.size(), three.size());
  for (size_t i = 0; i < one.size(); ++i) {
    EXPECT_EQ(one[i].find.offset, three[i].find.offset);
    EXPECT_EQ(one[i].find.type, three[i].find.type);
    EXPECT_TRUE(one[i].bytes == three[i].bytes);
  }
  // RAW left out: no RAW, no stray .tif, and no preview of a RAW behind a
  // TIFF header (which is still read, for TIFF). The own-header families'
  // headers are not searched then: their previews are plain JPEGs to it.
  std::vector<Collected> noRaw = scanDisk(d.bytes, 2, kAllTypes & ~typeBit(PicType::Raw));
  size_t jpegs = 0;
  for (const Collected& c : noRaw) {
    EXPECT_EQ(c.find.type, PicType::Jpg);
    for (const Placed& p : d.files) {
      if (c.find.offset < p.at || c.find.offset >= p.at + p.bytes.size()) continue;
      jpegs += c.find.offset == p.at;
      const bool ownHeader = p.bytes[0] == 'F' || p.bytes[2] == 'U' || p.bytes[2] == 'R' || p.bytes[2] == 'O';
      EXPECT_TRUE(c.find.offset == p.at || ownHeader) << p.name;
    }
  }
  EXPECT_EQ(jpegs, std::size(kSamples));
}

TEST(RawScan, AFragmentedRawIsRefusedAndACutOneGivesItsPreviews) {
  // Another file at a sector inside the raw data: the RAW was fragmented.
  Disk d;
  d.gap(10000, false, 3);
  d.add("nikon.nef", raw("nikon.nef"));
  d.gap(50000, true, 0);
  std::vector<uint8_t> jpg = readFile(qvtest::pic("exif.jpg"));
  const size_t inside = d.files[0].at + d.files[0].bytes.size() - 1024 * 1024;
  std::copy(jpg.begin(), jpg.end(), d.bytes.begin() + long(inside / 512 * 512));
  std::vector<Collected> finds = scanDisk(d.bytes, 2);
  bool foreign = false;
  for (const Collected& c : finds) {
    EXPECT_NE(c.find.type, PicType::Raw);
    foreign = foreign || (c.find.offset == inside / 512 * 512 && c.bytes == jpg);
  }
  EXPECT_TRUE(foreign);
  // Its previews are whole JPEGs: found as such (the big one and the
  // maker note's), as a TIFF's are when the TIFF is not whole.
  EXPECT_GE(finds.size(), 3u);

  // Cut by the disk's end: not written as a RAW, its previews found as JPEGs.
  Disk cut;
  cut.gap(4096, false, 4);
  std::vector<uint8_t> cr2 = raw("canon.cr2");
  cr2.resize(cr2.size() - 100000);
  cut.add("canon.cr2", cr2);
  finds = scanDisk(cut.bytes, 1);
  ASSERT_FALSE(finds.empty());
  for (const Collected& c : finds) EXPECT_EQ(c.find.type, PicType::Jpg);
}
