// libFuzzer target: one recogniser (or the baseline JPEG decoder) on
// arbitrary bytes. Built once per target.
#include <cstddef>
#include <cstdint>

#include "jpeg_decode.h"
#include "recognizers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::MemoryView v(data, size);
#ifdef QV_FUZZ_DECODE
  qv::baselineJpegDecodes(v, size);
#else
  qv::Recognition r = qv::QV_FUZZ_FN(v, size);
  if (r.length > size) __builtin_trap();
  if (r.length) {
    // A picture ends by its own structure: what follows it changes nothing,
    // and nothing is ever longer than the size bound.
    qv::MemoryView alone(data, r.length);
    if (qv::QV_FUZZ_FN(alone, r.length).length != r.length) __builtin_trap();
    qv::MemoryView bounded(data, size);
    if (qv::QV_FUZZ_FN(bounded, r.length - 1).length >= r.length) __builtin_trap();
  }
#endif
  return 0;
}
