// BMP: file header and DIB header whose sizes, offsets, dimensions and bit
// depth agree; the picture's length is the file size from the header.
#include <cstdlib>

#include "recognizers.h"

namespace qv {

Recognition recognizeBmp(View& v, uint64_t maxLen) {
  Recognition r;
  uint8_t h[54];
  if (!v.read(0, h, 26)) return r;
  if (h[0] != 'B' || h[1] != 'M') return r;
  const uint32_t fileSize = le32(h + 2);
  const uint32_t reserved = le32(h + 6);
  const uint32_t dataOffset = le32(h + 10);
  const uint32_t dibSize = le32(h + 14);
  if (reserved != 0 || fileSize > maxLen) return r;

  int64_t width, height;
  unsigned planes, bpp, compression = 0, colorsUsed = 0;
  uint32_t imageSize = 0;
  if (dibSize == 12) {  // OS/2 core header
    width = le16(h + 18);
    height = le16(h + 20);
    planes = le16(h + 22);
    bpp = le16(h + 24);
  } else if (dibSize == 40 || dibSize == 52 || dibSize == 56 || dibSize == 64 ||
             dibSize == 108 || dibSize == 124) {
    if (!v.read(26, h + 26, 28)) return r;
    width = int32_t(le32(h + 18));
    height = int32_t(le32(h + 22));
    planes = le16(h + 26);
    bpp = le16(h + 28);
    compression = le32(h + 30);
    imageSize = le32(h + 34);
    colorsUsed = le32(h + 46);
  } else {
    return r;
  }
  if (planes != 1 || width <= 0 || height == 0 || width > 100000 || std::llabs(height) > 100000) return r;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return r;

  uint64_t palette = 0;
  if (bpp <= 8) {
    uint64_t entries = colorsUsed ? colorsUsed : (1u << bpp);
    if (entries > (1u << bpp)) return r;
    palette = entries * (dibSize == 12 ? 3 : 4);
  }
  if (compression == 3 && dibSize == 40) palette += 12;  // BITFIELDS masks
  if (compression == 6 && dibSize == 40) palette += 16;
  if (dataOffset < 14 + dibSize || dataOffset > 14 + uint64_t(dibSize) + palette + 4096) return r;

  uint64_t pixels;
  const uint64_t stride = ((uint64_t(width) * bpp + 31) / 32) * 4;
  const uint64_t rawSize = stride * uint64_t(std::llabs(height));
  switch (compression) {
    case 0: case 3: case 6:
      pixels = rawSize;
      break;
    case 1: case 2:  // RLE: only the header knows
      if ((compression == 1 && bpp != 8) || (compression == 2 && bpp != 4)) return r;
      if (imageSize == 0 || imageSize > rawSize * 2 + 4096) return r;
      pixels = imageSize;
      break;
    default:
      return r;
  }
  const uint64_t needed = uint64_t(dataOffset) + pixels;
  // A writer may pad the file or add a colour profile, but not much more.
  if (fileSize < needed || fileSize > needed + 1024 * 1024) return r;
  if (!v.has(fileSize - 1)) return r;
  r.length = r.shadow = fileSize;
  return r;
}

}  // namespace qv
