#include "output_sink.h"

#include "../core/naming.h"
#include "../runtime/qvrt.h"

namespace qv {

void OutputSink::onFind(const Find& find, View& data) {
  const std::string name = outputName(find.type, find.offset);
  QvOutput* out = qvrt_output_begin(dir_.c_str(), partName(name).c_str(), name.c_str());
  if (!out) return;
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
  if (qvrt_output_end(out, ok ? 1 : 0) == 0) ++written_;
}

}  // namespace qv
