#include "recognizers.h"

namespace qv {

Recognition recognize(PicType t, View& v, uint64_t maxLen) {
  switch (t) {
    case PicType::Jpg: return recognizeJpeg(v, maxLen);
    case PicType::Png: return recognizePng(v, maxLen);
    case PicType::Gif: return recognizeGif(v, maxLen);
    case PicType::Bmp: return recognizeBmp(v, maxLen);
    case PicType::Tif: return recognizeTiff(v, maxLen);
  }
  return {};
}

}  // namespace qv
