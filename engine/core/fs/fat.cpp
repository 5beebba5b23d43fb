#include "fat.h"

#include <algorithm>
#include <deque>
#include <set>

#include "../signature.h"
#include "../view.h"

namespace qv {
namespace {

constexpr size_t kEntry = 32;
constexpr uint64_t kMaxDirBytes = 65536 * kEntry;  // the most entries a FAT directory may hold
constexpr unsigned kMaxDirs = 1 << 16;
constexpr unsigned kMaxDepth = 64;

bool powerOfTwo(uint32_t v) { return v && !(v & (v - 1)); }

struct Dir {
  std::vector<Extent> extents;
  bool deleted = false;
  unsigned depth = 0;
  std::string folder = "\\";
};

class FatVolume {
 public:
  FatVolume(DiskReader& disk, const Volume& vol, const RecordOut& out) : disk_(disk), vol_(vol), out_(out) {}

  bool parse() {
    uint8_t b[512];
    if (vol_.size < sizeof b || !disk_.read(vol_.offset, b, sizeof b)) return false;
    if (!(b[0] == 0xEB && b[2] == 0x90) && b[0] != 0xE9) return false;
    if (b[510] != 0x55 || b[511] != 0xAA) return false;
    bps_ = le16(b + 11);
    const uint32_t spc = b[13], rsvd = le16(b + 14), fats = b[16], rootEnt = le16(b + 17);
    const uint32_t fatSz = le16(b + 22) ? le16(b + 22) : le32(b + 36);
    const uint64_t totSec = le16(b + 19) ? le16(b + 19) : le32(b + 32);
    if (bps_ < 512 || bps_ > 4096 || !powerOfTwo(bps_) || !powerOfTwo(spc) || spc > 128) return false;
    if (!rsvd || !fats || fats > 4 || !fatSz || !totSec) return false;
    const uint64_t rootSecs = (uint64_t(rootEnt) * kEntry + bps_ - 1) / bps_;
    const uint64_t firstData = rsvd + uint64_t(fats) * fatSz + rootSecs;
    if (firstData >= totSec) return false;
    clusters_ = uint32_t(std::min<uint64_t>((totSec - firstData) / spc, 0x0FFFFFF5));
    if (!clusters_) return false;
    bits_ = clusters_ < 4085 ? 12 : clusters_ < 65525 ? 16 : 32;
    if ((bits_ == 32) != (rootEnt == 0)) return false;
    // A FAT too small for the clusters: only those it describes exist.
    const uint64_t described = uint64_t(fatSz) * bps_ * 8 / bits_;
    if (described < 3) return false;
    clusters_ = uint32_t(std::min<uint64_t>(clusters_, described - 2));
    clusterBytes_ = uint64_t(spc) * bps_;
    fatAt_ = vol_.offset + uint64_t(rsvd) * bps_;
    fatBytes_ = uint64_t(fatSz) * bps_;
    fats_ = fats;
    dataAt_ = vol_.offset + firstData * bps_;
    dataEnd_ = std::min(vol_.offset + vol_.size, dataAt_ + uint64_t(clusters_) * clusterBytes_);
    if (dataAt_ >= dataEnd_) return false;

    Dir root;
    if (bits_ == 32) {
      root.extents = chainExtents(le32(b + 44), kMaxDirBytes, false);
    } else {
      const uint64_t at = vol_.offset + (rsvd + uint64_t(fats) * fatSz) * bps_;
      root.extents.push_back(Extent{at, uint64_t(rootEnt) * kEntry});
    }
    walk(root);
    return true;
  }

 private:
  bool validCluster(uint32_t c) const { return c >= 2 && c < clusters_ + 2; }
  uint64_t clusterAt(uint32_t c) const { return dataAt_ + uint64_t(c - 2) * clusterBytes_; }

  // The FAT entry of cluster c, from the first copy of the FAT that could
  // be read there; 0 (free) when none can.
  uint32_t next(uint32_t c) {
    const uint64_t at = bits_ == 12 ? c + c / 2 : uint64_t(c) * (bits_ / 8);
    const size_t width = bits_ == 32 ? 4 : 2;
    uint8_t e[4] = {};
    for (uint32_t copy = 0; copy < fats_; ++copy) {
      const uint64_t where = fatAt_ + copy * fatBytes_ + at;
      if (!disk_.read(where, e, width)) return 0;
      if (!disk_.unreadable(where, width)) break;
      if (copy + 1 == fats_) return 0;
    }
    if (bits_ == 12) return c & 1 ? le16(e) >> 4 : le16(e) & 0xFFF;
    if (bits_ == 16) return le16(e);
    return le32(e) & 0x0FFFFFFF;
  }

  // The runs of the chain from first that hold `bytes` (all of a
  // directory's chain when exact is false, up to bytes). Empty if the chain
  // breaks before the end of an exact length or leaves the volume.
  std::vector<Extent> chainExtents(uint32_t first, uint64_t bytes, bool exact) {
    std::vector<Extent> runs;
    uint64_t have = 0;
    uint32_t c = first;
    for (uint32_t steps = 0; have < bytes && steps <= clusters_; ++steps) {
      if (!validCluster(c)) break;
      const uint64_t at = clusterAt(c);
      const uint64_t take = std::min(clusterBytes_, bytes - have);
      if (at + take > dataEnd_) break;
      if (!runs.empty() && runs.back().offset + runs.back().length == at)
        runs.back().length += take;
      else
        runs.push_back(Extent{at, take});
      have += take;
      if (have < bytes) c = next(c);
    }
    if (exact && have < bytes) runs.clear();
    return runs;
  }

  bool startsPicture(uint64_t at) {
    uint8_t head[kSignatureBytes];
    return disk_.read(at, head, sizeof head) && candidateType(head, kAllTypes) >= 0;
  }

  // A deleted file: one run from its first cluster. FAT32 drivers may clear
  // the high half of the cluster number on delete; then the one half that
  // puts a picture's start there is taken.
  std::vector<Extent> deletedExtents(uint32_t first, uint64_t size, bool highKnown) {
    if (validCluster(first) && !startsPicture(clusterAt(first)) && bits_ == 32 && !highKnown) {
      uint32_t found = 0, count = 0;
      for (uint32_t c = first | 0x10000; validCluster(c); c += 0x10000)
        if (startsPicture(clusterAt(c))) found = c, ++count;
      // Only when one half fits: another would be some other file's picture.
      if (count == 1) first = found;
    }
    if (!validCluster(first) || clusterAt(first) >= dataEnd_ || size > dataEnd_ - clusterAt(first)) return {};
    return {Extent{clusterAt(first), size}};
  }

  // A directory's bytes, and for each entry whether it lies in a sector
  // that could not be read.
  std::vector<uint8_t> readDir(const Dir& d, std::vector<bool>& lost) {
    std::vector<uint8_t> bytes;
    lost.clear();
    for (const Extent& e : d.extents) {
      const size_t at = bytes.size();
      const uint64_t n = std::min<uint64_t>(e.length, kMaxDirBytes - at);
      bytes.resize(at + size_t(n));
      if (!disk_.read(e.offset, bytes.data() + at, size_t(n))) bytes.resize(at);
      for (size_t i = at; i + kEntry <= bytes.size(); i += kEntry) lost.push_back(disk_.unreadable(e.offset + (i - at), kEntry));
      if (bytes.size() >= kMaxDirBytes) break;
    }
    return bytes;
  }

  void walk(const Dir& root) {
    std::deque<Dir> todo{root};
    for (unsigned n = 0; !todo.empty() && n < kMaxDirs; ++n) {
      Dir d = std::move(todo.front());
      todo.pop_front();
      std::vector<bool> lost;
      const std::vector<uint8_t> bytes = readDir(d, lost);
      entries(bytes, lost, d, todo);
    }
  }

  static std::string shortName(const uint8_t* e, bool deleted) {
    std::string base(reinterpret_cast<const char*>(e), 8), ext(reinterpret_cast<const char*>(e + 8), 3);
    base.erase(base.find_last_not_of(' ') + 1);
    ext.erase(ext.find_last_not_of(' ') + 1);
    if (!base.empty()) {
      if (deleted) base[0] = '_';
      else if (uint8_t(base[0]) == 0x05) base[0] = char(0xE5);
    }
    auto lower = [](std::string& s) {
      for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    };
    if (e[12] & 0x08) lower(base);
    if (e[12] & 0x10) lower(ext);
    return ext.empty() ? base : base + "." + ext;
  }

  // The long name of the short entry e from the long-name entries before it
  // (in disk order, the name's last part first). A deleted entry's parts
  // have lost their sequence numbers and the short name its first byte: the
  // parts right before it with one checksum that some first byte fits.
  static std::string longName(const std::vector<const uint8_t*>& parts, const uint8_t* e, bool deleted) {
    if (parts.empty()) return {};
    const uint8_t sum = parts.back()[13];
    uint8_t name[11];
    std::copy(e, e + 11, name);
    bool fits = shortNameChecksum(name) == sum;
    for (int c = 0x20; deleted && !fits && c < 0x100; ++c) {
      name[0] = uint8_t(c);
      fits = shortNameChecksum(name) == sum;
    }
    if (!fits) return {};
    size_t first = parts.size();
    while (first > 0 && parts[first - 1][13] == sum) --first;
    if (!deleted) {
      // Live: numbered 1, 2, ... from the short entry back, the last one flagged.
      const size_t n = parts.size() - first;
      for (size_t k = 0; k < n; ++k) {
        const uint8_t ord = parts[parts.size() - 1 - k][0];
        if ((ord & 0x3F) != k + 1 || bool(ord & 0x40) != (k + 1 == n)) return {};
      }
    }
    static const int kChars[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    std::vector<uint16_t> units;
    for (size_t i = parts.size(); i-- > first;) {
      for (int off : kChars) {
        const uint16_t u = le16(parts[i] + off);
        if (u == 0 || u == 0xFFFF) return utf16ToUtf8(units.data(), units.size());
        units.push_back(u);
      }
    }
    return utf16ToUtf8(units.data(), units.size());
  }

  static FileTime modified(const uint8_t* e) {
    const uint16_t t = le16(e + 22), d = le16(e + 24);
    if (!d) return {};
    return wallClockTime(1980 + (d >> 9), d >> 5 & 15, d & 31, t >> 11, t >> 5 & 63, (t & 31) * 2, 0);
  }

  void entries(const std::vector<uint8_t>& dir, const std::vector<bool>& lost, const Dir& d, std::deque<Dir>& todo) {
    std::vector<const uint8_t*> parts;
    for (size_t i = 0; i + kEntry <= dir.size(); i += kEntry) {
      const uint8_t* e = dir.data() + i;
      if (i / kEntry < lost.size() && lost[i / kEntry]) {
        // A sector that could not be read: the entries after it still count;
        // a long name cut by it does not.
        parts.clear();
        continue;
      }
      if (e[0] == 0x00) break;  // nothing was ever written from here on
      const uint8_t attr = e[11];
      const bool deleted = e[0] == 0xE5;
      if ((attr & 0x3F) == 0x0F) {
        parts.push_back(e);
        continue;
      }
      std::string name = longName(parts, e, deleted);
      parts.clear();
      if (attr & 0x08) continue;  // volume label
      if (e[0] == '.' && (e[1] == ' ' || e[1] == '.')) continue;
      if (name.empty()) name = shortName(e, deleted);
      const uint32_t high = bits_ == 32 ? uint32_t(le16(e + 20)) << 16 : 0;
      const uint32_t first = high | le16(e + 26);
      const uint64_t size = le32(e + 28);
      const bool gone = deleted || d.deleted;
      if (attr & 0x10) {
        subdir(first, gone, d.depth + 1, subFolder(d.folder, name), todo);
      } else if (size && hasPictureExtension(name)) {
        FileRecord r;
        r.name = std::move(name);
        r.size = size;
        r.mtime = modified(e);
        r.deleted = gone;
        r.folder = d.folder;
        r.extents = gone ? deletedExtents(first, size, high != 0) : chainExtents(first, size, true);
        // A live file whose chain is damaged: its first run is still the likeliest place.
        if (!gone && r.extents.empty()) r.extents = deletedExtents(first, size, true);
        if (!r.extents.empty()) out_(std::move(r));
      }
    }
  }

  // A directory's first cluster must start with its "." and ".." entries;
  // of a deleted one only the first cluster is known.
  void subdir(uint32_t first, bool deleted, unsigned depth, std::string folder, std::deque<Dir>& todo) {
    if (!validCluster(first) || depth > kMaxDepth || !seenDirs_.insert(first).second) return;
    uint8_t dots[2 * kEntry];
    if (!disk_.read(clusterAt(first), dots, sizeof dots) || dots[0] != '.' || dots[1] != ' ' ||
        dots[kEntry] != '.' || dots[kEntry + 1] != '.' || !(dots[11] & 0x10))
      return;
    Dir d;
    d.deleted = deleted;
    d.depth = depth;
    d.folder = std::move(folder);
    d.extents = deleted ? std::vector<Extent>{Extent{clusterAt(first), std::min(clusterBytes_, kMaxDirBytes)}}
                        : chainExtents(first, kMaxDirBytes, false);
    todo.push_back(std::move(d));
  }

  DiskReader& disk_;
  const Volume vol_;
  const RecordOut& out_;
  uint32_t bps_ = 0;
  uint32_t clusters_ = 0;
  int bits_ = 0;
  uint64_t clusterBytes_ = 0;
  uint64_t fatBytes_ = 0;
  uint32_t fats_ = 1;
  uint64_t fatAt_ = 0, dataAt_ = 0, dataEnd_ = 0;
  std::set<uint32_t> seenDirs_;
};

}  // namespace

uint8_t shortNameChecksum(const uint8_t* name11) {
  uint8_t sum = 0;
  for (int i = 0; i < 11; ++i) sum = uint8_t(((sum & 1) ? 0x80 : 0) + (sum >> 1) + name11[i]);
  return sum;
}

bool readFatVolume(DiskReader& disk, const Volume& vol, const RecordOut& out) { return FatVolume(disk, vol, out).parse(); }

}  // namespace qv
