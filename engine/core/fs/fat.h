// FAT12, FAT16 and FAT32, as Microsoft documents their on-disk format: the
// boot sector's parameters, every directory reachable from the root, the
// deleted ones included, and for each picture file its long or short name,
// modification time, size and data.
//
// A live file's data follows its cluster chain. A deleted file's chain is
// gone (its FAT entries are free again), so its data is read as one run from
// its first cluster; whether that is the whole picture is for the caller to
// check.
#pragma once
#include "disk_reader.h"
#include "file_record.h"
#include "partitions.h"

namespace qv {

// False if the volume has no FAT boot sector.
bool readFatVolume(DiskReader& disk, const Volume& vol, const RecordOut& out);

// The checksum of an 8.3 name that its long-name entries carry.
uint8_t shortNameChecksum(const uint8_t* name11);

}  // namespace qv
