// The first-pass filter: where a picture may start (any byte of the disk),
// and which type, if any, starts there. Runs over every byte, so it only
// looks.
#pragma once
#include <cstddef>
#include <cstdint>

#include "types.h"

namespace qv {

constexpr size_t kSignatureBytes = 32;

// The first two bytes of every enabled type's signature, looked for 16
// positions at a time.
class StartFinder {
 public:
  explicit StartFinder(unsigned mask);
  // The first i in [from, to) where p[i] and p[i + 1] begin a signature of
  // an enabled type; to if there is none. p[to] must be readable.
  size_t next(const uint8_t* p, size_t from, size_t to) const;

 private:
  uint8_t first_[6], second_[6];
  int pairs_ = 0;
};

// p points at kSignatureBytes readable bytes. Returns the type whose
// signature is there and is in mask, or -1.
int candidateType(const uint8_t* p, unsigned mask);

// Stricter: the head of a file that a camera or program wrote, as opposed
// to a few bytes that happen to match (used to notice foreign data inside a
// picture whose contents cannot be checked).
bool looksLikeFileStart(const uint8_t* p);

}  // namespace qv
