// The disk read once: what one reader read is there for the next.
#include <gtest/gtest.h>

#include <map>

#include "read_cache.h"
#include "support.h"

using namespace qv;

namespace {

class CountingSource : public ByteSource {
 public:
  explicit CountingSource(std::vector<uint8_t> data) : data_(std::move(data)) {}
  uint64_t size() const override { return data_.size(); }
  void readAt(uint64_t offset, uint8_t* buf, size_t n) override {
    std::memcpy(buf, data_.data() + offset, n);
    for (uint64_t s = offset / 512; s < (offset + n + 511) / 512; ++s) ++reads[s];
  }
  unsigned most() const {
    unsigned m = 0;
    for (const auto& r : reads) m = std::max(m, r.second);
    return m;
  }
  std::vector<uint8_t> data_;
  std::map<uint64_t, unsigned> reads;  // per sector
};

std::vector<uint8_t> at(ByteSource& src, uint64_t offset, size_t n) {
  std::vector<uint8_t> out(n);
  src.readAt(offset, out.data(), n);
  return out;
}

}  // namespace

TEST(ReadCache, ScatteredReadsAndTheSearchAfterThemReadEverySectorOnce) {
  // An odd size: the last chunk is short.
  CountingSource disk(qvtest::randomBytes((40 << 20) + 1000, 31));
  std::atomic<uint64_t> searched{0};
  ReadCache once(disk, searched);
  // The records' pass: small reads anywhere, some of them overlapping, one
  // over the disk's end chunk.
  for (uint64_t off : {uint64_t(512), uint64_t(3 << 20) + 77, uint64_t(3 << 20), uint64_t(25 << 20) + 4096,
                       disk.size() - 700})
    EXPECT_EQ(at(once, off, 600), std::vector<uint8_t>(disk.data_.begin() + long(off), disk.data_.begin() + long(off + 600)));
  // The search, front to back in blocks.
  std::vector<uint8_t> all(disk.size());
  for (uint64_t off = 0; off < all.size(); off += 4 << 20) {
    const size_t n = size_t(std::min<uint64_t>(4 << 20, all.size() - off));
    once.readAt(off, all.data() + off, n);
    searched = off + n;
  }
  EXPECT_TRUE(all == disk.data_);
  EXPECT_EQ(disk.reads.size(), (disk.size() + 511) / 512);
  EXPECT_EQ(disk.most(), 1u);
  EXPECT_GE(once.servedBytes(), 4 * 600u);
  // What the search has passed is let go, all but the last stretch.
  EXPECT_LE(once.keptChunks() * ReadCache::kChunk, ReadCache::kBehind + ReadCache::kChunk);
  // Looking back further than that reads the disk again: right, not kept.
  EXPECT_EQ(at(once, 1 << 20, 100), std::vector<uint8_t>(disk.data_.begin() + (1 << 20), disk.data_.begin() + (1 << 20) + 100));
  EXPECT_EQ(disk.reads[(1 << 20) / 512], 2u);
}

TEST(ReadCache, KeepsNoMoreThanItsBudgetAndStillReadsRight) {
  CountingSource disk(qvtest::randomBytes(8 << 20, 32));
  std::atomic<uint64_t> searched{0};
  ReadCache once(disk, searched, 1 << 20);
  EXPECT_TRUE(at(once, 0, 4 << 20) == std::vector<uint8_t>(disk.data_.begin(), disk.data_.begin() + (4 << 20)));
  EXPECT_EQ(once.keptChunks() * ReadCache::kChunk, size_t(1 << 20));
  EXPECT_TRUE(at(once, 512, 3 << 20) == std::vector<uint8_t>(disk.data_.begin() + 512, disk.data_.begin() + 512 + (3 << 20)));
  EXPECT_EQ(disk.reads[1], 1u);         // kept
  EXPECT_EQ(disk.reads[3 << 11], 2u);   // past the budget: read again
}
