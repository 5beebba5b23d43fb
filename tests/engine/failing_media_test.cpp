// A disk that fails: unreadable stretches and sectors, slow reads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "careful_source.h"
#include "scanner.h"
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
    ++reads;
    for (const auto& s : slow)
      if (offset < s.second && offset + n > s.first) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (const auto& b : bad)
      if (offset < b.second && offset + n > b.first) {
        ++failures;
        return false;
      }
    std::memcpy(buf, data_.data() + offset, n);
    return true;
  }
  const std::vector<uint8_t>& data() const { return data_; }

  std::vector<std::pair<uint64_t, uint64_t>> bad, slow;  // byte ranges
  std::atomic<unsigned> reads{0}, failures{0};

 private:
  std::vector<uint8_t> data_;
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
  FaultyMedium disk(qvtest::randomBytes(4 << 20, 21));
  const std::vector<uint64_t> badSectors = {0, 7, 2047, 2048, 5000, 8191};
  for (uint64_t s : badSectors) disk.bad.push_back({s * kSector, (s + 1) * kSector});
  CarefulSource src(disk);
  std::vector<uint8_t> got = readAll(src);
  EXPECT_EQ(src.unreadableSectors(), badSectors.size());
  std::vector<uint8_t> want = disk.data();
  for (uint64_t s : badSectors) std::fill(want.begin() + long(s * kSector), want.begin() + long((s + 1) * kSector), 0);
  EXPECT_TRUE(got == want);

  const unsigned failures = disk.failures;
  EXPECT_TRUE(readAll(src) == want);
  EXPECT_EQ(disk.failures, failures);
  EXPECT_EQ(src.unreadableSectors(), badSectors.size());
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
