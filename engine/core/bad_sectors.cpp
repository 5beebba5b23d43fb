#include "bad_sectors.h"

#include <algorithm>
#include <iterator>

namespace qv {

uint64_t BadSectors::add(uint64_t first, uint64_t end) {
  if (first >= end) return 0;
  std::lock_guard<Mutex> lock(mu_);
  auto it = runs_.upper_bound(first);
  if (it != runs_.begin() && std::prev(it)->second >= first) --it;
  uint64_t from = first, to = end, known = 0;
  while (it != runs_.end() && it->first <= to) {
    uint64_t a = std::max(it->first, first), b = std::min(it->second, end);
    if (b > a) known += b - a;
    from = std::min(from, it->first);
    to = std::max(to, it->second);
    it = runs_.erase(it);
  }
  runs_[from] = to;
  count_ += (end - first) - known;
  return (end - first) - known;
}

uint64_t BadSectors::remove(uint64_t first, uint64_t end) {
  if (first >= end) return 0;
  std::lock_guard<Mutex> lock(mu_);
  auto it = runs_.upper_bound(first);
  if (it != runs_.begin() && std::prev(it)->second > first) --it;
  uint64_t removed = 0;
  while (it != runs_.end() && it->first < end) {
    const uint64_t a = it->first, b = it->second;
    removed += std::min(b, end) - std::max(a, first);
    it = runs_.erase(it);
    if (a < first) runs_[a] = first;
    if (b > end) runs_[end] = b;
  }
  count_ -= removed;
  return removed;
}

std::vector<std::pair<uint64_t, uint64_t>> BadSectors::runs() const {
  std::lock_guard<Mutex> lock(mu_);
  return std::vector<std::pair<uint64_t, uint64_t>>(runs_.begin(), runs_.end());
}

uint64_t BadSectors::runEnd(uint64_t sector) const {
  std::lock_guard<Mutex> lock(mu_);
  auto it = runs_.upper_bound(sector);
  if (it == runs_.begin()) return sector;
  --it;
  return it->second > sector ? it->second : sector;
}

uint64_t BadSectors::nextBad(uint64_t sector) const {
  std::lock_guard<Mutex> lock(mu_);
  auto it = runs_.upper_bound(sector);
  if (it != runs_.begin() && std::prev(it)->second > sector) return sector;
  return it == runs_.end() ? ~uint64_t(0) : it->first;
}

bool BadSectors::touches(uint64_t first, uint64_t end) const {
  std::lock_guard<Mutex> lock(mu_);
  auto it = runs_.lower_bound(end);
  if (it == runs_.begin()) return false;
  --it;
  return it->second > first;
}

}  // namespace qv
