// libFuzzer target: the MCU-by-MCU JPEG data check on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "jpeg_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::MemoryView v(data, size);
  qv::jpegDataFits(v, size);
  return 0;
}
