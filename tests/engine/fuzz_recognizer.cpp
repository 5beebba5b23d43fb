// libFuzzer target: one recogniser on arbitrary bytes. Built once per type.
#include <cstddef>
#include <cstdint>

#include "recognizers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::MemoryView v(data, size);
  qv::Recognition r = qv::QV_FUZZ_FN(v, size);
  if (r.length > size) __builtin_trap();
  return 0;
}
