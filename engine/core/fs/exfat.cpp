#include "exfat.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <set>

#include "../view.h"

namespace qv {
namespace {

constexpr size_t kEntry = 32;
constexpr uint64_t kMaxReadDir = 8 << 20;     // what is read of one directory
constexpr unsigned kMaxDirs = 1 << 16;
constexpr unsigned kMaxDepth = 64;

enum : uint8_t { kFile = 0x05, kStream = 0x40, kName = 0x41, kInUse = 0x80 };

struct Dir {
  std::vector<Extent> extents;
  bool deleted = false;
  unsigned depth = 0;
  std::string folder = "\\";
};

class ExfatVolume {
 public:
  ExfatVolume(DiskReader& disk, const Volume& vol, const RecordOut& out) : disk_(disk), vol_(vol), out_(out) {}

  bool parse() {
    uint8_t b[512];
    if (!bootSector(b)) return false;
    const unsigned bpsShift = b[108], spcShift = b[109];
    const uint64_t bps = uint64_t(1) << bpsShift;
    clusterBytes_ = bps << spcShift;
    fatAt_ = vol_.offset + le32(b + 80) * bps;
    const uint64_t fatBytes = le32(b + 84) * bps;
    dataAt_ = vol_.offset + le32(b + 88) * bps;
    clusters_ = le32(b + 92);
    if (clusters_ > fatBytes / 4 - 2 || fatBytes < 12) clusters_ = uint32_t(fatBytes >= 12 ? fatBytes / 4 - 2 : 0);
    if (!clusters_ || dataAt_ >= vol_.offset + vol_.size) return false;
    dataEnd_ = std::min(vol_.offset + vol_.size, dataAt_ + uint64_t(clusters_) * clusterBytes_);
    Dir root;
    root.extents = chain(le32(b + 96), kMaxReadDir);
    walk(root);
    return true;
  }

 private:
  static bool soundBoot(const uint8_t* b) {
    const unsigned bpsShift = b[108], spcShift = b[109];
    return std::memcmp(b + 3, "EXFAT   ", 8) == 0 && b[510] == 0x55 && b[511] == 0xAA && bpsShift >= 9 &&
           bpsShift <= 12 && spcShift <= 25 - bpsShift;
  }

  // The main boot sector, or, when it cannot be read, the backup boot
  // sector: the first of the backup boot region, 12 sectors on, whose size
  // the backup itself must say (512 to 4096 bytes).
  bool bootSector(uint8_t* b) {
    if (vol_.size < 512 || !disk_.read(vol_.offset, b, 512)) return false;
    if (soundBoot(b)) return true;
    if (!disk_.unreadable(vol_.offset, 512)) return false;
    for (unsigned shift = 9; shift <= 12; ++shift) {
      const uint64_t at = uint64_t(12) << shift;
      if (at + 512 > vol_.size || !disk_.read(vol_.offset + at, b, 512) || disk_.unreadable(vol_.offset + at, 512))
        continue;
      if (soundBoot(b) && b[108] == shift) return true;
    }
    return false;
  }

  bool validCluster(uint32_t c) const { return c >= 2 && uint64_t(c) < uint64_t(clusters_) + 2; }
  uint64_t clusterAt(uint32_t c) const { return dataAt_ + uint64_t(c - 2) * clusterBytes_; }

  uint32_t next(uint32_t c) {
    uint8_t e[4];
    return disk_.read(fatAt_ + uint64_t(c) * 4, e, 4) ? le32(e) : 0;
  }

  // The runs of the FAT chain from first up to `bytes`; shorter if the
  // chain ends or leaves the volume first.
  std::vector<Extent> chain(uint32_t c, uint64_t bytes) {
    std::vector<Extent> runs;
    uint64_t have = 0;
    for (uint32_t steps = 0; have < bytes && steps <= clusters_ && validCluster(c); ++steps) {
      const uint64_t at = clusterAt(c), take = std::min(clusterBytes_, bytes - have);
      if (at + take > dataEnd_) break;
      if (!runs.empty() && runs.back().offset + runs.back().length == at)
        runs.back().length += take;
      else
        runs.push_back(Extent{at, take});
      have += take;
      if (have < bytes) c = next(c);
    }
    return runs;
  }

  static uint64_t total(const std::vector<Extent>& runs) {
    uint64_t n = 0;
    for (const Extent& e : runs) n += e.length;
    return n;
  }

  std::vector<Extent> contiguous(uint32_t first, uint64_t bytes) const {
    if (!validCluster(first) || clusterAt(first) >= dataEnd_ || bytes > dataEnd_ - clusterAt(first)) return {};
    return {Extent{clusterAt(first), bytes}};
  }

  std::vector<Extent> dataOf(uint32_t first, uint64_t bytes, bool noChain, bool deleted) {
    if (noChain) return contiguous(first, bytes);
    std::vector<Extent> runs = chain(first, bytes);
    if (total(runs) == bytes) return runs;
    return deleted ? contiguous(first, bytes) : std::vector<Extent>{};
  }

  void walk(const Dir& root) {
    std::deque<Dir> todo{root};
    for (unsigned n = 0; !todo.empty() && n < kMaxDirs; ++n) {
      Dir d = std::move(todo.front());
      todo.pop_front();
      std::vector<uint8_t> bytes;
      for (const Extent& e : d.extents) {
        const size_t at = bytes.size();
        const size_t k = size_t(std::min<uint64_t>(e.length, kMaxReadDir - at));
        bytes.resize(at + k);
        if (!disk_.read(e.offset, bytes.data() + at, k)) bytes.resize(at);
        if (bytes.size() >= kMaxReadDir) break;
      }
      entries(bytes, d, todo);
    }
  }

  static FileTime modified(const uint8_t* file) {
    const uint32_t ts = le32(file + 12);
    const uint8_t tenMs = file[21], utc = file[23];
    FileTime t = wallClockTime(1980 + int(ts >> 25), ts >> 21 & 15, ts >> 16 & 31, ts >> 11 & 31, ts >> 5 & 63,
                               (ts & 31) * 2 + (tenMs >= 100 && tenMs < 200), tenMs % 100);
    if (t.ticks && (utc & 0x80)) {
      // Seven bits, signed, in quarters of an hour east of UTC.
      const int quarters = (utc & 0x40) ? int(utc & 0x7F) - 128 : int(utc & 0x7F);
      t.ticks -= int64_t(quarters) * 15 * 60 * 10000000;
      t.local = false;
    }
    return t;
  }

  // Entry sets: a file entry, its stream extension, then its name entries.
  // Deleted sets keep their layout with the in-use bits cleared.
  void entries(const std::vector<uint8_t>& dir, const Dir& d, std::deque<Dir>& todo) {
    const size_t count = dir.size() / kEntry;
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* f = dir.data() + i * kEntry;
      if (f[0] == 0x00) break;  // end of directory
      if ((f[0] & 0x7F) != kFile) continue;
      const bool live = f[0] & kInUse;
      const unsigned secondaries = f[1];
      if (secondaries < 2 || i + secondaries >= count) continue;
      const uint8_t* s = f + kEntry;
      if ((s[0] & 0x7F) != kStream || bool(s[0] & kInUse) != live) continue;
      const unsigned nameLen = s[3];
      const unsigned nameEntries = (nameLen + 14) / 15;
      if (!nameLen || nameEntries > secondaries - 1) continue;
      std::vector<uint16_t> units;
      bool named = true;
      for (unsigned k = 0; k < nameEntries && named; ++k) {
        const uint8_t* n = f + (2 + k) * kEntry;
        named = (n[0] & 0x7F) == kName && bool(n[0] & kInUse) == live;
        for (unsigned c = 0; named && c < 15 && units.size() < nameLen; ++c) units.push_back(le16(n + 2 + 2 * c));
      }
      if (!named) continue;
      std::string name = utf16ToUtf8(units.data(), units.size());
      const bool noChain = s[1] & 0x02;
      const uint32_t first = le32(s + 20);
      const uint64_t size = le64(s + 24);
      const bool gone = !live || d.deleted;
      i += secondaries;
      if (le16(f + 4) & 0x10) {
        if (d.depth < kMaxDepth && size && validCluster(first) && seenDirs_.insert(first).second) {
          Dir sub;
          sub.deleted = gone;
          sub.depth = d.depth + 1;
          sub.folder = subFolder(d.folder, name);
          sub.extents = dataOf(first, std::min(size, kMaxReadDir), noChain, gone);
          todo.push_back(std::move(sub));
        }
        continue;
      }
      if (!size || !hasPictureExtension(name)) continue;
      FileRecord r;
      r.name = std::move(name);
      r.size = size;
      r.mtime = modified(f);
      r.deleted = gone;
      r.folder = d.folder;
      r.extents = dataOf(first, size, noChain, gone);
      if (!r.extents.empty()) out_(std::move(r));
    }
  }

  DiskReader& disk_;
  const Volume vol_;
  const RecordOut& out_;
  uint64_t clusterBytes_ = 0;
  uint64_t fatAt_ = 0, dataAt_ = 0, dataEnd_ = 0;
  uint32_t clusters_ = 0;
  std::set<uint32_t> seenDirs_;
};

}  // namespace

bool readExfatVolume(DiskReader& disk, const Volume& vol, const RecordOut& out) {
  return ExfatVolume(disk, vol, out).parse();
}

}  // namespace qv
