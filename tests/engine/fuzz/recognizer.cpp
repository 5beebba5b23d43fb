// libFuzzer target: one recogniser on arbitrary bytes. Built once per
// target.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "iso_media.h"
#include "recognizers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::MemoryView v(data, size);
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
#ifdef QV_FUZZ_ISO
  // With the file's end known a last box of size 0 may add to it, never
  // take away; and the signature's look at the head.
  qv::MemoryView file(data, size);
  const uint64_t whole = qv::recognizeIsoMediaFile(file, size).length;
  if (whole > size || (r.length && whole < r.length)) __builtin_trap();
  uint8_t head[32] = {};
  std::memcpy(head, data, size < sizeof head ? size : sizeof head);
  (void)qv::isoMediaType(head, qv::kAllTypes);
#endif
  return 0;
}
