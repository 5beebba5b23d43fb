// A disk or disk image, read at any offset. Must allow reads from two
// threads at once (the read-ahead thread and the occasional far look-up).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace qv {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t size() const = 0;
  // Fills buf with n bytes at offset; offset + n <= size(). The scanner
  // asks for multiples of kReadAlign at aligned offsets, except at the
  // end. Unreadable parts come back as zeros: a bad sector must not end the
  // search.
  virtual void readAt(uint64_t offset, uint8_t* buf, size_t n) = 0;
  // Whether any of these bytes, read before, came back as zeros because
  // the disk could not read them.
  virtual bool unreadable(uint64_t offset, uint64_t n) const {
    (void)offset;
    (void)n;
    return false;
  }
};

// Raw disks accept only whole sectors; 4096 covers 4K-sector media too.
constexpr size_t kReadAlign = 4096;

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::vector<uint8_t> data) : data_(std::move(data)) {}
  uint64_t size() const override { return data_.size(); }
  void readAt(uint64_t offset, uint8_t* buf, size_t n) override {
    std::memcpy(buf, data_.data() + offset, n);
  }

 private:
  std::vector<uint8_t> data_;
};

}  // namespace qv
