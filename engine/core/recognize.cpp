#include "recognizers.h"

namespace qv {

Recognition recognize(PicType t, View& v, uint64_t maxLen) {
  switch (t) {
    case PicType::Jpg: return recognizeJpeg(v, maxLen);
    case PicType::Png: return recognizePng(v, maxLen);
    case PicType::Gif: return recognizeGif(v, maxLen);
    case PicType::Bmp: return recognizeBmp(v, maxLen);
    case PicType::Tif: return recognizeTiff(v, maxLen);
    case PicType::Raw: {
      uint8_t box[8] = {};
      if (v.read(0, box, sizeof box) && box[4] == 'f' && box[5] == 't' && box[6] == 'y' && box[7] == 'p')
        return recognizeIsoMedia(v, maxLen);
      return recognizeCameraRaw(v, maxLen);
    }
    case PicType::Heic:
    case PicType::Avif: return recognizeIsoMedia(v, maxLen);
    case PicType::Webp: return recognizeWebp(v, maxLen);
  }
  return {};
}

}  // namespace qv
