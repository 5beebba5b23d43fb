// The bytes around the scan position: the blocks the reader has delivered,
// kept while a candidate may still need them. Far look-ups (a directory
// offset deep into a TIFF) are read directly instead of holding every block
// up to them.
#pragma once
#include <cstdint>
#include <deque>
#include <vector>

#include "block_reader.h"
#include "source.h"
#include "view.h"

namespace qv {

class Window {
 public:
  Window(ByteSource& src, BlockReader& reader, uint64_t maxHold);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  uint64_t size() const { return size_; }
  // Absolute position; nullptr past the end of the source.
  const uint8_t* at(uint64_t pos, size_t& avail);
  // Nothing before pos is needed any more.
  void advanceTo(uint64_t pos);
  // The blocks that hold [from, to), read now if need be however far that
  // is; they stay until advanceTo passes them.
  std::vector<const Block*> held(uint64_t from, uint64_t to);

 private:
  bool pull();
  const uint8_t* direct(uint64_t pos, size_t& avail);

  ByteSource& src_;
  BlockReader& reader_;
  const uint64_t size_;
  const uint64_t maxHold_;
  uint64_t base_ = 0;  // scan position
  uint64_t loaded_ = 0;  // end of the last block pulled
  std::deque<Block*> blocks_;
  std::vector<uint8_t> cache_;
  uint64_t cacheOffset_ = 0;
  size_t cacheSize_ = 0;
};

// A candidate's bytes, counted from its first one.
class WindowView : public View {
 public:
  WindowView(Window& w, uint64_t start) : w_(w), start_(start) {}
  const uint8_t* at(uint64_t pos, size_t& avail) override {
    if (pos >= w_.size() - start_) return nullptr;
    return w_.at(start_ + pos, avail);
  }

 private:
  Window& w_;
  uint64_t start_;
};

}  // namespace qv
