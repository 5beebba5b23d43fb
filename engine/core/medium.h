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
  // As read, but tells how far it got: the number of bytes from offset on
  // that were read (n when all of them). A disk that says nothing about a
  // failed read's first part returns 0 for any failure. gaveUp: the read
  // did not come back in time and was given up (what it asked for may
  // well read, only not now).
  virtual size_t readSome(uint64_t offset, uint8_t* buf, size_t n, bool& gaveUp) {
    gaveUp = false;
    return read(offset, buf, n) ? n : 0;
  }
};

}  // namespace qv
