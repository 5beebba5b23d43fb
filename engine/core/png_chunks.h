// The pieces of a PNG's chunk structure that both the recogniser and the
// joiner of PNGs in pieces check.
#pragma once
#include <cstdint>

#include "view.h"

namespace qv {

// Four ASCII letters, as every chunk type is.
bool isPngChunkType(const uint8_t* type);
// The chunk at pos (length field first) with data of len bytes: does the
// CRC after its data match its type and data?
bool pngChunkCrcMatches(View& v, uint64_t pos, uint32_t len);

}  // namespace qv
