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
  // The folder it was in, from the volume's root, with backslashes: "\" for
  // the root, "\DCIM\100CANON" (UTF-8). Empty when not known; "\?\A\B"
  // when only the folders nearest the file are known (A's place is lost).
  std::string folder;
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

// The longest folder kept, in bytes: a longer one keeps the names nearest
// the file after "\?". Bounds what a hostile directory tree costs.
constexpr size_t kMaxFolder = 1024;

// The folder `name` inside `parent` ("\" for the root). Control characters,
// backslashes and bytes that are not UTF-8 in the name become "_".
std::string subFolder(const std::string& parent, const std::string& name);

// The text with control characters and bytes that are not part of a
// well-formed UTF-8 sequence replaced by "_".
std::string cleanUtf8(const std::string& s);

// UTF-16LE code units to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(const uint16_t* units, size_t n);

}  // namespace qv
