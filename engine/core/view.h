// Random access to the bytes of one candidate, counted from its first byte.
// The scanner backs it with the blocks it has read; tests and fuzzers with a
// plain buffer. Recognisers only ever see this interface.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qv {

class View {
 public:
  virtual ~View() = default;
  // Contiguous bytes from pos on; sets avail (>= 1). nullptr past the end.
  virtual const uint8_t* at(uint64_t pos, size_t& avail) = 0;

  // Copies n bytes at pos; false if any of them lies past the end.
  bool read(uint64_t pos, void* out, size_t n) {
    auto* dst = static_cast<uint8_t*>(out);
    while (n) {
      size_t avail = 0;
      const uint8_t* p = at(pos, avail);
      if (!p) return false;
      size_t k = avail < n ? avail : n;
      std::memcpy(dst, p, k);
      dst += k;
      pos += k;
      n -= k;
    }
    return true;
  }
  // -1 past the end.
  int byte(uint64_t pos) {
    size_t avail = 0;
    const uint8_t* p = at(pos, avail);
    return p ? *p : -1;
  }
  bool has(uint64_t pos) { return byte(pos) >= 0; }
};

class MemoryView : public View {
 public:
  MemoryView(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  const uint8_t* at(uint64_t pos, size_t& avail) override {
    if (pos >= size_) return nullptr;
    avail = size_ - static_cast<size_t>(pos);
    return data_ + pos;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

inline uint16_t be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
inline uint32_t be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline uint16_t le16(const uint8_t* p) { return uint16_t(p[1] << 8 | p[0]); }
inline uint32_t le32(const uint8_t* p) {
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

}  // namespace qv
