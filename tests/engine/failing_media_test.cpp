// A disk that fails: unreadable stretches and sectors, slow reads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <set>
#include <mutex>
#include <thread>

#include "careful_source.h"
#include "disk_copy.h"
#include "fs/record_pass.h"
#include "part_search.h"
#include "scanner.h"
#include "time_limited_medium.h"
#include "support.h"

using namespace qv;
using qvtest::pic;
using qvtest::readFile;

namespace {

constexpr uint64_t kSector = CarefulSource::kSector;

class FaultyMedium : public Medium {
 public:
  explicit FaultyMedium(std::vector<uint8_t> data) : data_(std::move(data)) {}
  uint64_t size() const override { return data_.size(); }
  bool read(uint64_t offset, uint8_t* buf, size_t n) override {
    bool gaveUp = false;
    return readSome(offset, buf, n, gaveUp) == n;
  }
  // Reads that touch a hanging range come back only once this is called.
  void answerAgain() {
    std::lock_guard<std::mutex> lock(hangMu);
    answering = true;
    hangCv.notify_all();
  }
  // A failed read delivers what lies before its first bad byte, as a disk
  // does; it says so only when tellsHowFar (a raw Windows disk does not).
  size_t readSome(uint64_t offset, uint8_t* buf, size_t n, bool& gaveUp) override {
    gaveUp = false;
    ++reads;
    for (const auto& s : slow)
      if (offset < s.second && offset + n > s.first) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (const auto& h : hang)
      if (offset < h.second && offset + n > h.first) {
        ++hangs;
        std::unique_lock<std::mutex> lock(hangMu);
        hangCv.wait(lock, [&] { return answering; });
      }
    uint64_t end = offset + n;
    for (const auto& b : bad)
      if (offset < b.second && end > b.first) end = std::max(offset, b.first);
    std::memcpy(buf, data_.data() + offset, size_t(end - offset));
    bytesRead += end - offset;
    if (end == offset + n) return n;
    ++failures;
    return tellsHowFar ? size_t(end - offset) : 0;
  }
  const std::vector<uint8_t>& data() const { return data_; }

  std::vector<std::pair<uint64_t, uint64_t>> bad, slow, hang;  // byte ranges
  bool tellsHowFar = false;
  std::atomic<unsigned> reads{0}, failures{0}, hangs{0};
  std::atomic<uint64_t> bytesRead{0};

 private:
  std::vector<uint8_t> data_;
  std::mutex hangMu;
  std::condition_variable hangCv;
  bool answering = false;
};

class CollectSink : public FindSink {
 public:
  void onFind(const Find& f, View& data) override {
    std::vector<uint8_t> bytes(f.length);
    EXPECT_TRUE(data.read(0, bytes.data(), bytes.size()));
    finds.push_back(std::move(bytes));
  }
  std::vector<std::vector<uint8_t>> finds;
};

std::vector<uint8_t> readAll(ByteSource& src) {
  std::vector<uint8_t> out(src.size());
  for (uint64_t at = 0; at < out.size(); at += 1 << 20)
    src.readAt(at, out.data() + at, size_t(std::min<uint64_t>(1 << 20, out.size() - at)));
  return out;
}

}  // namespace

TEST(FailingMedia, ScatteredBadSectorsCostOnlyThemselvesAndAreNeverTriedAgain) {
  for (bool tellsHowFar : {false, true}) {
    SCOPED_TRACE(tellsHowFar ? "disk tells how far a read got" : "disk tells nothing");
    FaultyMedium disk(qvtest::randomBytes(8 << 20, 21));
    disk.tellsHowFar = tellsHowFar;
    const std::vector<uint64_t> badSectors = {0, 7, 2047, 2048, 5000, 8191, 9000, 12001, 16383};
    for (uint64_t s : badSectors) disk.bad.push_back({s * kSector, (s + 1) * kSector});
    CarefulSource src(disk);
    std::vector<uint8_t> got(disk.size());
    for (uint64_t at = 0; at < got.size(); at += 4 << 20) src.readAt(at, got.data() + at, 4 << 20);
    EXPECT_EQ(src.unreadableSectors(), badSectors.size());
    std::vector<uint8_t> want = disk.data();
    for (uint64_t s : badSectors) std::fill(want.begin() + long(s * kSector), want.begin() + long((s + 1) * kSector), 0);
    EXPECT_TRUE(got == want);
    // Halving: about log2(8192) attempts per bad sector, not one per sector;
    // and the good sectors are read about once, at most twice.
    EXPECT_LE(disk.reads, badSectors.size() * 18 + 2) << "sector by sector would be 8192 per block";
    EXPECT_LE(disk.bytesRead, (tellsHowFar ? 11 : 30) * disk.size() / 10);

    const unsigned failures = disk.failures;
    EXPECT_TRUE(readAll(src) == want);
    EXPECT_EQ(disk.failures, failures);
    EXPECT_EQ(src.unreadableSectors(), badSectors.size());
  }
}

TEST(FailingMedia, AnOddLastSectorAndUnalignedReadsAreReadAsFarAsTheyGo) {
  std::vector<uint8_t> data = qvtest::randomBytes(100 * kSector + 100, 23);
  FaultyMedium disk(data);
  disk.bad.push_back({50 * kSector + 10, 50 * kSector + 11});
  disk.bad.push_back({100 * kSector + 50, 100 * kSector + 51});
  CarefulSource src(disk);
  std::vector<uint8_t> got(data.size() - 700);
  src.readAt(300, got.data(), got.size());
  std::vector<uint8_t> want(data.begin() + 300, data.end() - 400);
  std::fill(want.begin() + 50 * kSector - 300, want.begin() + 51 * kSector - 300, 0);
  EXPECT_TRUE(got == want);
  EXPECT_EQ(src.unreadableSectors(), 1u);
  std::vector<uint8_t> tail(100);
  src.readAt(100 * kSector, tail.data(), tail.size());
  EXPECT_EQ(tail, std::vector<uint8_t>(100, 0));
  EXPECT_EQ(src.unreadableSectors(), 2u);
}

TEST(FailingMedia, ADeadStretchIsSkippedInFewReadsAndPicturesAroundItAreFound) {
  std::vector<uint8_t> jpg = readFile(pic("exif.jpg")), png = readFile(pic("many_idat.png"));
  std::vector<uint8_t> data = qvtest::randomBytes(24 << 20, 22);
  const uint64_t deadFrom = (5 << 20) + 3 * kSector, deadTo = 17 << 20;
  std::copy(jpg.begin(), jpg.end(), data.begin() + (deadFrom - 40 * kSector - long(jpg.size())) / kSector * kSector);
  const uint64_t pngAt = deadTo + CarefulSource::kMaxSkipSectors * kSector;
  std::copy(png.begin(), png.end(), data.begin() + long(pngAt));
  FaultyMedium disk(std::move(data));
  disk.bad.push_back({deadFrom, deadTo});
  disk.slow.push_back({deadFrom - (1 << 20), deadFrom});

  CarefulSource src(disk);
  CollectSink sink;
  ScanOptions opts;
  opts.blockSize = 1 << 20;
  scan(src, opts, sink);
  ASSERT_EQ(sink.finds.size(), 2u);
  EXPECT_EQ(sink.finds[0], jpg);
  EXPECT_EQ(sink.finds[1], png);
  const uint64_t dead = (deadTo - deadFrom) / kSector;
  EXPECT_GE(src.unreadableSectors(), dead);
  EXPECT_LE(src.unreadableSectors(), dead + CarefulSource::kMaxSkipSectors);
  EXPECT_LT(disk.failures, 200u) << "one attempt per sector would be " << dead;
}

TEST(FailingMedia, WhatADeadStretchHidIsReadFromItsFarEndAndSearched) {
  std::vector<uint8_t> jpg = readFile(pic("exif.jpg")), png = readFile(pic("many_idat.png"));
  std::vector<uint8_t> data = qvtest::randomBytes(24 << 20, 25);
  const uint64_t deadFrom = 5 << 20, deadTo = (9 << 20) + 5 * kSector;
  // Right behind the stretch, where the skipping lands past it.
  std::copy(png.begin(), png.end(), data.begin() + long(deadTo));
  std::copy(jpg.begin(), jpg.end(), data.begin() + long(deadTo + (png.size() / kSector + 8) * kSector));
  FaultyMedium disk(std::move(data));
  disk.bad.push_back({deadFrom, deadTo});
  CarefulSource src(disk);
  CollectSink sink;
  ScanOptions opts;
  opts.blockSize = 1 << 20;
  scan(src, opts, sink);
  EXPECT_TRUE(sink.finds.empty()) << "the skip did not pass the pictures: no test";
  const uint64_t dead = (deadTo - deadFrom) / kSector;
  ASSERT_GT(src.unreadableSectors(), dead + 64);

  const unsigned before = disk.reads;
  const auto won = src.readBack();
  ASSERT_EQ(won.size(), 1u);
  EXPECT_EQ(won[0].first, deadTo);
  // Every readable sector back, every dead one still counted, in few reads.
  EXPECT_EQ(src.unreadableSectors(), dead);
  EXPECT_LT(src.skippedSectors(), dead);  // inside the stretch: never tried, still counted
  EXPECT_LT(disk.reads - before, 100 + (won[0].second - won[0].first) / (8 * kSector));
  searchParts(src, won, opts, sink);
  ASSERT_EQ(sink.finds.size(), 2u);
  EXPECT_TRUE(sink.finds[0] == png);
  EXPECT_TRUE(sink.finds[1] == jpg);
  std::vector<uint8_t> behind(won[0].second - won[0].first);
  src.readAt(won[0].first, behind.data(), behind.size());
  EXPECT_TRUE(std::equal(behind.begin(), behind.end(), disk.data().begin() + long(deadTo)));
}

TEST(FailingMedia, ReadsTheDiskDoesNotAnswerAreGivenUpOnceAndTheRestIsRead) {
  FaultyMedium disk(qvtest::randomBytes(16 << 20, 24));
  const std::vector<uint64_t> hanging = {3000, 20000};
  for (uint64_t s : hanging) disk.hang.push_back({s * kSector, (s + 1) * kSector});
  disk.bad.push_back({9000 * kSector, 9001 * kSector});
  constexpr auto limit = std::chrono::milliseconds(200);
  std::vector<uint8_t> got(disk.size());
  {
    TimeLimitedMedium timed(disk, limit);
    CarefulSource src(timed);
    const auto start = std::chrono::steady_clock::now();
    for (uint64_t at = 0; at < got.size(); at += 4 << 20) src.readAt(at, got.data() + at, 4 << 20);
    const auto took = std::chrono::steady_clock::now() - start;
    // Each hanging sector costs one limit: neither halved nor tried again.
    EXPECT_LT(took, 2 * hanging.size() * limit + std::chrono::milliseconds(1500)) << "halving would wait 13 limits";
    EXPECT_EQ(disk.hangs, hanging.size());
    EXPECT_EQ(timed.givenUpReads(), hanging.size());
    EXPECT_EQ(timed.abandonedReads(), hanging.size());
    // The block with a hanging sector is given up whole; the others read
    // but for the bad sector, which is found as usual.
    const uint64_t blockSectors = (4 << 20) / kSector;
    EXPECT_EQ(src.givenUpSectors(), hanging.size() * blockSectors);
    EXPECT_EQ(src.unreadableSectors(), src.givenUpSectors() + 1);
    std::vector<uint8_t> want = disk.data();
    for (uint64_t s : hanging) {
      const uint64_t from = s / blockSectors * blockSectors * kSector;
      std::fill(want.begin() + long(from), want.begin() + long(from + (4 << 20)), 0);
    }
    std::fill(want.begin() + long(9000 * kSector), want.begin() + long(9001 * kSector), 0);
    EXPECT_TRUE(got == want);

    // The late answers land in the readers' own buffers, never in ours.
    disk.answerAgain();
    while (timed.abandonedReads()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(got == want);
    std::vector<uint8_t> again(4 << 20);
    src.readAt(0, again.data(), again.size());
    EXPECT_TRUE(std::equal(again.begin(), again.end(), want.begin()));
  }
}

namespace {

// A FAT16 volume of 40 photos in its root folder, 512-byte clusters, two
// FATs, made by the real tools; the photos fragmented (written into the
// holes left by every other small file of folder F), so that their chains
// are needed.
std::vector<uint8_t> fatCardOf40(const char* dir) {
  const std::string folder = std::string(dir), img = folder + "/card.img";
  std::string cmd = "set -e; export PATH=$PATH:/usr/sbin:/sbin; rm -rf '" + folder + "'; mkdir -p '" + folder +
                    "'; mkfs.fat -F 16 -s 1 -n CARD -C '" + img + "' 8192 >/dev/null; mmd -i '" + img + "' ::F; head -c 1024 /dev/zero > '" + folder +
                    "/fill'; for i in $(seq 100 199); do mcopy -i '" + img + "' '" + folder +
                    "/fill' ::F/$i; done; for i in $(seq 100 2 199); do mdel -i '" + img +
                    "' ::F/$i; done; for i in $(seq 10 49); do mcopy -i '" + img + "' '" + pic("exif.jpg") +
                    "' ::IMG_00$i.JPG; done";
  if (std::system(cmd.c_str()) != 0) return {};
  return readFile(img);
}

std::set<std::string> recordedNames(Medium& disk) {
  CarefulSource src(disk);
  class Names : public FindSink {
   public:
    void onFind(const Find& f, View&) override {
      if (!f.damaged) names.insert(f.name);
    }
    std::set<std::string> names;
  } sink;
  writeRecordedPictures(src, kAllTypes, sink);
  return sink.names;
}

uint16_t le16At(const std::vector<uint8_t>& d, size_t at) { return uint16_t(d[at] | d[at + 1] << 8); }

}  // namespace

TEST(FailingMedia, NamesSurviveABadSectorInTheFirstFatOrInTheFolder) {
  const std::vector<uint8_t> card = fatCardOf40("/tmp/qv-failing-fat");
  ASSERT_FALSE(card.empty()) << "mkfs.fat and mcopy made no card";
  const uint64_t fat1 = le16At(card, 14), fatSectors = le16At(card, 22);
  const uint64_t root = fat1 + card[16] * fatSectors;
  FaultyMedium whole(card);
  const std::set<std::string> all = recordedNames(whole);
  ASSERT_EQ(all.size(), 40u);

  // The chains come from the second FAT where the first cannot be read.
  FaultyMedium badFat(card);
  badFat.bad.push_back({fat1 * kSector, (fat1 + 1) * kSector});
  EXPECT_EQ(recordedNames(badFat), all);

  // A folder sector that cannot be read loses its own 16 entries, not the
  // ones after it.
  FaultyMedium badFolder(card);
  badFolder.bad.push_back({(root + 1) * kSector, (root + 2) * kSector});
  const std::set<std::string> kept = recordedNames(badFolder);
  EXPECT_EQ(kept.size(), 40u - 16u);
  EXPECT_TRUE(kept.count("IMG_0049.jpg")) << "the folder walk stopped at the bad sector";
}

namespace {

// An NTFS volume of 12 photos, 4 KiB clusters and 1 KiB records, made by the
// real tools without mounting it.
std::vector<uint8_t> ntfsCardOf12(const char* dir) {
  const std::string folder = std::string(dir), img = folder + "/card.img";
  std::string cmd = "set -e; export PATH=$PATH:/usr/sbin:/sbin; rm -rf '" + folder + "'; mkdir -p '" + folder +
                    "'; truncate -s 8M '" + img + "'; mkntfs -F -q -c 4096 '" + img +
                    "' >/dev/null 2>&1; for i in $(seq 10 21); do ntfscp -q '" + img + "' '" + pic("exif.jpg") +
                    "' IMG_00$i.JPG; done";
  if (std::system(cmd.c_str()) != 0) return {};
  return readFile(img);
}

uint64_t le64At(const std::vector<uint8_t>& d, size_t at) {
  uint64_t v = 0;
  for (size_t i = 8; i-- > 0;) v = v << 8 | d[at + i];
  return v;
}

}  // namespace

TEST(FailingMedia, NtfsNamesComeFromTheMirrorWhenTheFirstRecordsCannotBeRead) {
  const std::vector<uint8_t> card = ntfsCardOf12("/tmp/qv-failing-ntfs");
  ASSERT_FALSE(card.empty()) << "mkntfs and ntfscp made no card";
  const uint64_t cluster = uint64_t(le16At(card, 11)) * card[13];
  const uint64_t mft = le64At(card, 48) * cluster, mirror = le64At(card, 56) * cluster;
  ASSERT_NE(mft, mirror);
  FaultyMedium whole(card);
  const std::set<std::string> all = recordedNames(whole);
  ASSERT_EQ(all.size(), 12u);

  // The $MFT's own record, or all four the mirror holds: the mirror says
  // where the $MFT lies, and every name is kept.
  for (const uint64_t bad : {kSector, 4 * 1024 * uint64_t(1)}) {
    FaultyMedium badMft(card);
    badMft.bad.push_back({mft, mft + bad});
    EXPECT_EQ(recordedNames(badMft), all) << bad;
  }
  // Both copies unreadable: no names, and nothing made up from the zeros.
  FaultyMedium both(card);
  both.bad.push_back({mft, mft + kSector});
  both.bad.push_back({mirror, mirror + kSector});
  EXPECT_TRUE(recordedNames(both).empty());
}

namespace {

// The copy kept in memory. Each map it is given is checked against what
// the image holds at that moment: a map must never name a sector as copied
// before the disk's bytes are in the image, nor a readable one as
// unreadable.
class MemoryCopy : public CopyTarget {
 public:
  explicit MemoryCopy(const FaultyMedium& disk) : disk_(disk), image(disk.size(), 0) {}
  bool write(uint64_t offset, const uint8_t* data, size_t n) override {
    if (full && offset + n > *full) return false;
    std::memcpy(image.data() + offset, data, n);
    return true;
  }
  bool saveMap(const std::string& text) override {
    CopyMap m;
    EXPECT_TRUE(parseCopyMap(text, m)) << text;
    for (const auto& r : m.copied) {
      const uint64_t to = std::min(r.second * kSector, image.size());
      EXPECT_TRUE(std::equal(image.begin() + long(r.first * kSector), image.begin() + long(to),
                             disk_.data().begin() + long(r.first * kSector)))
          << "sectors " << r.first << "-" << r.second << " named copied before they were";
    }
    for (const auto& r : m.unreadable)
      for (uint64_t s = r.first; s < r.second; ++s) EXPECT_TRUE(badSector(s)) << "sector " << s << " reads";
    map = m;
    ++maps;
    return true;
  }
  bool badSector(uint64_t s) const {
    for (const auto& b : disk_.bad)
      if (s * kSector < b.second && (s + 1) * kSector > b.first) return true;
    return false;
  }

  const FaultyMedium& disk_;
  std::vector<uint8_t> image;
  CopyMap map;
  unsigned maps = 0;
  const uint64_t* full = nullptr;  // the image's disk fills up there
};

// The engine's stack with a copy: the careful reader over the copying disk.
struct CopiedSearch {
  CopiedSearch(Medium& disk, MemoryCopy& copy, int mapEveryMs = 0)
      : copying(disk, copy, std::chrono::milliseconds(mapEveryMs)), src(copying) {
    copying.setSettled([this](SectorRuns& unreadable, SectorRuns& notRead) {
      unreadable = src.unreadableRuns();
      notRead = src.skippedRuns();
      const SectorRuns givenUp = src.givenUpRuns();
      notRead.insert(notRead.end(), givenUp.begin(), givenUp.end());
    });
  }
  CopyingMedium copying;
  CarefulSource src;
};

SectorRuns sectorsOf(const std::vector<std::pair<uint64_t, uint64_t>>& byteRanges, uint64_t size) {
  BadSectors set;
  for (const auto& b : byteRanges) set.add(b.first / kSector, (std::min(b.second, size) + kSector - 1) / kSector);
  return set.runs();
}

}  // namespace

TEST(DiskCopy, TheImageIsTheDiskWhereItReadsAndTheMapNamesExactlyTheUnreadableSectors) {
  std::vector<uint8_t> jpg = readFile(pic("exif.jpg")), png = readFile(pic("many_idat.png"));
  std::vector<uint8_t> data = qvtest::randomBytes(16 << 20, 31);
  const uint64_t deadFrom = 5 << 20, deadTo = (9 << 20) + 5 * kSector;
  std::copy(png.begin(), png.end(), data.begin() + long(deadTo));
  std::copy(jpg.begin(), jpg.end(), data.begin() + (12 << 20));
  for (bool tellsHowFar : {false, true}) {
    SCOPED_TRACE(tellsHowFar ? "disk tells how far a read got" : "disk tells nothing");
    FaultyMedium disk(data);
    disk.tellsHowFar = tellsHowFar;
    disk.bad = {{deadFrom, deadTo}, {7 * kSector, 8 * kSector}, {(14 << 20) + 77, (14 << 20) + 78}};
    MemoryCopy copy(disk);
    CopiedSearch s(disk, copy, 5);
    CollectSink sink;
    ScanOptions opts;
    opts.blockSize = 1 << 20;
    scan(s.src, opts, sink);
    // Skipped over and never tried: not read, which is not unreadable.
    ASSERT_TRUE(s.copying.finish());
    ASSERT_FALSE(copy.map.notRead.empty());
    EXPECT_EQ(copy.map.complete, disk.size() / kSector);
    searchParts(s.src, s.src.readBack(), opts, sink);
    ASSERT_TRUE(s.copying.finish());

    EXPECT_EQ(copy.map.size, disk.size());
    EXPECT_EQ(copy.map.complete, disk.size() / kSector);
    // The stretch's inside was never tried: it stays not read; every other
    // sector is copied or named unreadable, the bad ones exactly.
    BadSectors named;
    for (const auto& r : copy.map.unreadable) named.add(r.first, r.second);
    for (const auto& r : copy.map.notRead) named.add(r.first, r.second);
    EXPECT_EQ(named.runs(), sectorsOf(disk.bad, disk.size()));
    EXPECT_EQ(named.count(), s.src.unreadableSectors());
    for (const auto& r : copy.map.notRead) {
      EXPECT_GT(r.first, deadFrom / kSector);
      EXPECT_LT(r.second, deadTo / kSector);
    }
    for (const auto& r : copy.map.copied) named.add(r.first, r.second);
    EXPECT_EQ(named.runs(), SectorRuns({{0, disk.size() / kSector}}));
    // Where the disk reads, the image is the disk; elsewhere zeros.
    std::vector<uint8_t> want = disk.data();
    for (const auto& r : sectorsOf(disk.bad, disk.size()))
      std::fill(want.begin() + long(r.first * kSector), want.begin() + long(r.second * kSector), 0);
    EXPECT_TRUE(copy.image == want);
    EXPECT_EQ(sink.finds.size(), 2u);
  }
}

TEST(DiskCopy, ASearchCutShortLeavesATrueImageAndMapUpToThatPoint) {
  // The copy's disk fills up halfway (as a card dies, or the search is
  // cancelled, the map written last must hold): copying stops there, and
  // every map written on the way was true (checked as each was written).
  FaultyMedium disk(qvtest::randomBytes(16 << 20, 32));
  disk.bad = {{3 * kSector, 4 * kSector}, {(12 << 20), (12 << 20) + kSector}};
  MemoryCopy copy(disk);
  const uint64_t full = 10 << 20;
  copy.full = &full;
  CopiedSearch s(disk, copy);
  std::vector<uint8_t> buf(disk.size());
  for (uint64_t at = 0; at < disk.size(); at += 1 << 20) s.src.readAt(at, buf.data() + at, 1 << 20);
  EXPECT_FALSE(s.copying.finish());
  EXPECT_TRUE(s.copying.failed());
  EXPECT_GT(copy.maps, 2u);
  ASSERT_FALSE(copy.map.copied.empty());
  EXPECT_LE(copy.map.copied.back().second * kSector, full);
  EXPECT_EQ(s.copying.copiedSectors() * kSector, full - kSector);
  // The search itself went on to the end of the disk.
  EXPECT_EQ(s.src.unreadableSectors(), 2u);
}

TEST(DiskCopy, ReadsTheDiskDidNotAnswerAreNotReadInTheMapNotUnreadable) {
  FaultyMedium disk(qvtest::randomBytes(8 << 20, 34));
  disk.hang.push_back({3000 * kSector, 3001 * kSector});
  disk.bad.push_back({9000 * kSector, 9001 * kSector});
  MemoryCopy copy(disk);
  {
    TimeLimitedMedium timed(disk, std::chrono::milliseconds(200));
    CopiedSearch s(timed, copy);
    std::vector<uint8_t> buf(disk.size());
    for (uint64_t at = 0; at < disk.size(); at += 4 << 20) s.src.readAt(at, buf.data() + at, 4 << 20);
    ASSERT_TRUE(s.copying.finish());
    ASSERT_GT(s.src.givenUpSectors(), 0u);
    // The given-up block may well read: not read, not unreadable (the copy
    // checks each map's unreadable sectors are bad ones).
    EXPECT_EQ(copy.map.unreadable, SectorRuns({{9000, 9001}}));
    ASSERT_EQ(copy.map.notRead.size(), 1u);
    EXPECT_LE(copy.map.notRead[0].first, 3000u);
    EXPECT_GT(copy.map.notRead[0].second, 3000u);
    EXPECT_EQ(copy.map.notRead[0].second - copy.map.notRead[0].first, s.src.givenUpSectors());
    disk.answerAgain();
  }
}

TEST(DiskCopy, SearchingTheCopyFindsWhatTheDiskGaveAndCountsTheSameSectorsUnreadable) {
  std::vector<uint8_t> jpg = readFile(pic("exif.jpg")), png = readFile(pic("many_idat.png"));
  std::vector<uint8_t> data = qvtest::randomBytes(16 << 20, 33);
  std::copy(jpg.begin(), jpg.end(), data.begin() + (1 << 20));
  std::copy(png.begin(), png.end(), data.begin() + (6 << 20));
  // A JPEG whose middle sector is bad: searched as zeros it would read on.
  std::copy(jpg.begin(), jpg.end(), data.begin() + (11 << 20));
  FaultyMedium disk(data);
  disk.tellsHowFar = true;
  disk.bad = {{(11 << 20) + 4 * kSector, (11 << 20) + 5 * kSector}, {8 << 20, (8 << 20) + 64 * kSector}};
  MemoryCopy copy(disk);
  CopiedSearch s(disk, copy);
  CollectSink fromDisk;
  ScanOptions opts;
  opts.blockSize = 1 << 20;
  scan(s.src, opts, fromDisk);
  searchParts(s.src, s.src.readBack(), opts, fromDisk);
  ASSERT_TRUE(s.copying.finish());

  // The image is read as a file: every byte reads; the map says which hold
  // the disk's.
  CopyMap map;
  ASSERT_TRUE(parseCopyMap(formatCopyMap(copy.map), map));
  FaultyMedium imageFile(copy.image);
  MappedImageMedium image(imageFile, map);
  CarefulSource again(image);
  CollectSink fromCopy;
  scan(again, opts, fromCopy);
  searchParts(again, again.readBack(), opts, fromCopy);
  EXPECT_EQ(fromCopy.finds, fromDisk.finds);
  EXPECT_GE(fromCopy.finds.size(), 2u);
  EXPECT_EQ(again.unreadableSectors(), s.src.unreadableSectors());
  EXPECT_EQ(again.unreadableRuns(), s.src.unreadableRuns());
}

TEST(DiskCopy, AMapThatIsNotOneIsRefused) {
  CopyMap m;
  m.size = 10 * kSector + 1;
  m.complete = 11;
  m.copied = {{0, 4}, {6, 11}};
  m.unreadable = {{4, 5}};
  m.notRead = {{5, 6}};
  const std::string text = formatCopyMap(m);
  CopyMap back;
  ASSERT_TRUE(parseCopyMap("# a note\r\n" + text, back));
  EXPECT_EQ(back.copied, m.copied);
  EXPECT_EQ(back.unreadable, m.unreadable);
  EXPECT_EQ(back.notRead, m.notRead);
  EXPECT_EQ(back.complete, 11u);
  const std::string head = "quorvane disk copy\nsize 5120\ncomplete 0\n";
  for (const char* bad : {"copied 0 4\ncopied 3 6\n",  // overlap
                          "copied 4 2\n",              // backwards
                          "copied 0 11\n",             // past the disk
                          "copied 0 -1\n", "copied 0\n", "copied 0 1 2\n", "taken 0 1\n",
                          "size 5120\n"}) {
    EXPECT_FALSE(parseCopyMap(head + bad, back)) << bad;
  }
  EXPECT_FALSE(parseCopyMap("size 5120\ncomplete 0\n", back));
  EXPECT_FALSE(parseCopyMap("quorvane disk copy\ncomplete 0\n", back));
  EXPECT_EQ(copyMapPath("D:\\copies\\E 2026-12-10.IMG"), "D:\\copies\\E 2026-12-10.map");
  EXPECT_EQ(copyMapPath("card.bin"), "card.bin.map");
}

namespace {

// An empty exFAT volume made by mkfs.exfat, with one photo written into it by
// hand: its data in clusters near the volume's end (no FAT chain) and its
// entry set (file, stream extension, name) in the root directory.
std::vector<uint8_t> exfatCardWithOnePhoto(const char* dir, const std::vector<uint8_t>& photo) {
  const std::string folder = dir, img = folder + "/card.img";
  const std::string cmd = "set -e; export PATH=$PATH:/usr/sbin:/sbin; rm -rf '" + folder + "'; mkdir -p '" + folder +
                          "'; truncate -s 8M '" + img + "'; mkfs.exfat '" + img + "' >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) return {};
  std::vector<uint8_t> card = readFile(img);
  auto le32 = [&](size_t at) { return uint32_t(card[at] | card[at + 1] << 8 | card[at + 2] << 16 | uint32_t(card[at + 3]) << 24); };
  const uint64_t bps = uint64_t(1) << card[108], cluster = bps << card[109];
  const uint64_t heap = le32(88) * bps;
  const uint32_t clusters = le32(92), root = le32(96);
  const uint32_t first = clusters + 2 - uint32_t((photo.size() + cluster - 1) / cluster) - 1;
  std::copy(photo.begin(), photo.end(), card.begin() + long(heap + (first - 2) * cluster));
  // The first free entry of the root directory.
  size_t at = heap + (root - 2) * cluster;
  while (card[at] != 0) at += 32;
  const std::u16string name = u"IMG_0777.JPG";
  uint8_t set[96] = {};
  set[0] = 0x85;
  set[1] = 2;
  set[4] = 0x20;  // archive
  const uint32_t stamp = (46u << 25) | (6u << 21) | (15u << 16) | (12u << 11);
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 4; ++i) set[8 + 4 * k + i] = uint8_t(stamp >> (8 * i));
  uint8_t* s = set + 32;
  s[0] = 0xC0;
  s[1] = 0x03;  // allocation possible, no FAT chain
  s[3] = uint8_t(name.size());
  for (int i = 0; i < 8; ++i) s[8 + i] = s[24 + i] = uint8_t(uint64_t(photo.size()) >> (8 * i));
  for (int i = 0; i < 4; ++i) s[20 + i] = uint8_t(first >> (8 * i));
  uint8_t* n = set + 64;
  n[0] = 0xC1;
  for (size_t i = 0; i < name.size(); ++i) {
    n[2 + 2 * i] = uint8_t(name[i]);
    n[3 + 2 * i] = uint8_t(name[i] >> 8);
  }
  uint16_t sum = 0;
  for (size_t i = 0; i < sizeof set; ++i)
    if (i != 2 && i != 3) sum = uint16_t(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + set[i]);
  set[2] = uint8_t(sum);
  set[3] = uint8_t(sum >> 8);
  std::copy(set, set + sizeof set, card.begin() + long(at));
  return card;
}

}  // namespace

TEST(FailingMedia, ExfatNamesComeFromTheBackupBootSectorWhenTheMainCannotBeRead) {
  const std::vector<uint8_t> card = exfatCardWithOnePhoto("/tmp/qv-failing-exfat", readFile(pic("exif.jpg")));
  ASSERT_FALSE(card.empty()) << "mkfs.exfat made no card";
  FaultyMedium whole(card);
  const std::set<std::string> all = {"IMG_0777.jpg"};
  ASSERT_EQ(recordedNames(whole), all);

  FaultyMedium badBoot(card);
  badBoot.bad.push_back({0, kSector});
  EXPECT_EQ(recordedNames(badBoot), all);
  // Both boot sectors unreadable: nothing, and nothing made up.
  FaultyMedium both(card);
  both.bad.push_back({0, kSector});
  both.bad.push_back({12 * kSector, 13 * kSector});
  EXPECT_TRUE(recordedNames(both).empty());
}
