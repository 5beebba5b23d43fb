// libFuzzer target: the progress file's parser over arbitrary bytes. What
// it accepts must be consistent and must come back the same when written.
#include <cstddef>
#include <cstdint>

#include <string>

#include "progress_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::SearchProgress p;
  if (!qv::parseProgress(reinterpret_cast<const char*>(data), size, p)) return 0;
  if (p.searched > p.size || p.recordsChecked > p.recordsSize) __builtin_trap();
  // The whole search's share never wraps round.
  if (qv::progressDone(p) > qv::progressTotal(p) || qv::progressTotal(p) < p.size) __builtin_trap();
  const std::string again = qv::formatProgress(p);
  qv::SearchProgress q;
  if (!qv::parseProgress(again.data(), again.size(), q)) __builtin_trap();
  if (q.searched != p.searched || q.size != p.size || q.found != p.found || q.unreadable != p.unreadable ||
      q.ended != p.ended || q.givenUp != p.givenUp || q.recordsChecked != p.recordsChecked ||
      q.recordsSize != p.recordsSize)
    __builtin_trap();
  return 0;
}
