// libFuzzer target: the two-piece JPEG joiner on its own. A JPEG at the
// start of a small disk laid out in sectors (sector_layout.h); when its data
// breaks, the joiner looks for the rest after the foreign file, as the
// scanner would, and the joined picture must read back whole.
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
  qv::WindowView v(w, 0);
  qv::Recognition r = qv::recognizeJpeg(v, src.size());
  if (!r.brokeAt) return 0;
  qv::JpegSplice s = qv::findJpegSplice(w, 0, r.brokeAt);
  if (!s.length) return 0;
  if (s.firstLength == 0 || s.length <= s.firstLength || s.rest < s.firstLength) __builtin_trap();
  if (s.rest + (s.length - s.firstLength) > src.size()) __builtin_trap();
  qv::SplicedView joined(w, 0, s);
  std::vector<uint8_t> bytes(s.length);
  if (!joined.read(0, bytes.data(), bytes.size())) __builtin_trap();
  return 0;
}
