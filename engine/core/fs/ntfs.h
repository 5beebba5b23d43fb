// NTFS: the boot sector, the $MFT (found through its own record's run list,
// so a fragmented $MFT is read in all its pieces), and for every file record
// that names a picture, in use or not: its name ($FILE_NAME, the long one
// rather than the 8.3 one), modification time ($STANDARD_INFORMATION) and
// data ($DATA: kept in the record itself, or the runs of clusters it lists,
// which a deleted record keeps until it is reused). Compressed and encrypted
// data and data continued in other records (an attribute list) are left to
// the content search. The files' folders come from the directories'
// records, in use or not, each named with its parent's reference; they are
// put together once the whole $MFT has been read.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "disk_reader.h"
#include "file_record.h"
#include "partitions.h"

namespace qv {

// False if the volume has no NTFS boot sector.
bool readNtfsVolume(DiskReader& disk, const Volume& vol, const RecordOut& out);

// Checks and undoes the update sequence of a multi-sector record in place:
// the last two bytes of each 512-byte stride hold the sequence number and
// their real value is kept in the array. False if the record was torn.
bool applyFixups(uint8_t* rec, size_t size);

// A $DATA run list: runs of clusters relative to the previous one, or
// sparse. offset/length in bytes; offsets from volumeStart. False if the
// list is malformed or leaves the volume's `clusters`.
bool decodeRuns(const uint8_t* p, size_t n, uint64_t clusterBytes, uint64_t clusters, uint64_t volumeStart,
                std::vector<Extent>& runs);

}  // namespace qv
