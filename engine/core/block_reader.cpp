#include "block_reader.h"

namespace qv {

BlockReader::BlockReader(ByteSource& src, size_t blockSize, size_t ahead)
    : src_(src), blockSize_(blockSize), ahead_(ahead) {
  thread_ = std::thread([this] { run(); });
}

BlockReader::~BlockReader() {
  {
    std::lock_guard<Mutex> lock(mu_);
    stop_ = true;
  }
  cv_.notify_all();
  thread_.join();
}

void BlockReader::run() {
  const uint64_t total = src_.size();
  for (uint64_t off = 0; off < total;) {
    Block* b;
    {
      std::unique_lock<Mutex> lock(mu_);
      cv_.wait(lock, [this] { return stop_ || ready_.size() < ahead_; });
      if (stop_) return;
      if (free_.empty()) {
        all_.push_back(std::make_unique<Block>());
        all_.back()->data.resize(blockSize_);
        free_.push_back(all_.back().get());
      }
      b = free_.back();
      free_.pop_back();
    }
    b->offset = off;
    b->size = static_cast<size_t>(total - off < blockSize_ ? total - off : blockSize_);
    src_.readAt(off, b->data.data(), b->size);
    off += b->size;
    {
      std::lock_guard<Mutex> lock(mu_);
      ready_.push_back(b);
    }
    cv_.notify_all();
  }
  std::lock_guard<Mutex> lock(mu_);
  done_ = true;
  cv_.notify_all();
}

Block* BlockReader::next() {
  std::unique_lock<Mutex> lock(mu_);
  cv_.wait(lock, [this] { return !ready_.empty() || done_; });
  if (ready_.empty()) return nullptr;
  Block* b = ready_.front();
  ready_.pop_front();
  cv_.notify_all();
  return b;
}

void BlockReader::recycle(Block* b) {
  {
    std::lock_guard<Mutex> lock(mu_);
    free_.push_back(b);
  }
  cv_.notify_all();
}

}  // namespace qv
