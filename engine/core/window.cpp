#include "window.h"

namespace qv {
namespace {
constexpr size_t kCacheSize = 1 << 20;
}

Window::Window(ByteSource& src, BlockReader& reader, uint64_t maxHold)
    : src_(src), reader_(reader), size_(src.size()), maxHold_(maxHold) {}

Window::~Window() {
  for (Block* b : blocks_) reader_.recycle(b);
}

bool Window::pull() {
  Block* b = reader_.next();
  if (!b) return false;
  blocks_.push_back(b);
  loaded_ = b->end();
  return true;
}

void Window::advanceTo(uint64_t pos) {
  base_ = pos;
  while (!blocks_.empty() && blocks_.front()->end() <= pos) {
    reader_.recycle(blocks_.front());
    blocks_.pop_front();
  }
  // Skipping past a find: the reader still delivers what lies in between.
  while (blocks_.empty() && loaded_ < pos) {
    if (!pull()) return;
    if (blocks_.back()->end() <= pos) {
      reader_.recycle(blocks_.back());
      blocks_.pop_back();
    }
  }
}

std::vector<const Block*> Window::held(uint64_t from, uint64_t to) {
  while (loaded_ < to)
    if (!pull()) break;
  std::vector<const Block*> out;
  for (const Block* b : blocks_)
    if (b->end() > from && b->offset < to) out.push_back(b);
  return out;
}

const uint8_t* Window::at(uint64_t pos, size_t& avail) {
  if (pos >= size_) return nullptr;
  if (pos >= loaded_ && pos - base_ >= maxHold_) return direct(pos, avail);
  while (pos >= loaded_)
    if (!pull()) return nullptr;
  if (blocks_.empty() || pos < blocks_.front()->offset) return direct(pos, avail);
  // Blocks are consecutive and all full-sized except the very last one.
  size_t i = static_cast<size_t>((pos - blocks_.front()->offset) / reader_.blockSize());
  const Block* b = blocks_[i];
  avail = static_cast<size_t>(b->end() - pos);
  return b->data.data() + (pos - b->offset);
}

const uint8_t* Window::direct(uint64_t pos, size_t& avail) {
  if (cacheSize_ == 0 || pos < cacheOffset_ || pos >= cacheOffset_ + cacheSize_) {
    cache_.resize(kCacheSize);
    cacheOffset_ = pos / kReadAlign * kReadAlign;
    cacheSize_ = static_cast<size_t>(size_ - cacheOffset_ < kCacheSize ? size_ - cacheOffset_ : kCacheSize);
    src_.readAt(cacheOffset_, cache_.data(), cacheSize_);
  }
  avail = static_cast<size_t>(cacheOffset_ + cacheSize_ - pos);
  return cache_.data() + (pos - cacheOffset_);
}

}  // namespace qv
