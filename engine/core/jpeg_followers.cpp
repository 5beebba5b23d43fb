#include "jpeg_followers.h"

#include "recognizers.h"

namespace qv {

uint64_t withFollowingJpegs(Window& w, uint64_t start, uint64_t length, uint64_t maxLen) {
  while ((start + length) % kSectorSize != 0 && length < maxLen) {
    WindowView next(w, start + length);
    uint8_t h[3];
    if (!next.read(0, h, 3) || h[0] != 0xFF || h[1] != 0xD8 || h[2] != 0xFF) break;
    uint64_t more = recognizeJpeg(next, maxLen - length).length;
    if (!more) break;
    length += more;
  }
  return length;
}

}  // namespace qv
