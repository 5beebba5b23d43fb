#include "read_cache.h"

#include <algorithm>
#include <cstring>

namespace qv {

ReadCache::ReadCache(ByteSource& disk, const std::atomic<uint64_t>& searched, uint64_t budget)
    : disk_(disk), size_(disk.size()), searched_(searched), budget_(budget) {}

size_t ReadCache::keptChunks() const {
  std::lock_guard<Mutex> lock(mu_);
  return chunks_.size();
}

void ReadCache::forgetPassed() {
  const uint64_t searched = searched_.load(std::memory_order_relaxed);
  if (searched < kBehind) return;
  const uint64_t keepFrom = (searched - kBehind) / kChunk;
  for (auto it = chunks_.begin(); it != chunks_.end() && it->first < keepFrom;) {
    keptBytes_ -= it->second->size();
    it = chunks_.erase(it);
  }
}

void ReadCache::readAt(uint64_t offset, uint8_t* buf, size_t n) {
  if (!n) return;
  const uint64_t end = offset + n;
  const uint64_t first = offset / kChunk, last = (end - 1) / kChunk;
  // What is kept, and the runs of chunks that are not.
  std::vector<Chunk> have(size_t(last - first + 1));
  {
    std::lock_guard<Mutex> lock(mu_);
    forgetPassed();
    for (auto it = chunks_.lower_bound(first); it != chunks_.end() && it->first <= last; ++it)
      have[size_t(it->first - first)] = it->second;
  }
  auto copy = [&](uint64_t chunk, const uint8_t* bytes, size_t count) {
    const uint64_t from = std::max(offset, chunk * kChunk), to = std::min(end, chunk * kChunk + count);
    if (to > from) std::memcpy(buf + (from - offset), bytes + (from - chunk * kChunk), size_t(to - from));
  };
  for (uint64_t c = first; c <= last;) {
    if (have[size_t(c - first)]) {
      const auto& bytes = *have[size_t(c - first)];
      copy(c, bytes.data(), bytes.size());
      served_ += std::min(end, c * kChunk + bytes.size()) - std::max(offset, c * kChunk);
      ++c;
      continue;
    }
    uint64_t runEnd = c;
    while (runEnd <= last && !have[size_t(runEnd - first)]) ++runEnd;
    // The whole chunks, so that they can be kept.
    const uint64_t from = c * kChunk, to = std::min(runEnd * kChunk, size_);
    std::vector<uint8_t> bytes(size_t(to - from));
    disk_.readAt(from, bytes.data(), bytes.size());
    std::lock_guard<Mutex> lock(mu_);
    const uint64_t searched = searched_.load(std::memory_order_relaxed);
    for (uint64_t k = c; k < runEnd; ++k) {
      const size_t at = size_t((k - c) * kChunk), count = std::min<size_t>(kChunk, bytes.size() - at);
      copy(k, bytes.data() + at, count);
      // Only what the search has yet to pass, and within the budget.
      if ((k + 1) * kChunk + kBehind <= searched || keptBytes_ + count > budget_ || chunks_.count(k)) continue;
      chunks_[k] = std::make_shared<const std::vector<uint8_t>>(bytes.begin() + long(at), bytes.begin() + long(at + count));
      keptBytes_ += count;
    }
    c = runEnd;
  }
}

}  // namespace qv
