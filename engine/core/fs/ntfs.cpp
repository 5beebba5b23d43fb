#include "ntfs.h"

#include <algorithm>
#include <cstring>

#include "../view.h"

namespace qv {
namespace {

constexpr size_t kStride = 512;
constexpr size_t kMaxRuns = 1 << 16;
constexpr uint64_t kMaxRecords = uint64_t(1) << 28;
constexpr uint64_t kRootRecord = 5;
constexpr unsigned kMaxDepth = 64;
// What is kept of the directories for the pictures' folders, and how many
// pictures wait for them; a volume with more is not one a camera made.
constexpr size_t kMaxDirs = 1 << 20;
constexpr size_t kMaxDirNameBytes = 64 << 20;
constexpr size_t kMaxPending = 1 << 20;
constexpr uint64_t kRecordBits = 0x0000FFFFFFFFFFFF;
// Records the $MFTMirr always holds: $MFT, $MFTMirr, $LogFile, $Volume.
constexpr uint64_t kMirrorRecords = 4;

enum : uint32_t { kStandardInformation = 0x10, kFileName = 0x30, kData = 0x80, kEnd = 0xFFFFFFFF };

bool powerOfTwo(uint64_t v) { return v && !(v & (v - 1)); }

uint64_t total(const std::vector<Extent>& runs) {
  uint64_t n = 0;
  for (const Extent& e : runs) n += e.length;
  return n;
}

// The first `size` bytes of the runs; bytes from `valid` on were never
// written and read as zeros.
std::vector<Extent> clip(const std::vector<Extent>& runs, uint64_t size, uint64_t valid) {
  std::vector<Extent> out;
  uint64_t pos = 0;
  for (const Extent& e : runs) {
    if (pos >= size) break;
    Extent part = e;
    part.length = std::min(e.length, size - pos);
    if (!part.sparse && pos + part.length > valid) {
      const uint64_t keep = valid > pos ? valid - pos : 0;
      if (keep) out.push_back(Extent{part.offset, keep, false});
      out.push_back(Extent{0, part.length - keep, true});
    } else {
      out.push_back(part);
    }
    pos += part.length;
  }
  return out;
}

struct Parsed {
  bool picture = false;
  bool directory = false;
  uint64_t parent = 0;  // reference of the folder it is in: record number, sequence number above
  FileRecord record;
};

// A directory's record, in use or not, for the folders of the files in it.
struct DirRecord {
  uint64_t number = 0;
  uint64_t parent = 0;
  uint32_t nameAt = 0, nameLen = 0;  // in the names' pool
  uint16_t sequence = 0;
  bool inUse = false;
};

struct Pending {
  FileRecord record;
  uint64_t parent;
};

class NtfsVolume {
 public:
  NtfsVolume(DiskReader& disk, const Volume& vol, const RecordOut& out) : disk_(disk), vol_(vol), out_(out) {}

  bool parse() {
    uint8_t b[512];
    if (vol_.size < sizeof b || !disk_.read(vol_.offset, b, sizeof b)) return false;
    if (std::memcmp(b + 3, "NTFS    ", 8) != 0) return false;
    const uint64_t bps = le16(b + 11);
    const uint8_t spcRaw = b[13];
    // Above 0x80 the byte is a negative power of two (clusters over 64 KiB).
    const uint64_t spc = spcRaw <= 0x80 ? spcRaw : (256 - spcRaw <= 12 ? uint64_t(1) << (256 - spcRaw) : 0);
    if (bps < 256 || bps > 4096 || !powerOfTwo(bps) || !powerOfTwo(spc)) return false;
    clusterBytes_ = bps * spc;
    const uint64_t sectors = le64(b + 40);
    const uint64_t bytes = std::min(vol_.size, sectors < (uint64_t(1) << 52) ? sectors * bps : vol_.size);
    clusters_ = bytes / clusterBytes_;
    const int8_t recRaw = int8_t(b[64]);
    recordSize_ = recRaw > 0 ? uint64_t(recRaw) * clusterBytes_ : (recRaw > -32 ? uint64_t(1) << -recRaw : 0);
    if (!clusters_ || recordSize_ < kStride || recordSize_ > 65536 || !powerOfTwo(recordSize_)) return false;
    const uint64_t mftLcn = le64(b + 48);
    if (mftLcn >= clusters_) return false;

    // The $MFTMirr holds a copy of the first records, for when the $MFT's
    // own cannot be read.
    const uint64_t mirrorLcn = le64(b + 56);
    if (mirrorLcn && mirrorLcn < clusters_ && kMirrorRecords * recordSize_ <= (clusters_ - mirrorLcn) * clusterBytes_)
      mirror_ = vol_.offset + mirrorLcn * clusterBytes_;

    // The $MFT's own record, the first one, says where the rest of it is.
    std::vector<uint8_t> rec(recordSize_);
    mft_.push_back(Extent{vol_.offset + mftLcn * clusterBytes_, recordSize_, false});
    if (!readRecord(0, rec.data())) return false;
    Parsed self = parseRecord(rec.data(), 0);
    if (self.record.extents.empty() || self.record.extents.front().sparse) return true;
    mft_ = self.record.extents;
    // Only records in the written part of the $MFT: no stretch of a disk
    // that a damaged run list names is read as records.
    uint64_t written = 0;
    for (const Extent& e : mft_) {
      if (e.sparse) break;
      written += e.length;
    }
    const uint64_t records = std::min(written / recordSize_, kMaxRecords);
    std::vector<Pending> pending;
    for (uint64_t i = 1; i < records; ++i) {
      if (!readRecord(i, rec.data())) continue;
      Parsed p = parseRecord(rec.data(), i * recordSize_);
      if (p.directory) keepDir(i, rec.data(), p);
      if (!p.picture) continue;
      // A file's folder is known only once every directory has been seen.
      if (pending.size() < kMaxPending)
        pending.push_back(Pending{std::move(p.record), p.parent});
      else
        out_(std::move(p.record));
    }
    for (Pending& f : pending) {
      f.record.folder = folderOf(f.parent);
      out_(std::move(f.record));
    }
    return true;
  }

 private:
  // Record i of the $MFT, fixed up: from the $MFT, or for the first ones
  // from the mirror when the $MFT's copy cannot be read (a bad sector reads
  // as zeros) or does not check.
  bool readRecord(uint64_t i, uint8_t* rec) {
    fromMirror_ = false;
    if (readMft(i * recordSize_, rec, size_t(recordSize_)) && applyFixups(rec, size_t(recordSize_))) return true;
    if (!mirror_ || i >= kMirrorRecords) return false;
    fromMirror_ = true;
    return disk_.read(mirror_ + i * recordSize_, rec, size_t(recordSize_)) && applyFixups(rec, size_t(recordSize_));
  }

  // Bytes of the $MFT by their position in it.
  bool readMft(uint64_t pos, uint8_t* buf, size_t n) {
    uint64_t start = 0;
    for (const Extent& e : mft_) {
      while (n && pos >= start && pos < start + e.length) {
        if (e.sparse) return false;
        const size_t k = size_t(std::min<uint64_t>(n, start + e.length - pos));
        if (!disk_.read(e.offset + (pos - start), buf, k)) return false;
        buf += k, pos += k, n -= k;
      }
      if (!n) return true;
      start += e.length;
    }
    return false;
  }

  uint64_t mftDiskOffset(uint64_t pos) const {
    uint64_t start = 0;
    for (const Extent& e : mft_) {
      if (pos < start + e.length) return e.sparse ? 0 : e.offset + (pos - start);
      start += e.length;
    }
    return 0;
  }

  void keepDir(uint64_t number, const uint8_t* r, const Parsed& p) {
    const std::string& name = p.record.name;
    if (dirs_.size() >= kMaxDirs || name.empty() || names_.size() + name.size() > kMaxDirNameBytes) return;
    DirRecord d;
    d.number = number;
    d.parent = p.parent;
    d.nameAt = uint32_t(names_.size());
    d.nameLen = uint32_t(name.size());
    d.sequence = le16(r + 16);
    d.inUse = !p.record.deleted;
    names_ += name;
    dirs_.push_back(d);  // in record order: sorted by number
  }

  // Freeing a record counts its sequence number up (skipping 0), so a
  // deleted folder's record is one ahead of the references its files keep.
  // Another step means the record was reused since. 0 in a reference is
  // not checked.
  static bool sameDir(const DirRecord& d, uint16_t seq) {
    if (seq == 0 || d.sequence == seq) return true;
    return !d.inUse && d.sequence == (seq == 0xFFFF ? 1 : seq + 1);
  }

  // The folder from the root, "\?\..." where the chain of parents breaks
  // (a record reused or lost, a loop, deeper than 64), "" if not even the
  // nearest folder is known.
  std::string folderOf(uint64_t ref) {
    if (ref == lastRef_ && !lastFolder_.empty()) return lastFolder_;
    std::vector<const DirRecord*> chain;
    bool rooted = false;
    for (uint64_t at = ref;;) {
      if ((at & kRecordBits) == kRootRecord) {
        rooted = true;
        break;
      }
      if (chain.size() == kMaxDepth) break;
      const uint64_t number = at & kRecordBits;
      auto it = std::lower_bound(dirs_.begin(), dirs_.end(), number,
                                 [](const DirRecord& d, uint64_t n) { return d.number < n; });
      if (it == dirs_.end() || it->number != number || !sameDir(*it, uint16_t(at >> 48))) break;
      chain.push_back(&*it);
      at = it->parent;
    }
    std::string folder = rooted ? "\\" : chain.empty() ? "" : "\\?";
    for (size_t i = chain.size(); i-- > 0;) folder = subFolder(folder, names_.substr(chain[i]->nameAt, chain[i]->nameLen));
    lastRef_ = ref;
    lastFolder_ = folder;
    return folder;
  }

  // One record, fixed up; `at` is its position in the $MFT.
  Parsed parseRecord(const uint8_t* r, uint64_t at) {
    Parsed p;
    const uint16_t flags = le16(r + 22);
    if (le64(r + 32) & kRecordBits) return p;  // part of another record
    p.directory = flags & 0x02;
    FileRecord& f = p.record;
    f.deleted = !(flags & 0x01);
    const size_t used = std::min<size_t>(le32(r + 24), recordSize_);
    int nameSpace = -1;
    bool data = false, usable = true;
    FileTime named;
    for (size_t a = le16(r + 20), n = 0; a + 16 <= used && n < recordSize_ / 16; ++n) {
      const uint32_t type = le32(r + a), len = le32(r + a + 4);
      if (type == kEnd || len < 16 || len > used - a || len % 8) break;
      const uint8_t* h = r + a;
      const bool nonResident = h[8];
      const uint8_t attrNameLen = h[9];
      const uint8_t* value = nullptr;
      uint32_t valueLen = 0;
      if (!nonResident && len >= 24) {
        valueLen = le32(h + 16);
        const uint16_t off = le16(h + 20);
        if (off <= len && valueLen <= len - off) value = h + off;
      }
      if (type == kStandardInformation && value && valueLen >= 16) {
        f.mtime = FileTime{int64_t(le64(value + 8)), false};
      } else if (type == kFileName && value && valueLen >= 66) {
        const unsigned chars = value[64], ns = value[65];
        // The 8.3 name (name space 2) only when there is no other.
        if (66 + 2 * chars <= valueLen && chars && (nameSpace < 0 || (nameSpace == 2 && ns != 2))) {
          std::vector<uint16_t> units(chars);
          for (unsigned c = 0; c < chars; ++c) units[c] = le16(value + 66 + 2 * c);
          f.name = utf16ToUtf8(units.data(), units.size());
          p.parent = le64(value);
          nameSpace = ns;
          named = FileTime{int64_t(le64(value + 16)), false};
        }
      } else if (type == kData && attrNameLen == 0 && !data) {
        data = true;
        usable = dataOf(h, len, value, valueLen, at + a, f);
      }
      a += len;
    }
    if (!f.mtime.ticks) f.mtime = named;
    p.picture = !p.directory && data && usable && !f.name.empty() && f.size && hasPictureExtension(f.name);
    return p;
  }

  bool dataOf(const uint8_t* h, uint32_t len, const uint8_t* value, uint32_t valueLen, uint64_t at, FileRecord& f) {
    const uint16_t flags = le16(h + 12);
    if ((flags & 0x00FF) || (flags & 0x4000)) return false;  // compressed or encrypted
    if (!h[8]) {
      if (!value) return false;
      f.size = valueLen;
      f.resident.assign(value, value + valueLen);
      f.residentAt = fromMirror_ ? mirror_ + at + uint64_t(value - h) : mftDiskOffset(at + uint64_t(value - h));
      return f.residentAt != 0;
    }
    if (len < 64) return false;
    const uint64_t firstVcn = le64(h + 16);
    const uint16_t runsAt = le16(h + 32);
    const uint64_t real = le64(h + 48), valid = le64(h + 56);
    if (firstVcn != 0 || runsAt >= len) return false;
    std::vector<Extent> runs;
    if (!decodeRuns(h + runsAt, len - runsAt, clusterBytes_, clusters_, vol_.offset, runs)) return false;
    // Runs shorter than the size: the rest is listed in another record (an
    // attribute list). Only the $MFT's own first runs are of use then.
    if (total(runs) < real) {
      f.extents = runs;
      return false;
    }
    f.size = real;
    f.extents = clip(runs, real, std::min(valid, real));
    return !f.extents.empty() && !f.extents.front().sparse;
  }

  DiskReader& disk_;
  const Volume vol_;
  const RecordOut& out_;
  uint64_t clusterBytes_ = 0, clusters_ = 0, recordSize_ = 0;
  std::vector<Extent> mft_;
  uint64_t mirror_ = 0;  // the $MFTMirr's disk offset; 0: none
  bool fromMirror_ = false;  // the record being parsed came from it
  std::vector<DirRecord> dirs_;
  std::string names_;
  uint64_t lastRef_ = 0;
  std::string lastFolder_;
};

}  // namespace

bool readNtfsVolume(DiskReader& disk, const Volume& vol, const RecordOut& out) {
  return NtfsVolume(disk, vol, out).parse();
}

bool applyFixups(uint8_t* rec, size_t size) {
  if (size < kStride || size % kStride || std::memcmp(rec, "FILE", 4) != 0) return false;
  const size_t usa = le16(rec + 4), count = le16(rec + 6);
  if (count != size / kStride + 1 || usa % 2 || usa < 8 || usa + 2 * count > size) return false;
  for (size_t i = 1; i < count; ++i) {
    uint8_t* tail = rec + i * kStride - 2;
    if (tail[0] != rec[usa] || tail[1] != rec[usa + 1]) return false;
    tail[0] = rec[usa + 2 * i];
    tail[1] = rec[usa + 2 * i + 1];
  }
  return true;
}

bool decodeRuns(const uint8_t* p, size_t n, uint64_t clusterBytes, uint64_t clusters, uint64_t volumeStart,
                std::vector<Extent>& runs) {
  int64_t lcn = 0;
  size_t i = 0;
  while (i < n && p[i] != 0) {
    const unsigned lenSize = p[i] & 15, offSize = p[i] >> 4;
    if (!lenSize || lenSize > 8 || offSize > 8 || n - i - 1 < lenSize + offSize || runs.size() >= kMaxRuns)
      return false;
    uint64_t length = 0;
    for (unsigned k = lenSize; k-- > 0;) length = length << 8 | p[i + 1 + k];
    if (!length || length > clusters) return false;
    if (!offSize) {
      runs.push_back(Extent{0, length * clusterBytes, true});
    } else {
      uint64_t raw = 0;
      for (unsigned k = offSize; k-- > 0;) raw = raw << 8 | p[i + 1 + lenSize + k];
      if (offSize < 8 && (raw >> (8 * offSize - 1)) & 1) raw |= ~uint64_t(0) << (8 * offSize);  // sign
      const int64_t delta = int64_t(raw);
      if ((delta > 0 && lcn > INT64_MAX - delta) || (delta < 0 && lcn < INT64_MIN - delta)) return false;
      lcn += delta;
      if (lcn < 0 || uint64_t(lcn) > clusters || length > clusters - uint64_t(lcn)) return false;
      runs.push_back(Extent{volumeStart + uint64_t(lcn) * clusterBytes, length * clusterBytes, false});
    }
    i += 1 + lenSize + offSize;
  }
  return i < n;  // the list ends with a zero byte
}

}  // namespace qv
