#include "types.h"

namespace qv {

const char* typeName(PicType t) {
  switch (t) {
    case PicType::Jpg: return "jpg";
    case PicType::Gif: return "gif";
    case PicType::Png: return "png";
    case PicType::Bmp: return "bmp";
    case PicType::Tif: return "tif";
    case PicType::Raw: return "raw";
    case PicType::Heic: return "heic";
    case PicType::Avif: return "avif";
    case PicType::Webp: return "webp";
  }
  return "";
}

uint64_t maxPictureSize(PicType t) {
  constexpr uint64_t MiB = 1024 * 1024;
  switch (t) {
    case PicType::Jpg: return 128 * MiB;  // camera files with MPF previews
    case PicType::Gif: return 64 * MiB;
    case PicType::Png: return 256 * MiB;
    case PicType::Bmp: return 256 * MiB;
    case PicType::Tif: return 512 * MiB;  // scans
    case PicType::Raw: return 512 * MiB;  // medium-format backs write a few hundred MB
    case PicType::Heic: return 256 * MiB; // a phone's photo is a few MB, a burst or a large edit more
    case PicType::Avif: return 256 * MiB;
    case PicType::Webp: return 256 * MiB; // 16383 x 16383 lossless
  }
  return 0;
}

}  // namespace qv
