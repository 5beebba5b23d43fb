// Looks for a picture start at every byte, lets the type's recogniser
// decide where the picture ends, hands each whole picture to the sink and
// goes on right after it. What is left of a JPEG, PNG or GIF that is not
// whole and cannot be joined goes to the sink marked damaged, its good
// part only (damaged_part.h), and the search goes on right after that.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "fs/file_time.h"
#include "source.h"
#include "types.h"
#include "view.h"

namespace qv {

struct Find {
  PicType type;
  uint64_t offset;
  uint64_t length;
  // Set for a file written from a file system's records: its name,
  // modification time, the folder it was in (as FileRecord::folder) and
  // whether it was deleted.
  std::string name = {};
  FileTime mtime = {};
  bool fromRecord = false;
  std::string folder = {};
  bool deleted = false;
  // The extension when the type has several (Recognition::ext).
  const char* ext = nullptr;
  // A picture whose data does not check out whole, written all the same:
  // at its record's length when a record says where it lies, otherwise up
  // to where its good part ends (damaged_part.h); with the share of it that
  // decodes (percent), or -1 when that is not known.
  bool damaged = false;
  int decodes = -1;
};

class FindSink {
 public:
  virtual ~FindSink() = default;
  // data starts at the find's first byte and holds at least its length.
  virtual void onFind(const Find& find, View& data) = 0;
};

// What a scan has done so far, for another thread to read while it runs.
struct ScanProgress {
  std::atomic<uint64_t> searched{0};
  std::atomic<uint64_t> found{0};
};

struct ScanOptions {
  unsigned types = kAllTypes;
  size_t blockSize = 4 << 20;
  size_t readAhead = 4;
  uint64_t maxHold = 64 << 20;
  ScanProgress* progress = nullptr;
  // Threads that search blocks and check their candidates; 0: one per core.
  // The finds are the same for any number.
  unsigned threads = 0;
  // How far past its block a searching thread may read to check a
  // candidate; a longer one is checked again in order.
  size_t checkAhead = 16 << 20;
};

struct ScanStats {
  uint64_t bytes = 0;
  uint64_t candidates = 0;
  uint64_t finds = 0;
};

ScanStats scan(ByteSource& src, const ScanOptions& opts, FindSink& sink);

}  // namespace qv
