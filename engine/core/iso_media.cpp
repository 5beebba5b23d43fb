#include "iso_media.h"

#include <algorithm>
#include <cstring>

#include "signature.h"

namespace qv {
namespace {

constexpr uint32_t fourcc(const char (&s)[5]) {
  return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 | uint32_t(uint8_t(s[2])) << 8 |
         uint8_t(s[3]);
}

// ftyp: 8 bytes of box header, major brand, minor version, 4 bytes a
// compatible brand. A real one lists a handful.
constexpr uint32_t kMinFtyp = 16, kMaxFtyp = 4096;
constexpr int kMaxTopBoxes = 4096;
// Boxes looked at inside meta and moov, and how deep.
constexpr int kMaxInnerBoxes = 4096;
constexpr int kMaxDepth = 8;

enum class Family { None, Heic, Avif, Cr3, Heif };  // Heif: the codec decides

Family brandFamily(uint32_t b) {
  switch (b) {
    case fourcc("crx "): return Family::Cr3;
    case fourcc("heic"): case fourcc("heix"): case fourcc("heim"): case fourcc("heis"):
    case fourcc("hevc"): case fourcc("hevx"): return Family::Heic;
    case fourcc("avif"): case fourcc("avis"): return Family::Avif;
    case fourcc("mif1"): case fourcc("msf1"): case fourcc("miaf"): return Family::Heif;
    default: return Family::None;
  }
}

// The major brand; when that says only "HEIF", a compatible brand that
// names the codec (a `mif1` file that lists `heic` is a HEIC). A video's
// brand (isom, mp42, qt) is not ours, whatever it lists.
Family familyOf(const uint8_t* ftyp, uint32_t size) {
  const Family major = brandFamily(be32(ftyp + 8));
  if (major != Family::Heif) return major;
  for (uint32_t o = 16; o + 4 <= size; o += 4) {
    const Family c = brandFamily(be32(ftyp + o));
    if (c == Family::Heic || c == Family::Avif) return c;
  }
  return major;
}

bool printable(const uint8_t* t) {
  for (int i = 0; i < 4; ++i)
    if (t[i] < 0x20 || t[i] > 0x7E) return false;
  return true;
}

bool topLevel(uint32_t t) {
  switch (t) {
    case fourcc("meta"): case fourcc("moov"): case fourcc("mdat"): case fourcc("free"): case fourcc("skip"):
    case fourcc("uuid"): case fourcc("wide"): case fourcc("pdin"): case fourcc("moof"): case fourcc("mfra"):
    case fourcc("sidx"): case fourcc("prft"): case fourcc("emsg"): case fourcc("meco"): case fourcc("styp"):
      return true;
    default: return false;
  }
}

struct Box {
  uint32_t type = 0;
  uint64_t size = 0;    // header included
  uint64_t header = 8;  // 16 with a 64-bit size
};

enum class Read { Ok, NoBox, CutShort };

// The box at o, which must end by end. A size of 0 (to the end of the file)
// only when toEnd. CutShort: a sound header whose box reaches past end or
// past the bytes there are.
Read readBox(View& v, uint64_t o, uint64_t end, bool toEnd, Box& b) {
  if (o >= end || end - o < 8) return Read::NoBox;
  uint8_t h[16];
  if (!v.read(o, h, 8) || !printable(h + 4)) return Read::NoBox;
  b.type = be32(h + 4);
  b.header = 8;
  uint64_t size = be32(h);
  if (size == 1) {
    if (end - o < 16 || !v.read(o + 8, h + 8, 8)) return Read::NoBox;
    size = uint64_t(be32(h + 8)) << 32 | be32(h + 12);
    b.header = 16;
    if (size < 16) return Read::NoBox;
  } else if (size == 0) {
    if (!toEnd) return Read::NoBox;
    size = end - o;
  } else if (size < 8) {
    return Read::NoBox;
  }
  // Refused before anything of it is read.
  if (size > end - o) return Read::CutShort;
  b.size = size;
  if (!v.has(o + size - 1)) return Read::CutShort;
  return Read::Ok;
}

enum Codec : unsigned { kHevc = 1, kAv1 = 2 };

struct Inner {
  int boxes = 0;
  unsigned codecs = 0;
  bool pictHandler = false;
};

// Boxes whose contents are boxes, and how many bytes come before them.
int childrenAt(uint32_t t) {
  switch (t) {
    case fourcc("meta"): return 4;   // version and flags
    case fourcc("stsd"): return 8;   // version, flags, entry count
    case fourcc("iprp"): case fourcc("ipco"): case fourcc("moov"): case fourcc("trak"): case fourcc("mdia"):
    case fourcc("minf"): case fourcc("stbl"): case fourcc("dinf"): case fourcc("edts"): case fourcc("mvex"):
    case fourcc("grpl"): return 0;
    default: return -1;
  }
}

// The boxes in [o, end) chain exactly to end; notes the codecs they name.
bool soundChildren(View& v, uint64_t o, uint64_t end, int depth, Inner& in) {
  if (depth > kMaxDepth) return false;
  while (o < end) {
    Box b;
    if (++in.boxes > kMaxInnerBoxes || readBox(v, o, end, false, b) != Read::Ok) return false;
    switch (b.type) {
      case fourcc("hvcC"): case fourcc("hvc1"): case fourcc("hev1"): in.codecs |= kHevc; break;
      case fourcc("av1C"): case fourcc("av01"): in.codecs |= kAv1; break;
      case fourcc("hdlr"): {
        uint8_t h[4];
        // version/flags, pre_defined, then the handler type
        if (b.size >= b.header + 12 && v.read(o + b.header + 8, h, 4) && be32(h) == fourcc("pict"))
          in.pictHandler = true;
        break;
      }
      default: break;
    }
    const int skip = childrenAt(b.type);
    if (skip >= 0) {
      if (b.size < b.header + uint64_t(skip)) return false;
      if (!soundChildren(v, o + b.header + uint64_t(skip), o + b.size, depth + 1, in)) return false;
    }
    o += b.size;
  }
  return o == end;
}

Recognition walk(View& v, uint64_t maxLen, bool endKnown) {
  uint8_t ftyp[kMaxFtyp];
  Box first;
  if (readBox(v, 0, maxLen, false, first) != Read::Ok || first.type != fourcc("ftyp") || first.header != 8 ||
      first.size < kMinFtyp || first.size > kMaxFtyp || first.size % 4 || !v.read(0, ftyp, size_t(first.size)))
    return {};
  const Family family = familyOf(ftyp, uint32_t(first.size));
  if (family == Family::None) return {};

  Inner in;
  bool meta = false, moov = false, mdat = false;
  uint64_t o = first.size;
  for (int n = 0; n < kMaxTopBoxes; ++n) {
    Box b;
    const Read r = readBox(v, o, maxLen, endKnown, b);
    if (r == Read::NoBox || !topLevel(b.type)) break;
    if (r == Read::CutShort) return {};
    if (b.type == fourcc("meta") || b.type == fourcc("moov")) {
      bool& seen = b.type == fourcc("meta") ? meta : moov;
      if (seen) break;  // a file has one: this is another file's
      seen = true;
      if (!soundChildren(v, o + b.header + (b.type == fourcc("meta") ? 4 : 0), o + b.size, 1, in)) return {};
    }
    if (b.type == fourcc("mdat")) {
      mdat = true;
      // Not for CR3: how Canon lays out its tracks in mdat is not known well
      // enough to rule out padding.
      if (family != Family::Cr3 && zeroSectorIn(v, o + b.header, o + b.size)) return {};
    }
    o += b.size;
  }
  if (!mdat) return {};

  Recognition out;
  out.length = o;
  switch (family) {
    case Family::Cr3:
      if (!moov) return {};
      out.type = int(PicType::Raw);
      out.ext = "cr3";
      return out;
    case Family::Heif:
      if (in.codecs == kHevc) out.type = int(PicType::Heic);
      else if (in.codecs == kAv1) out.type = int(PicType::Avif);
      else return {};  // another codec, or both: not a HEIC nor an AVIF
      break;
    case Family::Heic: out.type = int(PicType::Heic); break;
    case Family::Avif: out.type = int(PicType::Avif); break;
    case Family::None: return {};
  }
  // A still picture's meta says "pict"; a sequence has its tracks in moov.
  if (!(meta && in.pictHandler) && !moov) return {};
  return out;
}

}  // namespace

// HEVC's start-code emulation prevention, AV1's and VP8's arithmetic coding
// leave no zero sector; a file written only so far, the rest of its clusters
// left zero, has one.
bool zeroSectorIn(View& v, uint64_t from, uint64_t to) {
  static const uint8_t zeros[kSectorSize] = {};
  for (uint64_t s = (from + kSectorSize - 1) / kSectorSize * kSectorSize; s + kSectorSize <= to; s += kSectorSize) {
    size_t avail = 0;
    const uint8_t* p = v.at(s, avail);
    if (!p) return false;
    if (std::memcmp(p, zeros, std::min<size_t>(avail, 16)) != 0) continue;
    uint8_t sector[kSectorSize];
    if (v.read(s, sector, sizeof sector) && std::memcmp(sector, zeros, sizeof sector) == 0) return true;
  }
  return false;
}

int isoMediaType(const uint8_t* p, unsigned mask) {
  constexpr unsigned iso = typeBit(PicType::Raw) | typeBit(PicType::Heic) | typeBit(PicType::Avif);
  if (!(mask & iso) || std::memcmp(p + kIsoTypeAt, "ftyp", 4) != 0) return -1;
  const uint32_t size = be32(p);
  if (size < kMinFtyp || size > kMaxFtyp || size % 4) return -1;
  switch (familyOf(p, uint32_t(std::min<size_t>(size, kSignatureBytes)))) {
    case Family::Cr3: return int(PicType::Raw);
    case Family::Heic: return int(PicType::Heic);
    case Family::Avif: return int(PicType::Avif);
    case Family::Heif: return int(mask & typeBit(PicType::Heic) || !(mask & typeBit(PicType::Avif)) ? PicType::Heic : PicType::Avif);
    case Family::None: return -1;
  }
  return -1;
}

Recognition recognizeIsoMedia(View& v, uint64_t maxLen) { return walk(v, maxLen, false); }

Recognition recognizeIsoMediaFile(View& v, uint64_t fileSize) { return walk(v, fileSize, true); }

}  // namespace qv
