#include "damaged_part.h"

#include "jpeg_stream.h"
#include "recognizers.h"

namespace qv {

DamagedPart damagedPart(PicType t, View& v, uint64_t maxLen) {
  DamagedPart d;
  switch (t) {
    case PicType::Jpg: {
      const JpegGoodRows g = jpegGoodRows(v, maxLen);
      if (g.rows < kMinJpegRows || g.mcus < kMinJpegMcus) return d;
      d.length = g.end;
      d.decodes = int(uint64_t(g.rows) * 100 / g.total);
      return d;
    }
    case PicType::Png: d.length = pngWholeChunksEnd(v, maxLen); return d;
    case PicType::Gif: d.length = gifWholeFramesEnd(v, maxLen); return d;
    default: return d;
  }
}

}  // namespace qv
