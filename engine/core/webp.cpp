// WebP: a RIFF file of form type "WEBP" (the WebP container description).
//
// Where it ends: the RIFF header's length + 8, padded to even (a chunk's
// data is padded to an even length; a writer that left the pad out of an odd
// length is taken at its word when the file ends right there).
//
// How it is proven: the first chunk is a picture's: `VP8 ` (lossy) with a key
// frame's tag and the start code 9D 01 2A and a non-empty size, `VP8L`
// (lossless) with its signature byte 0x2F and version 0, or `VP8X` (extended:
// 10 bytes, a canvas within the format's bounds) followed by a picture or an
// animation chunk. Every chunk after it has a printable identifier and
// chains, padded, exactly to the RIFF length: a length too large for the
// chunks (random data or zeros after the file) or a chunk reaching past it is
// no find.
//
// A picture chunk holding a whole zero sector (counted from the file's start)
// is the rest of a file written only so far: VP8's and VP8L's coded data
// never has one.
//
// Limits: the RIFF length is refused past maxLen before anything after the
// header is read; at most 65,536 chunks (one a frame of an animation; more
// is not a picture someone keeps).
#include <algorithm>
#include <cstring>

#include "recognizers.h"

namespace qv {
namespace {

constexpr uint64_t kHeader = 12;  // "RIFF", length, "WEBP"
constexpr int kMaxChunks = 1 << 16;
// VP8X's canvas: width and height at most 2^24, their product below 2^32.
constexpr uint64_t kMaxCanvas = (uint64_t(1) << 32) - 1;

bool printable(const uint8_t* t) {
  for (int i = 0; i < 4; ++i)
    if (t[i] < 0x20 || t[i] > 0x7E) return false;
  return true;
}

uint32_t le24(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16; }

// The first chunk's payload head (up to 10 bytes read, size its length).
bool soundVp8(const uint8_t* d, uint32_t size) {
  if (size < 10) return false;
  const uint32_t tag = le24(d);
  const bool keyFrame = (tag & 1) == 0, shown = (tag >> 4) & 1;
  const uint32_t version = (tag >> 1) & 7, firstPart = tag >> 5;
  if (!keyFrame || !shown || version > 3 || firstPart >= size) return false;
  if (d[3] != 0x9D || d[4] != 0x01 || d[5] != 0x2A) return false;
  return (le16(d + 6) & 0x3FFF) != 0 && (le16(d + 8) & 0x3FFF) != 0;
}

bool soundVp8l(const uint8_t* d, uint32_t size) {
  if (size < 5 || d[0] != 0x2F) return false;
  return (d[4] >> 5) == 0;  // version 0
}

bool soundVp8x(const uint8_t* d, uint32_t size) {
  if (size != 10) return false;
  const uint64_t w = uint64_t(le24(d + 4)) + 1, h = uint64_t(le24(d + 7)) + 1;
  return w * h <= kMaxCanvas;
}

}  // namespace

Recognition recognizeWebp(View& v, uint64_t maxLen) {
  uint8_t head[kHeader];
  if (!v.read(0, head, sizeof head) || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WEBP", 4) != 0)
    return {};
  const uint64_t riffEnd = uint64_t(le32(head + 4)) + 8;
  if (riffEnd < kHeader + 8 || riffEnd > maxLen || !v.has(riffEnd - 1)) return {};

  uint64_t o = kHeader;
  bool picture = false;
  for (int n = 0; o < riffEnd; ++n) {
    uint8_t c[8 + 10] = {};
    if (n == kMaxChunks || riffEnd - o < 8 || !v.read(o, c, 8) || !printable(c)) return {};
    const uint32_t size = le32(c + 4);
    if (size > riffEnd - o - 8) return {};
    const bool odd = size & 1;
    if (n == 0) {
      if (!v.read(o + 8, c + 8, std::min<size_t>(size, 10))) return {};
      if (std::memcmp(c, "VP8 ", 4) == 0) picture = soundVp8(c + 8, size);
      else if (std::memcmp(c, "VP8L", 4) == 0) picture = soundVp8l(c + 8, size);
      else if (std::memcmp(c, "VP8X", 4) == 0) {
        if (!soundVp8x(c + 8, size)) return {};
      } else {
        return {};
      }
      if (!picture && std::memcmp(c, "VP8X", 4) != 0) return {};
    } else if (std::memcmp(c, "VP8 ", 4) == 0 || std::memcmp(c, "VP8L", 4) == 0 || std::memcmp(c, "ANMF", 4) == 0) {
      picture = true;
    }
    // Coded picture data with a zero sector: the file was written only so far.
    if ((std::memcmp(c, "VP8", 3) == 0 || std::memcmp(c, "ALPH", 4) == 0 || std::memcmp(c, "ANMF", 4) == 0) &&
        zeroSectorIn(v, o + 8, o + 8 + size))
      return {};
    o += 8 + uint64_t(size) + (odd ? 1 : 0);
  }
  // The last chunk's pad byte may lie past an odd RIFF length (o == riffEnd + 1).
  if (!picture) return {};
  Recognition r;
  r.length = riffEnd + (riffEnd & 1);
  // An odd length at the very end of what there is: the file ends there.
  if (r.length > maxLen || !v.has(r.length - 1)) r.length = riffEnd;
  return r;
}

}  // namespace qv
