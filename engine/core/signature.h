// The first-pass filter: where a picture may start (any byte of the disk),
// and which type, if any, starts there. Runs over every byte, so it only
// looks.
#pragma once
#include <cstddef>
#include <cstdint>

#include "types.h"

namespace qv {

constexpr size_t kSignatureBytes = 32;

// The first two bytes of every enabled type's signature, looked for at every
// position in one pass: 32 at a time (AVX2, when the processor has it) or 16
// (SSE2).
class StartFinder {
 public:
  explicit StartFinder(unsigned mask);
  // The first i in [from, to) where p[i] and p[i + 1] begin a signature of
  // an enabled type; to if there is none. p[to] must be readable.
  size_t next(const uint8_t* p, size_t from, size_t to) const;

 private:
  // Moves i on 32 positions at a time; true when it stopped at a hit.
  bool nextWide(const uint8_t* p, size_t& i, size_t to) const;

  uint8_t first_[6], second_[6];
  int pairs_ = 0;
  // Per nibble value, a bit for each pair whose first (second) byte has it
  // as its low (high) nibble: a byte is pair k's exactly when bit k is in
  // both of its nibbles' entries.
  alignas(16) uint8_t firstLo_[16] = {}, firstHi_[16] = {}, secondLo_[16] = {}, secondHi_[16] = {};
  bool wide_ = false;
};

// p points at kSignatureBytes readable bytes. Returns the type whose
// signature is there and is in mask, or -1.
int candidateType(const uint8_t* p, unsigned mask);

// Stricter: the head of a file that a camera or program wrote, as opposed
// to a few bytes that happen to match (used to notice foreign data inside a
// picture whose contents cannot be checked).
bool looksLikeFileStart(const uint8_t* p);

}  // namespace qv
