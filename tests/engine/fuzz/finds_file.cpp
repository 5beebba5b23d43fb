// libFuzzer target: the finds file's reader over arbitrary bytes. Every
// entry it takes must be a line of the text exactly as the writer would
// write it, the offset must end a whole line, and reading in two steps
// (as the window does while the engine appends) must give the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "finds_file.h"

namespace {

bool same(const std::vector<qv::FindsEntry>& a, const std::vector<qv::FindsEntry>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].file != b[i].file || a[i].folder != b[i].folder || a[i].deleted != b[i].deleted ||
        a[i].damaged != b[i].damaged || a[i].decodes != b[i].decodes || a[i].found != b[i].found)
      return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<qv::FindsEntry> all;
  const size_t end = qv::parseFindsText(text, 0, all);
  if (end > size || (end && text[end - 1] != '\n')) __builtin_trap();
  // A content find's line is only ever a damaged one's, without a folder.
  for (const qv::FindsEntry& e : all)
    if (text.find("\n" + qv::formatFindsLine(e)) == std::string::npos ||
        (e.found && (!e.damaged || e.deleted || !e.folder.empty())) || e.decodes < -1 || e.decodes > 100)
      __builtin_trap();
  // Cut where the middle of the text falls, then the rest.
  const size_t cut = text.find('\n', size / 2);
  if (cut == std::string::npos) return 0;
  std::vector<qv::FindsEntry> steps;
  const size_t first = qv::parseFindsText(text.substr(0, cut + 1), 0, steps);
  if (qv::parseFindsText(text, first, steps) != end || !same(steps, all)) __builtin_trap();
  return 0;
}
