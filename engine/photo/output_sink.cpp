#include "output_sink.h"

#include <cstdio>

#include "../core/finds_file.h"
#include "../core/naming.h"

namespace qv {

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

std::string OutputSink::folderFor(unsigned index) {
  if (index != folderIndex_) {
    char sub[32];
    std::snprintf(sub, sizeof sub, "d%04u", index + 1);
    sub_ = sub;
    folder_ = dir_;
    if (!folder_.empty() && folder_.back() != kSep && folder_.back() != '/') folder_ += kSep;
    folder_ += sub;
    folderIndex_ = index;
    names_.clear();
    qvrt_make_dirs(folder_.c_str());
  }
  return folder_;
}

void OutputSink::onFind(const Find& find, View& data) {
  const std::string folder = folderFor(attempted_++ / kPerFolder);
  const std::string name = names_.claim(find.name.empty() ? outputName(find.type, find.offset, find.ext) : find.name);
  QvOutput* out = qvrt_output_begin(folder.c_str(), partName(name).c_str(), name.c_str());
  if (!out) return;
  if (find.mtime.ticks) qvrt_output_set_time(out, find.mtime.ticks, find.mtime.local ? 1 : 0);
  bool ok = true;
  for (uint64_t pos = 0; ok && pos < find.length;) {
    size_t avail = 0;
    const uint8_t* p = data.at(pos, avail);
    if (!p) {
      ok = false;
      break;
    }
    size_t n = avail < find.length - pos ? avail : static_cast<size_t>(find.length - pos);
    ok = qvrt_output_write(out, p, n) == 0;
    pos += n;
  }
  // The line before the name: whoever sees the picture can read its line.
  // A picture whose line could not be written is kept all the same.
  // A whole content find has none.
  if (ok && finds_ && (find.fromRecord || find.damaged)) {
    const std::string line = formatFindsLine(
        FindsEntry{sub_ + "\\" + name, find.folder, find.deleted, find.damaged, find.decodes, !find.fromRecord});
    qvrt_append(finds_, line.data(), line.size());
  }
  if (qvrt_output_end(out, ok ? 1 : 0) == 0) ++written_;
}

}  // namespace qv
