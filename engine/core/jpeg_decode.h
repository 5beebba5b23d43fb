// Decodes the Huffman-coded data of a baseline JPEG without computing any
// pixels: every code must exist in its table, every block must fit in 64
// coefficients, restart markers must come in order and each scan must hold
// exactly as many MCUs as the frame needs. Stronger than the marker syntax:
// data spliced in from elsewhere, or a missing piece, fails it.
#pragma once
#include <cstdint>

#include "view.h"

namespace qv {

// The JPEG of `length` bytes at the start of the view decodes cleanly.
// False for anything else, including the progressive and lossless kinds.
bool baselineJpegDecodes(View& v, uint64_t length);

}  // namespace qv
