#include "types.h"

namespace qv {

const char* typeName(PicType t) {
  switch (t) {
    case PicType::Jpg: return "jpg";
    case PicType::Gif: return "gif";
    case PicType::Png: return "png";
    case PicType::Bmp: return "bmp";
    case PicType::Tif: return "tif";
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
    case PicType::Tif: return 512 * MiB;  // scans and raw-like camera files
  }
  return 0;
}

}  // namespace qv
