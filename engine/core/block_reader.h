// Reads a source front to back in large aligned blocks on a thread of its
// own, a few blocks ahead of the scanner, so reading and scanning overlap.
#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "lock.h"
#include "source.h"

namespace qv {

struct Block {
  uint64_t offset = 0;
  size_t size = 0;
  std::vector<uint8_t> data;
  uint64_t end() const { return offset + size; }
};

class BlockReader {
 public:
  BlockReader(ByteSource& src, size_t blockSize, size_t ahead);
  ~BlockReader();
  BlockReader(const BlockReader&) = delete;
  BlockReader& operator=(const BlockReader&) = delete;

  size_t blockSize() const { return blockSize_; }
  // The next block in order; nullptr after the last one.
  Block* next();
  // Hands a block back for reuse.
  void recycle(Block* b);

 private:
  void run();

  ByteSource& src_;
  const size_t blockSize_;
  const size_t ahead_;
  Mutex mu_;
  CondVar cv_;
  std::deque<Block*> ready_;
  std::vector<std::unique_ptr<Block>> all_;
  std::vector<Block*> free_;
  bool done_ = false;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace qv
