// TIFF, both byte orders: the picture ends at the furthest byte that the
// chain of image directories references (tiff_walk.h), exactly. A TIFF header
// that leads to a camera RAW is told by its header and tags:
//  - "CR", 2 at byte 8 (little-endian only): Canon CR2;
//  - DNGVersion (0xC612) in IFD0: Adobe DNG, whoever made the camera;
//  - otherwise IFD0's Make, and only when some directory holds a raw image
//    (TiffFacts::rawImage; a scanner's RGB TIFF with the same maker's name
//    stays a TIFF):
//      NIKON   -> NEF, or NRW when IFD0's image is JPEG-compressed
//                 (Compression 6): the Coolpix NRW files carry a JPEG
//                 preview in IFD0, NEF an uncompressed RGB thumbnail;
//      SONY    -> ARW, or SR2 for the DSC-R1, the one camera that wrote it;
//      PENTAX, RICOH (Pentax's bodies since 2011) -> PEF;
//      SAMSUNG -> SRW.
// Anything else is a plain TIFF, as before.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "recognizers.h"
#include "tiff_walk.h"

namespace qv {
namespace {

unsigned typeSize(unsigned type) {
  static const unsigned sizes[14] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
  return type < 14 ? sizes[type] : 0;
}

constexpr unsigned kMaxDirectories = 64;
constexpr unsigned kMaxEntries = 1000;
constexpr uint32_t kMaxValues = 1u << 20;

bool rawCompression(unsigned c) {
  return c == 34713 || c == 32767 || c == 32769 || c == 32770 || c == 32772 || c == 65535;
}

class TiffWalker {
 public:
  TiffWalker(View& v, uint64_t maxLen, const TiffWalkOptions& o, TiffFacts* facts, std::vector<uint64_t>* starts)
      : v_(v), maxLen_(maxLen), o_(o), facts_(facts), starts_(starts) {}

  uint64_t walk() {
    queue_.push_back({o_.firstIfd, Kind::Main, 0, o_.le});
    while (!queue_.empty()) {
      Pending p = queue_.back();
      queue_.pop_back();
      const uint64_t at = p.base + p.offset;
      if (std::find(seen_.begin(), seen_.end(), at) != seen_.end()) continue;
      if (seen_.size() >= kMaxDirectories) return 0;
      seen_.push_back(at);
      if (!directory(p)) return 0;
    }
    if (!sawImage_) return 0;
    if (!v_.has(end_ - 1)) return 0;
    return end_;
  }

 private:
  // Main: the IFD0 chain. Sub: a directory with TIFF's tags (SubIFD, Exif,
  // GPS, Nikon's preview). MakerNote: a maker's tags, only its values
  // covered. SonyPrivate: SR2Private, its data block by 0x7200/0x7201.
  enum class Kind { Main, Sub, MakerNote, NikonNote, SonyPrivate };
  struct Pending {
    uint32_t offset;  // from base
    Kind kind;
    uint64_t base;    // where offsets in this directory count from
    bool le;
  };

  uint16_t u16(const uint8_t* p) const { return le_ ? le16(p) : be16(p); }
  uint32_t u32(const uint8_t* p) const { return le_ ? le32(p) : be32(p); }

  bool cover(uint64_t offset, uint64_t size) {
    if (offset > maxLen_ || size > maxLen_ - offset) return false;
    end_ = std::max(end_, offset + size);
    return true;
  }
  bool block(uint64_t offset, uint64_t size) {
    if (!cover(offset, size)) return false;
    if (starts_ && size) starts_->push_back(offset);
    return true;
  }

  // The values of a SHORT or LONG entry (offsets, counts, directories).
  bool values(const uint8_t* e, std::vector<uint32_t>& out) {
    unsigned type = u16(e + 2);
    uint32_t count = u32(e + 4);
    out.clear();
    if ((type != 3 && type != 4 && type != 13) || count == 0 || count > kMaxValues) return false;
    unsigned size = typeSize(type);
    std::vector<uint8_t> raw(size_t(count) * size);
    if (raw.size() <= 4) {
      std::copy(e + 8, e + 8 + raw.size(), raw.begin());
    } else if (!v_.read(base_ + u32(e + 8), raw.data(), raw.size())) {
      return false;
    }
    out.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
      out.push_back(size == 2 ? u16(&raw[i * 2]) : u32(&raw[size_t(i) * 4]));
    return true;
  }
  // A single SHORT or LONG kept in the entry.
  uint32_t single(const uint8_t* e) const {
    unsigned type = u16(e + 2);
    if (u32(e + 4) != 1) return 0;
    return type == 3 ? u16(e + 8) : type == 4 ? u32(e + 8) : 0;
  }
  void ascii(const uint8_t* e, char* out, size_t size) {
    if (u16(e + 2) != 2) return;
    uint32_t count = u32(e + 4);
    size_t n = std::min<size_t>(count, size - 1);
    uint8_t buf[32] = {};
    if (count <= 4) std::memcpy(buf, e + 8, n);
    else if (!v_.read(base_ + u32(e + 8), buf, n)) return;
    for (size_t i = 0; i < n && buf[i]; ++i) out[i] = char(buf[i]);
  }

  bool pairs(const std::vector<uint32_t>& offsets, const std::vector<uint32_t>& counts) {
    if (offsets.empty() || offsets.size() != counts.size()) return false;
    for (size_t i = 0; i < offsets.size(); ++i)
      if (counts[i] && !block(base_ + offsets[i], counts[i])) return false;
    return true;
  }

  // The maker note at `at` (absolute), `count` bytes: its own directory where
  // the maker's layout is public.
  void makerNote(uint64_t at, uint32_t count) {
    if (!o_.makerNotes) return;
    uint8_t h[18];
    if (count >= sizeof h && v_.read(at, h, sizeof h) && std::memcmp(h, "Nikon\0", 6) == 0) {
      const uint8_t* t = h + 10;
      bool le;
      if (t[0] == 'I' && t[1] == 'I' && t[2] == 42 && t[3] == 0) le = true;
      else if (t[0] == 'M' && t[1] == 'M' && t[2] == 0 && t[3] == 42) le = false;
      else return;
      if (starts_) starts_->push_back(at + 10);
      queue_.push_back({le ? le32(t + 4) : be32(t + 4), Kind::NikonNote, at + 10, le});
    } else if (facts_ && std::strncmp(facts_->make, "Canon", 5) == 0 && count >= 14) {
      queue_.push_back({uint32_t(at - base_), Kind::MakerNote, base_, le_});
    }
  }

  bool directory(const Pending& p) {
    base_ = p.base;
    le_ = p.le;
    const bool main = p.kind == Kind::Main;
    const bool standard = p.kind == Kind::Main || p.kind == Kind::Sub;
    const bool strict = main && (o_.strictFirst || seen_.size() > 1);
    // A maker's private directory that cannot be one is passed over.
    const bool lenient = p.kind == Kind::MakerNote || p.kind == Kind::NikonNote || p.kind == Kind::SonyPrivate;
    if (p.offset < 8) return lenient;
    const uint64_t at = base_ + p.offset;
    uint8_t cnt[2];
    if (!v_.read(at, cnt, 2)) return lenient;
    unsigned n = u16(cnt);
    if (n == 0 || n > kMaxEntries) return lenient;
    std::vector<uint8_t> d(12u * n + 4);
    if (!v_.read(at + 2, d.data(), d.size())) return false;
    if (!cover(at, 2 + d.size())) return false;

    std::vector<uint32_t> strips, stripCounts, tiles, tileCounts, list;
    bool width = false, height = false;
    uint32_t jpegAt = 0, jpegLen = 0, sonyAt = 0, sonyLen = 0;
    unsigned compression = 0;
    for (unsigned i = 0; i < n; ++i) {
      const uint8_t* e = &d[12u * i];
      unsigned tag = u16(e), type = u16(e + 2);
      uint32_t count = u32(e + 4);
      unsigned size = typeSize(type);
      if (!size) {
        if (strict) return false;
        continue;  // private directories may use types of their own
      }
      uint64_t bytes = uint64_t(count) * size;
      if (bytes > 4 && !cover(base_ + u32(e + 8), bytes)) return false;
      if (p.kind == Kind::SonyPrivate) {
        if (tag == 0x7200) sonyAt = single(e);
        if (tag == 0x7201) sonyLen = single(e);
        continue;
      }
      if (p.kind == Kind::NikonNote && tag == 0x0011 && (type == 4 || type == 13) && count == 1)
        queue_.push_back({u32(e + 8), Kind::Sub, base_, le_});  // PreviewIFD
      if (!standard) continue;
      switch (tag) {
        case 256: width = count == 1; break;
        case 257: height = count == 1; break;
        case 259: compression = single(e); break;
        case 262: {
          unsigned photometric = single(e);
          if (photometric == 32803 || photometric == 34892) raw_ = true;
          break;
        }
        case 0x828E: raw_ = true; break;  // CFAPattern (TIFF/EP)
        case 273: if (!values(e, strips)) return false; break;
        case 279: if (!values(e, stripCounts)) return false; break;
        case 324: if (!values(e, tiles)) return false; break;
        case 325: if (!values(e, tileCounts)) return false; break;
        case 513: jpegAt = u32(e + 8); break;
        case 514: jpegLen = u32(e + 8); break;
        case 330: case 34665: case 34853: case 40965:
          // More than the directories a file may have cannot end well.
          if (!values(e, list) || list.size() > kMaxDirectories) return false;
          for (uint32_t sub : list) queue_.push_back({sub, Kind::Sub, base_, le_});
          break;
        case 0x927C:
          if (bytes > 4) makerNote(base_ + u32(e + 8), count);
          break;
        case 0x010F: if (main && facts_ && seen_.size() == 1) ascii(e, facts_->make, sizeof facts_->make); break;
        case 0x0110: if (main && facts_ && seen_.size() == 1) ascii(e, facts_->model, sizeof facts_->model); break;
        case 0xC612: if (main && facts_) facts_->dng = true; break;
        case 0xC634:  // Sony's SR2Private: a directory (DNG's private data is bytes)
          if ((type == 4 || type == 13) && count == 1) queue_.push_back({u32(e + 8), Kind::SonyPrivate, base_, le_});
          break;
        default: break;
      }
    }
    if (sonyAt && sonyLen && !block(base_ + sonyAt, sonyLen)) return false;
    if (!standard) return true;
    if (rawCompression(compression)) raw_ = true;
    if (main && seen_.size() == 1 && facts_) facts_->ifd0Compression = compression;
    if (!strips.empty() || !stripCounts.empty()) {
      if (!pairs(strips, stripCounts)) return false;
    }
    if (!tiles.empty() || !tileCounts.empty()) {
      if (!pairs(tiles, tileCounts)) return false;
    }
    if (jpegAt && jpegLen && !block(base_ + jpegAt, jpegLen)) return false;
    // An image: its size and its data in strips or tiles, or as one JPEG
    // (old-style JPEG TIFF, the IFD0 of Nikon's NRW); Panasonic's IFD0 gives
    // its size in tags of its own.
    const bool data = !strips.empty() || !tiles.empty() || (jpegAt && jpegLen);
    bool image = data && ((width && height) || !o_.strictFirst);
    if (main && seen_.size() == 1 && o_.strictFirst && !image) return false;
    sawImage_ = sawImage_ || image;
    if (facts_) facts_->rawImage = facts_->rawImage || raw_;

    uint32_t next = u32(&d[12u * n]);
    if (next && main) queue_.push_back({next, Kind::Main, base_, le_});
    return true;
  }

  View& v_;
  const uint64_t maxLen_;
  const TiffWalkOptions o_;
  TiffFacts* facts_;
  std::vector<uint64_t>* starts_;
  std::vector<Pending> queue_;
  std::vector<uint64_t> seen_;
  uint64_t end_ = 8;
  uint64_t base_ = 0;
  bool le_ = true;
  bool sawImage_ = false;
  bool raw_ = false;
};

bool startsWith(const char* s, const char* prefix) {
  for (; *prefix; ++s, ++prefix)
    if (std::toupper(static_cast<unsigned char>(*s)) != *prefix) return false;
  return true;
}

bool tiffHeader(const uint8_t* h, bool& le) {
  if (h[0] == 'I' && h[1] == 'I' && h[2] == 42 && h[3] == 0) le = true;
  else if (h[0] == 'M' && h[1] == 'M' && h[2] == 0 && h[3] == 42) le = false;
  else return false;
  return true;
}

// The RAW family of a file with a TIFF header; nullptr for a plain TIFF.
const char* tiffRawFamily(const uint8_t* h, const TiffFacts& f) {
  if (h[0] == 'I' && h[8] == 'C' && h[9] == 'R' && h[10] == 2) return "cr2";
  if (f.dng) return "dng";
  if (!f.rawImage) return nullptr;
  if (startsWith(f.make, "NIKON")) return f.ifd0Compression == 6 ? "nrw" : "nef";
  if (startsWith(f.make, "SONY")) return startsWith(f.model, "DSC-R1") ? "sr2" : "arw";
  if (startsWith(f.make, "PENTAX") || startsWith(f.make, "RICOH")) return "pef";
  if (startsWith(f.make, "SAMSUNG")) return "srw";
  return nullptr;
}

}  // namespace

uint64_t walkTiff(View& v, uint64_t maxLen, const TiffWalkOptions& o, TiffFacts* facts,
                  std::vector<uint64_t>* starts) {
  TiffFacts own;
  return TiffWalker(v, maxLen, o, facts ? facts : &own, starts).walk();
}

Recognition recognizeTiff(View& v, uint64_t maxLen) {
  Recognition r;
  uint8_t h[16] = {};
  if (!v.read(0, h, 8)) return r;
  bool le;
  if (!tiffHeader(h, le)) return r;
  v.read(8, h + 8, 8);  // CR2's marker, when there is one
  TiffWalkOptions o;
  o.le = le;
  o.firstIfd = le ? le32(h + 4) : be32(h + 4);
  TiffFacts facts;
  r.length = r.shadow = walkTiff(v, maxLen, o, &facts, nullptr);
  if (r.length) {
    if (const char* ext = tiffRawFamily(h, facts)) {
      r.type = int(PicType::Raw);
      r.ext = ext;
    }
  }
  return r;
}

}  // namespace qv
