// Camera RAWs with a header of their own.
//  - Olympus ORF: a TIFF structure behind "IIRO" or "IIRS" (little-endian)
//    or "MMOR" (big-endian) instead of TIFF's magic; the first directory's
//    offset at byte 4, as in TIFF. Ends where the directories' references end
//    (tiff_walk.h).
//  - Panasonic RW2 and Leica's RWL: a little-endian TIFF structure behind
//    "IIU\0"; the first directory holds Panasonic's own tags (no width or
//    height), the raw data by StripOffsets/StripByteCounts and the JPEG
//    preview as a block of bytes (0x002E). RWL when IFD0's Make begins with
//    LEICA. A file that gives no strip byte count cannot be bounded and is
//    not whole.
//  - Fujifilm RAF: "FUJIFILMCCD-RAW " and a header of fixed layout; at bytes
//    84 to 107 three big-endian offset/length pairs: the JPEG preview, the
//    CFA header (the raw's metadata), the CFA (raw) data. The JPEG must start
//    with FF D8 FF; the raw data must have a length; no part starts inside
//    the 108-byte header. The end is the furthest byte of the three.
// Every offset and length is checked against maxLen (the disk's end or the
// type's size bound) before anything there is read.
#include <algorithm>
#include <cstring>

#include "recognizers.h"
#include "tiff_walk.h"

namespace qv {
namespace {

constexpr uint64_t kRafHeader = 108;

enum class Family { None, Orf, Rw2, Raf };

Family family(const uint8_t* h, bool& le) {
  le = h[0] == 'I';
  if (h[0] == 'I' && h[1] == 'I' && h[2] == 'R' && (h[3] == 'O' || h[3] == 'S')) return Family::Orf;
  if (h[0] == 'M' && h[1] == 'M' && h[2] == 'O' && h[3] == 'R') return Family::Orf;
  if (h[0] == 'I' && h[1] == 'I' && h[2] == 'U' && h[3] == 0) return Family::Rw2;
  if (std::memcmp(h, "FUJIFILMCCD-RAW ", 16) == 0) return Family::Raf;
  return Family::None;
}

struct RafParts {
  uint64_t at[3], len[3];
};

// The RAF's three parts, all inside maxLen; false if the header is not sound.
bool rafParts(View& v, uint64_t maxLen, RafParts& p) {
  uint8_t h[kRafHeader];
  if (maxLen < kRafHeader || !v.read(0, h, sizeof h)) return false;
  for (int i = 0; i < 3; ++i) {
    p.at[i] = be32(h + 84 + 8 * i);
    p.len[i] = be32(h + 88 + 8 * i);
    if (p.len[i] && (p.at[i] < kRafHeader || p.at[i] > maxLen || p.len[i] > maxLen - p.at[i])) return false;
  }
  if (!p.len[0] || !p.len[2]) return false;
  uint8_t soi[3];
  return v.read(p.at[0], soi, 3) && soi[0] == 0xFF && soi[1] == 0xD8 && soi[2] == 0xFF;
}

bool startsWithUpper(const char* s, const char* prefix) {
  for (; *prefix; ++s, ++prefix)
    if ((*s >= 'a' && *s <= 'z' ? *s - 32 : *s) != *prefix) return false;
  return true;
}

TiffWalkOptions ownHeaderOptions(const uint8_t* h, bool le) {
  TiffWalkOptions o;
  o.le = le;
  o.firstIfd = le ? le32(h + 4) : be32(h + 4);
  o.strictFirst = false;
  return o;
}

}  // namespace

Recognition recognizeCameraRaw(View& v, uint64_t maxLen) {
  Recognition r;
  uint8_t h[16] = {};
  if (!v.read(0, h, 8)) return r;
  v.read(8, h + 8, 8);
  bool le;
  switch (family(h, le)) {
    case Family::None:
      // A RAW behind TIFF's own header, asked for as a RAW (a find checked
      // again by its type): TIFF's recogniser tells it, a plain TIFF is none.
      if ((h[0] == 'I' && h[1] == 'I' && h[2] == 42 && h[3] == 0) || (h[0] == 'M' && h[1] == 'M' && h[2] == 0 && h[3] == 42)) {
        r = recognizeTiff(v, maxLen);
        if (r.type != int(PicType::Raw)) return Recognition{};
      }
      return r;
    case Family::Orf:
      r.length = walkTiff(v, maxLen, ownHeaderOptions(h, le), nullptr, nullptr);
      r.ext = "orf";
      break;
    case Family::Rw2: {
      TiffFacts facts;
      r.length = walkTiff(v, maxLen, ownHeaderOptions(h, le), &facts, nullptr);
      r.ext = startsWithUpper(facts.make, "LEICA") ? "rwl" : "rw2";
      break;
    }
    case Family::Raf: {
      RafParts p;
      if (!rafParts(v, maxLen, p)) return r;
      uint64_t end = kRafHeader;
      for (int i = 0; i < 3; ++i) end = std::max(end, p.at[i] + p.len[i]);
      if (!v.has(end - 1)) return r;
      r.length = end;
      r.ext = "raf";
      break;
    }
  }
  if (!r.length) return Recognition{};
  r.shadow = r.length;
  r.type = int(PicType::Raw);
  return r;
}

bool rawBlockStarts(View& v, uint64_t maxLen, std::vector<uint64_t>& starts) {
  uint8_t h[16] = {};
  if (!v.read(0, h, 8)) return false;
  v.read(8, h + 8, 8);
  bool le;
  switch (family(h, le)) {
    case Family::Orf:
    case Family::Rw2:
      return walkTiff(v, maxLen, ownHeaderOptions(h, le), nullptr, &starts) != 0;
    case Family::Raf: {
      RafParts p;
      if (!rafParts(v, maxLen, p)) return false;
      for (int i = 0; i < 3; ++i)
        if (p.len[i]) starts.push_back(p.at[i]);
      return true;
    }
    case Family::None: break;
  }
  if (!((h[0] == 'I' && h[1] == 'I' && h[2] == 42 && h[3] == 0) || (h[0] == 'M' && h[1] == 'M' && h[2] == 0 && h[3] == 42)))
    return false;
  TiffWalkOptions o;
  o.le = h[0] == 'I';
  o.firstIfd = o.le ? le32(h + 4) : be32(h + 4);
  return walkTiff(v, maxLen, o, nullptr, &starts) != 0;
}

}  // namespace qv
