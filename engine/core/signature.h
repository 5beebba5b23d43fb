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

  void add(uint8_t first, uint8_t second);
  bool isPair(uint8_t a, uint8_t b) const {
    for (int k = 0; k < pairs_; ++k)
      if (first_[k] == a && second_[k] == b) return true;
    return false;
  }

  static constexpr int kMaxPairs = 12;
  uint8_t first_[kMaxPairs], second_[kMaxPairs];
  int pairs_ = 0;
  // The wide search's classes: one bit per distinct second byte (at most 8).
  // Per nibble value, the classes whose first (second) bytes have it as
  // their low (high) nibble: a byte is in class k when bit k is in both of
  // its nibbles' entries. A class with one first byte is exact; one with
  // several (G, R and I before I) also lets through the nibbles' other
  // mixtures, which the full check then refuses.
  uint8_t classSecond_[8] = {};
  int classes_ = 0;
  alignas(16) uint8_t firstLo_[16] = {}, firstHi_[16] = {}, secondLo_[16] = {}, secondHi_[16] = {};
  bool wide_ = false;
};

// p points at kSignatureBytes readable bytes. Returns the type whose
// signature is there and is in mask, or -1. Not ISO media, whose pair "ft"
// lies kIsoTypeAt bytes into the candidate (isoMediaType, iso_media.h).
int candidateType(const uint8_t* p, unsigned mask);

// Stricter: the head of a file that a camera or program wrote, as opposed
// to a few bytes that happen to match (used to notice foreign data inside a
// picture whose contents cannot be checked).
bool looksLikeFileStart(const uint8_t* p);

}  // namespace qv
