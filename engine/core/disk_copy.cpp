#include "disk_copy.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace qv {
namespace {

constexpr uint64_t kSector = 512;
const char kHeader[] = "quorvane disk copy";

void addLine(std::string& text, const char* word, uint64_t a, uint64_t b) {
  char line[80];
  std::snprintf(line, sizeof line, "%s %llu %llu\n", word, static_cast<unsigned long long>(a),
                static_cast<unsigned long long>(b));
  text += line;
}

bool number(const std::string& word, uint64_t& out) {
  if (word.empty() || word.size() > 20) return false;
  for (char c : word)
    if (c < '0' || c > '9') return false;
  errno = 0;
  const unsigned long long v = std::strtoull(word.c_str(), nullptr, 10);
  if (errno) return false;
  out = v;
  return true;
}

// runs less every run of each of the others.
SectorRuns without(const SectorRuns& runs, const SectorRuns& a, const SectorRuns& b) {
  BadSectors set;
  for (const auto& r : runs) set.add(r.first, r.second);
  for (const auto& r : a) set.remove(r.first, r.second);
  for (const auto& r : b) set.remove(r.first, r.second);
  return set.runs();
}

}  // namespace

std::string formatCopyMap(const CopyMap& map) {
  std::string text = std::string(kHeader) + "\n";
  text += "size " + std::to_string(map.size) + "\n";
  text += "complete " + std::to_string(map.complete) + "\n";
  // In sector order, whichever kind each run is.
  struct Line {
    uint64_t first, end;
    const char* word;
  };
  std::vector<Line> lines;
  for (const auto& r : map.copied) lines.push_back({r.first, r.second, "copied"});
  for (const auto& r : map.unreadable) lines.push_back({r.first, r.second, "unreadable"});
  for (const auto& r : map.notRead) lines.push_back({r.first, r.second, "notread"});
  std::sort(lines.begin(), lines.end(), [](const Line& x, const Line& y) { return x.first < y.first; });
  for (const auto& l : lines) addLine(text, l.word, l.first, l.end);
  return text;
}

bool parseCopyMap(const std::string& text, CopyMap& out) {
  std::istringstream in(text);
  std::string line;
  bool header = false, sized = false, completed = false;
  CopyMap map;
  uint64_t lastEnd = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (!header) {
      if (line != kHeader) return false;
      header = true;
      continue;
    }
    std::istringstream words(line);
    std::string word, a, b, rest;
    words >> word >> a >> b >> rest;
    if (!rest.empty()) return false;
    if (word == "size" || word == "complete") {
      uint64_t v = 0;
      if (!b.empty() || !number(a, v)) return false;
      if (word == "size") {
        if (sized) return false;
        map.size = v;
        sized = true;
      } else {
        if (completed) return false;
        map.complete = v;
        completed = true;
      }
      continue;
    }
    uint64_t first = 0, end = 0;
    if (!number(a, first) || !number(b, end) || end <= first || first < lastEnd) return false;
    lastEnd = end;
    if (word == "copied")
      map.copied.emplace_back(first, end);
    else if (word == "unreadable")
      map.unreadable.emplace_back(first, end);
    else if (word == "notread")
      map.notRead.emplace_back(first, end);
    else
      return false;
  }
  if (!header || !sized || !completed) return false;
  const uint64_t sectors = (map.size + kSector - 1) / kSector;
  if (lastEnd > sectors || map.complete > sectors) return false;
  out = std::move(map);
  return true;
}

std::string copyMapPath(const std::string& imagePath) {
  const size_t n = imagePath.size();
  if (n > 4 && imagePath[n - 4] == '.') {
    std::string ext = imagePath.substr(n - 3);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "img") return imagePath.substr(0, n - 3) + "map";
  }
  return imagePath + ".map";
}

CopyingMedium::CopyingMedium(Medium& disk, CopyTarget& target, std::chrono::milliseconds mapEvery)
    : disk_(disk), target_(target), mapEvery_(mapEvery) {}

void CopyingMedium::setSettled(Settled settled) {
  std::lock_guard<Mutex> lock(mu_);
  settled_ = std::move(settled);
}

bool CopyingMedium::read(uint64_t offset, uint8_t* buf, size_t n) {
  bool gaveUp = false;
  return readSome(offset, buf, n, gaveUp) == n;
}

size_t CopyingMedium::readSome(uint64_t offset, uint8_t* buf, size_t n, bool& gaveUp) {
  const size_t got = std::min(disk_.readSome(offset, buf, n, gaveUp), n);
  copy(offset, buf, got);
  return got;
}

void CopyingMedium::copy(uint64_t offset, const uint8_t* buf, size_t got) {
  std::unique_lock<Mutex> lock(mu_);
  if (failed_) return;
  // Only whole sectors count as copied (and the disk's last, short one).
  const uint64_t end = offset + got;
  const uint64_t first = (offset + kSector - 1) / kSector;
  const uint64_t last = end == size() ? (end + kSector - 1) / kSector : end / kSector;
  if (last > first) {
    // Not the bytes of a sector the read only partly delivered: it may be
    // bad, and stays zeros until it is read whole.
    const uint64_t from = first * kSector, to = std::min(last * kSector, end);
    if (!target_.write(from, buf + (from - offset), size_t(to - from))) {
      failed_ = true;
      writeMap(lock);
      return;
    }
    copied_.add(first, last);
  }
  // A read that failed settles sectors too, once the careful reader has
  // taken it in: the next read writes the map.
  if (std::chrono::steady_clock::now() - lastMap_ >= mapEvery_) writeMap(lock);
}

bool CopyingMedium::writeMap(std::unique_lock<Mutex>&) {
  CopyMap map;
  map.size = size();
  map.copied = copied_.runs();
  SectorRuns bad, skipped;
  if (settled_) settled_(bad, skipped);
  map.unreadable = without(bad, skipped, map.copied);
  map.notRead = without(skipped, map.copied, {});
  BadSectors settled;
  for (const auto& r : map.copied) settled.add(r.first, r.second);
  for (const auto& r : bad) settled.add(r.first, r.second);
  const uint64_t sectors = (map.size + kSector - 1) / kSector;
  map.complete = std::min(settled.runEnd(0), sectors);
  lastMap_ = std::chrono::steady_clock::now();
  return target_.saveMap(formatCopyMap(map));
}

bool CopyingMedium::finish() {
  std::unique_lock<Mutex> lock(mu_);
  return writeMap(lock) && !failed_;
}

bool CopyingMedium::failed() const {
  std::lock_guard<Mutex> lock(mu_);
  return failed_;
}

MappedImageMedium::MappedImageMedium(Medium& image, const CopyMap& map) : image_(image) {
  for (const auto& r : map.copied) copied_.add(r.first, r.second);
}

bool MappedImageMedium::read(uint64_t offset, uint8_t* buf, size_t n) {
  bool gaveUp = false;
  return readSome(offset, buf, n, gaveUp) == n;
}

size_t MappedImageMedium::readSome(uint64_t offset, uint8_t* buf, size_t n, bool& gaveUp) {
  gaveUp = false;
  const uint64_t sector = offset / kSector;
  const uint64_t runEnd = copied_.runEnd(sector);
  if (runEnd == sector) return 0;
  const size_t avail = size_t(std::min<uint64_t>(n, runEnd * kSector - offset));
  return image_.readSome(offset, buf, avail, gaveUp);
}

}  // namespace qv
