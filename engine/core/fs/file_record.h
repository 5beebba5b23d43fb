// What a file system says about one file: its name, size, modification
// time and where its data lies. The readers of each file system produce
// these; the record pass checks and writes them.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "file_time.h"

namespace qv {

// A stretch of the file's data on the disk, in file order. A sparse stretch
// has no place on the disk and reads as zeros.
struct Extent {
  uint64_t offset = 0;
  uint64_t length = 0;
  bool sparse = false;
};

struct FileRecord {
  std::string name;  // UTF-8
  uint64_t size = 0;
  FileTime mtime;
  bool deleted = false;
  std::vector<Extent> extents;
  // Data kept inside the record itself (small NTFS files); used instead of
  // extents when residentAt is set.
  std::vector<uint8_t> resident;
  uint64_t residentAt = 0;  // disk offset of its first byte, 0 if not resident
  // Where the first byte of the data lies on the disk.
  uint64_t start() const { return residentAt ? residentAt : extents.empty() ? 0 : extents.front().offset; }
};

using RecordOut = std::function<void(FileRecord&&)>;

// Days from 1601-01-01 to the given date of the proleptic Gregorian calendar.
int64_t daysSince1601(int year, int month, int day);
FileTime wallClockTime(int year, int month, int day, int hour, int minute, int second, int centis);

// "dsc_0001.JPEG": a picture file by its extension, case-insensitively.
bool hasPictureExtension(const std::string& name);

// UTF-16LE code units to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(const uint16_t* units, size_t n);

}  // namespace qv
