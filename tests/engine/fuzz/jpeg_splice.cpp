// libFuzzer target: the JPEG joiner on its own. A JPEG at the start of a
// small disk laid out in sectors (sector_layout.h); the joiner looks for its
// pieces as the scanner would, and the joined picture must read back whole.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "block_reader.h"
#include "jpeg_fragments.h"
#include "recognizers.h"
#include "sector_layout.h"
#include "window.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> disk = qvfuzz::layOutInSectors(data, size);
  if (disk.empty()) return 0;
  qv::MemorySource src(std::move(disk));
  qv::BlockReader reader(src, 4096, 2);
  qv::Window w(src, reader, 8192);
  w.advanceTo(0);
  qv::JpegPieces p = qv::findJpegPieces(w, 0);
  if (!p.length) return 0;
  // Pieces in order on the disk, each after the one before, all inside the picture.
  if (p.pieces.size() < 2 || p.pieces[0].file != 0 || p.pieces[0].disk != 0) __builtin_trap();
  for (size_t i = 1; i < p.pieces.size(); ++i)
    if (p.pieces[i].file <= p.pieces[i - 1].file || p.pieces[i].file >= p.length ||
        p.pieces[i].disk <= p.pieces[i - 1].disk + (p.pieces[i].file - p.pieces[i - 1].file))
      __builtin_trap();
  qv::PiecesView joined(w, p.pieces);
  std::vector<uint8_t> bytes(p.length);
  if (!joined.read(0, bytes.data(), bytes.size())) __builtin_trap();
  qv::MemoryView whole(bytes.data(), bytes.size());
  if (qv::recognizeJpeg(whole, bytes.size()).length != p.length) __builtin_trap();
  return 0;
}
