// A file's data as a View, assembled from its extents (or taken from the
// record itself), so the recognisers check it exactly as the file system
// lays it out. A few chunks are kept: recognisers jump between a picture's
// directory and its data.
#pragma once
#include <vector>

#include "../view.h"
#include "disk_reader.h"
#include "file_record.h"

namespace qv {

class FileView : public View {
 public:
  FileView(DiskReader& disk, const FileRecord& file) : disk_(disk), file_(file) {}
  const uint8_t* at(uint64_t pos, size_t& avail) override;

  static constexpr size_t kChunk = 256 << 10;

 private:
  struct Chunk {
    uint64_t start = ~uint64_t(0);
    std::vector<uint8_t> bytes;
  };
  void fill(Chunk& c, uint64_t start);

  DiskReader& disk_;
  const FileRecord& file_;
  Chunk chunks_[4];
  unsigned next_ = 0;
};

}  // namespace qv
