// The first-pass filter: which picture type, if any, may start at the head
// of a sector. Called for every sector of the disk, so it only looks.
#pragma once
#include <cstddef>
#include <cstdint>

#include "types.h"

namespace qv {

constexpr size_t kSignatureBytes = 32;

// p points at kSignatureBytes readable bytes. Returns the type whose
// signature is there and is in mask, or -1.
int candidateType(const uint8_t* p, unsigned mask);

// Stricter: the head of a file that a camera or program wrote, as opposed
// to a few bytes that happen to match (used to notice foreign data inside a
// picture whose contents cannot be checked).
bool looksLikeFileStart(const uint8_t* p);

}  // namespace qv
