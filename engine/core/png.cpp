// PNG: signature, IHDR first, then chunks by length, each checked against
// its CRC (which is what notices foreign data), up to IEND.
#include <cstring>

#include "crc32.h"
#include "png_chunks.h"
#include "recognizers.h"

namespace qv {
namespace {

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

bool validHeader(const uint8_t* d) {
  uint32_t w = be32(d), h = be32(d + 4);
  int depth = d[8], color = d[9];
  if (!w || !h || w > 0x7FFFFFFFu || h > 0x7FFFFFFFu) return false;
  if (d[10] != 0 || d[11] != 0 || d[12] > 1) return false;
  switch (color) {
    case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2: case 4: case 6: return depth == 8 || depth == 16;
    default: return false;
  }
}

}  // namespace

bool isPngChunkType(const uint8_t* type) {
  for (int i = 0; i < 4; ++i)
    if (!((type[i] >= 'A' && type[i] <= 'Z') || (type[i] >= 'a' && type[i] <= 'z'))) return false;
  return true;
}

bool pngChunkCrcMatches(View& v, uint64_t pos, uint32_t len) {
  uint32_t crc = 0;
  uint64_t at = pos + 4, end = pos + 8 + uint64_t(len);
  while (at < end) {
    size_t avail = 0;
    const uint8_t* p = v.at(at, avail);
    if (!p) return false;
    size_t k = avail < end - at ? avail : static_cast<size_t>(end - at);
    crc = crc32Update(crc, p, k);
    at += k;
  }
  uint8_t stored[4];
  return v.read(end, stored, 4) && be32(stored) == crc;
}

namespace {

// Walks the chunks from the signature up to IEND or the first that is not
// whole (its header, its bounds or its CRC). good: the end of the last
// whole chunk before IEND, once a whole IDAT has come; 0 before.
struct PngWalk {
  uint64_t length = 0;  // the whole picture, 0 if none
  uint64_t good = 0;
};

PngWalk walkPng(View& v, uint64_t maxLen) {
  PngWalk w;
  uint8_t sig[8];
  if (!v.read(0, sig, 8) || std::memcmp(sig, kSignature, 8) != 0) return w;
  uint64_t pos = 8;
  bool first = true, sawData = false;
  for (;;) {
    uint8_t h[8];
    if (!v.read(pos, h, 8)) return w;
    uint32_t len = be32(h);
    const uint8_t* type = h + 4;
    if (len > 0x7FFFFFFFu) return w;
    if (!isPngChunkType(type)) return w;
    uint64_t next = pos + 12 + uint64_t(len);
    if (next > maxLen) return w;
    if (first) {
      uint8_t d[13];
      if (std::memcmp(type, "IHDR", 4) != 0 || len != 13 || !v.read(pos + 8, d, 13) || !validHeader(d))
        return w;
      first = false;
    }
    if (!pngChunkCrcMatches(v, pos, len)) return w;
    if (std::memcmp(type, "IDAT", 4) == 0) sawData = true;
    if (std::memcmp(type, "IEND", 4) == 0) {
      if (sawData && len == 0) w.length = next;
      return w;
    }
    pos = next;
    if (sawData) w.good = pos;
  }
}

}  // namespace

Recognition recognizePng(View& v, uint64_t maxLen) {
  Recognition r;
  r.length = r.shadow = walkPng(v, maxLen).length;
  return r;
}

uint64_t pngWholeChunksEnd(View& v, uint64_t maxLen) {
  const PngWalk w = walkPng(v, maxLen);
  return w.length ? 0 : w.good;
}

}  // namespace qv
