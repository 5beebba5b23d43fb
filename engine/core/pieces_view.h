// A file in pieces that follow each other on the disk: the bytes of the
// joined file, read through the window. The joiners try candidates by
// changing the last piece and reading again.
#pragma once
#include <cstdint>
#include <vector>

#include "view.h"
#include "window.h"

namespace qv {

// From byte `file` of the file on, the bytes lie at `disk` on the disk.
struct FilePiece {
  uint64_t file;
  uint64_t disk;
};

class PiecesView : public View {
 public:
  PiecesView(Window& w, const std::vector<FilePiece>& pieces) : w_(w), pieces_(pieces) {}
  const uint8_t* at(uint64_t pos, size_t& avail) override {
    size_t i = pieces_.size() - 1;
    while (i > 0 && pieces_[i].file > pos) --i;
    const FilePiece& p = pieces_[i];
    const uint8_t* data = w_.at(p.disk + (pos - p.file), avail);
    if (data && i + 1 < pieces_.size() && avail > pieces_[i + 1].file - pos)
      avail = static_cast<size_t>(pieces_[i + 1].file - pos);
    return data;
  }

 private:
  Window& w_;
  const std::vector<FilePiece>& pieces_;
};

}  // namespace qv
