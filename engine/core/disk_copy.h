// A copy of the disk kept while it is searched: every sector the engine
// reads from the disk goes into an image file at its own offset, and a map
// beside the image says which sectors it holds. Unreadable sectors stay
// zeros in the image; sectors never read are zeros too, and the map tells
// the two apart. The map only ever names what is already in the image, so
// whatever ends the search (a disk that stops answering, a search
// cancelled), the image and its map are true up to that moment.
//
// The map is plain text, one statement a line, sectors of 512 bytes as
// ranges [first, end):
//
//   quorvane disk copy
//   size 67108864          the disk's size in bytes (the image's too)
//   complete 131072        every sector before it was read: copied,
//                          unreadable or skipped (notread)
//   copied 0 100           in the image as the disk has them
//   unreadable 100 101     the disk did not give them; zeros in the image
//   notread 5000 9096      skipped over or not answered in time, never
//                          read; zeros in the image
//
// copied, unreadable and notread lines come in order and never overlap;
// any sector named by none of them was not read either. Lines starting with
// # and blank lines are comments.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "bad_sectors.h"
#include "lock.h"
#include "medium.h"

namespace qv {

using SectorRuns = std::vector<std::pair<uint64_t, uint64_t>>;

// Where the copy goes: the image file and its map.
class CopyTarget {
 public:
  virtual ~CopyTarget() = default;
  // n bytes at offset into the image; false when they could not be written.
  virtual bool write(uint64_t offset, const uint8_t* data, size_t n) = 0;
  // Replaces the map with text as a whole (a reader sees the old map or the
  // new one); false when it could not.
  virtual bool saveMap(const std::string& text) = 0;
};

// The map's content.
struct CopyMap {
  uint64_t size = 0;
  uint64_t complete = 0;
  SectorRuns copied, unreadable, notRead;
};

std::string formatCopyMap(const CopyMap& map);
// False for anything that is not such a map (then the image is not trusted).
bool parseCopyMap(const std::string& text, CopyMap& out);
// The map's file for an image: "card.img" -> "card.map", anything else gets
// ".map" added.
std::string copyMapPath(const std::string& imagePath);

// The disk as read, with every sector it delivers copied into target.
// Sits right above the disk, under the careful reader, which tells what
// became of the sectors that did not read (settled).
class CopyingMedium : public Medium {
 public:
  // unreadable/notRead: the sectors the careful reader gave up on so far,
  // and of them those it never tried.
  using Settled = std::function<void(SectorRuns& unreadable, SectorRuns& notRead)>;

  CopyingMedium(Medium& disk, CopyTarget& target, std::chrono::milliseconds mapEvery = std::chrono::milliseconds(250));
  void setSettled(Settled settled);

  uint64_t size() const override { return disk_.size(); }
  bool read(uint64_t offset, uint8_t* buf, size_t n) override;
  size_t readSome(uint64_t offset, uint8_t* buf, size_t n, bool& gaveUp) override;

  // Writes the map as it stands now (at the end of the search).
  bool finish();
  // The image could not be written to: copying stopped there, the map names
  // what was written before.
  bool failed() const;
  // Sectors in the image so far.
  uint64_t copiedSectors() const { return copied_.count(); }

 private:
  void copy(uint64_t offset, const uint8_t* buf, size_t got);
  bool writeMap(std::unique_lock<Mutex>& lock);

  Medium& disk_;
  CopyTarget& target_;
  const std::chrono::milliseconds mapEvery_;
  Settled settled_;
  BadSectors copied_;
  mutable Mutex mu_;  // the target and the map's timing
  std::chrono::steady_clock::time_point lastMap_{};
  bool failed_ = false;
};

// A disk image searched with its map: the sectors the map does not name as
// copied read as a disk's bad sectors do (the read delivers what lies before
// the first of them), so they are counted unreadable, not searched as zeros.
class MappedImageMedium : public Medium {
 public:
  MappedImageMedium(Medium& image, const CopyMap& map);
  uint64_t size() const override { return image_.size(); }
  bool read(uint64_t offset, uint8_t* buf, size_t n) override;
  size_t readSome(uint64_t offset, uint8_t* buf, size_t n, bool& gaveUp) override;

 private:
  Medium& image_;
  BadSectors copied_;
};

}  // namespace qv
