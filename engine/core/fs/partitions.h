// Where the volumes of a disk begin: the partitions of its MBR (primary and
// the logical ones in the extended partition's chain) or its GPT, and the
// disk's own start, which is the volume on a card formatted without a
// partition table. Each file-system reader checks its own boot sector, so a
// stale or foreign entry costs one read.
#pragma once
#include <cstdint>
#include <vector>

#include "disk_reader.h"

namespace qv {

struct Volume {
  uint64_t offset = 0;
  uint64_t size = 0;  // within the disk
};

std::vector<Volume> findVolumes(DiskReader& disk);

}  // namespace qv
