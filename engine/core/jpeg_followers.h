// A camera file may store a large preview right after the main image with
// no index that mentions it. A JPEG that begins exactly where another one
// ends, and not at a sector start, lies in the same file (files on a disk
// begin at sector starts), so it belongs to that file.
#pragma once
#include <cstdint>

#include "window.h"

namespace qv {

// The length of the file that holds the JPEG of `length` bytes at start,
// with every JPEG that directly follows it; at most maxLen.
uint64_t withFollowingJpegs(Window& w, uint64_t start, uint64_t length, uint64_t maxLen);

}  // namespace qv
