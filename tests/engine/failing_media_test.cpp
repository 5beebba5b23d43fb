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
