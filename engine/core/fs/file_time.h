// A file's modification time as a file system keeps it.
#pragma once
#include <cstdint>

namespace qv {

// 100 ns ticks since 1601-01-01 (a Windows FILETIME). FAT, and exFAT
// without a zone, keep the wall-clock time of the camera or computer: local
// is then set and the ticks count as if that time were UTC.
struct FileTime {
  int64_t ticks = 0;  // 0: not known
  bool local = false;
};

}  // namespace qv
