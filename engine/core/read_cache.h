// Every disk read kept until the content search has passed it, so that the
// disk is read once: the file-system pass reads directories, tables and the
// pictures its records describe, and the content search then finds those
// bytes here instead of reading them from the disk again; a look far ahead
// (a joiner, a directory deep into a TIFF) is kept the same way. Kept in
// chunks, up to a memory budget; past it, reads go straight to the disk.
#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "lock.h"
#include "source.h"

namespace qv {

class ReadCache : public ByteSource {
 public:
  static constexpr size_t kChunk = 64 << 10;
  // Chunks this far behind the search are still kept: it may look back.
  static constexpr uint64_t kBehind = 16 << 20;

  // searched: how far the content search has come (ScanProgress::searched);
  // nothing more than kBehind before it is kept.
  ReadCache(ByteSource& disk, const std::atomic<uint64_t>& searched, uint64_t budget = uint64_t(256) << 20);
  uint64_t size() const override { return size_; }
  void readAt(uint64_t offset, uint8_t* buf, size_t n) override;
  bool unreadable(uint64_t offset, uint64_t n) const override { return disk_.unreadable(offset, n); }

  // Bytes served from what was kept, and chunks kept now.
  uint64_t servedBytes() const { return served_.load(); }
  size_t keptChunks() const;

 private:
  using Chunk = std::shared_ptr<const std::vector<uint8_t>>;
  void forgetPassed();

  ByteSource& disk_;
  const uint64_t size_;
  const std::atomic<uint64_t>& searched_;
  const uint64_t budget_;
  mutable Mutex mu_;
  std::map<uint64_t, Chunk> chunks_;  // by chunk number
  uint64_t keptBytes_ = 0;
  std::atomic<uint64_t> served_{0};
};

}  // namespace qv
