// The content search over parts of the disk only (what was won back from
// behind a dead stretch): each part is searched as a disk of its own that
// runs a little past the part's end, so that a picture starting in it is
// found whole, and only finds that start in the part count; their offsets
// are the disk's.
#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "scanner.h"
#include "source.h"

namespace qv {

// How far past its part a picture found in it may run.
constexpr uint64_t kPartTail = 32 << 20;

ScanStats searchParts(ByteSource& disk, const std::vector<std::pair<uint64_t, uint64_t>>& parts,
                      const ScanOptions& opts, FindSink& sink);

}  // namespace qv
