// The disk itself, as the runtime reads it: a read either delivers every
// byte asked for or fails (a bad sector, a read that took too long).
#pragma once
#include <cstddef>
#include <cstdint>

namespace qv {

class Medium {
 public:
  virtual ~Medium() = default;
  virtual uint64_t size() const = 0;
  // offset + n <= size(). False if any part of it could not be read; buf
  // then holds anything. Safe to call from two threads at once.
  virtual bool read(uint64_t offset, uint8_t* buf, size_t n) = 0;
};

}  // namespace qv
