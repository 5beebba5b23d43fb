// exFAT, as Microsoft documents its on-disk format: the boot sector,
// every directory from the root, and for each picture file its entry set
// (file, stream extension and name entries), live or deleted. A file flagged
// as having no FAT chain lies in one run; otherwise its chain is followed,
// and for a deleted file whose chain does not hold its size, one run is
// assumed.
#pragma once
#include "disk_reader.h"
#include "file_record.h"
#include "partitions.h"

namespace qv {

// False if the volume has no exFAT boot sector.
bool readExfatVolume(DiskReader& disk, const Volume& vol, const RecordOut& out);

}  // namespace qv
