#include "finds_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "crc32.h"
#include "fs/file_record.h"
#include "progress_file.h"

namespace qv {

const char kFindsHeader[] = "quorvane-finds 1\n";

namespace {

constexpr size_t kHeaderLen = sizeof kFindsHeader - 1;

uint32_t crcOf(const std::string& s, size_t n) {
  return crc32Update(0, reinterpret_cast<const uint8_t*>(s.data()), n);
}

// A path under OUTDIR as the output sink makes them: names between
// backslashes, none empty, none leading out of the folder or to a drive.
bool relativePath(const std::string& p) {
  if (p.empty() || p.find_first_of(":/") != std::string::npos) return false;
  for (size_t at = 0;;) {
    const size_t end = std::min(p.find('\\', at), p.size());
    const std::string name = p.substr(at, end - at);
    if (name.empty() || name == "." || name == "..") return false;
    if (end == p.size()) return true;
    at = end + 1;
  }
}

// "damaged" or "damaged 0" ... "damaged 100".
bool parseDamage(const std::string& field, FindsEntry& e) {
  if (field.compare(0, 7, "damaged") != 0) return false;
  e.damaged = true;
  if (field.size() == 7) return true;
  const std::string share = field.substr(7);
  if (share.size() < 2 || share.size() > 4 || share[0] != ' ' ||
      share.find_first_not_of("0123456789", 1) != std::string::npos || (share.size() > 2 && share[1] == '0'))
    return false;
  e.decodes = std::atoi(share.c_str() + 1);
  return e.decodes <= 100;
}

bool parseLine(const std::string& line, FindsEntry& e) {
  const size_t a = line.find('\t');
  const size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
  size_t c = b == std::string::npos ? b : line.find('\t', b + 1);
  if (c == std::string::npos) return false;
  size_t d = line.find('\t', c + 1);
  if (d != std::string::npos) {
    if (line.find('\t', d + 1) != std::string::npos || !parseDamage(line.substr(c + 1, d - c - 1), e)) return false;
    std::swap(c, d);  // c: the last tab; d: the one after the state
  } else {
    d = c;
  }
  const std::string crc = line.substr(c + 1);
  if (crc.size() != 8 || crc.find_first_not_of("0123456789abcdef") != std::string::npos) return false;
  if (std::strtoul(crc.c_str(), nullptr, 16) != crcOf(line, c)) return false;
  const std::string state = line.substr(b + 1, d - b - 1);
  if (state != "deleted" && state != "present" && state != "found") return false;
  e.file = line.substr(0, a);
  e.folder = line.substr(a + 1, b - a - 1);
  e.deleted = state == "deleted";
  e.found = state == "found";
  // A content find has a line only when damaged, and never a folder.
  if (e.found && (!e.damaged || !e.folder.empty())) return false;
  // Only what formatFindsLine writes.
  return relativePath(e.file) && cleanUtf8(e.file) == e.file && cleanUtf8(e.folder) == e.folder &&
         (e.folder.empty() || e.folder[0] == '\\');
}

}  // namespace

std::string findsFilePath(const std::string& outDir) {
  std::string p = progressFilePath(outDir);
  if (p.empty()) return p;
  p.resize(p.size() - std::strlen(".progress"));
  return p + ".finds";
}

std::string formatFindsLine(const FindsEntry& e) {
  const char* state = e.found ? "found" : e.deleted ? "deleted" : "present";
  std::string line = cleanUtf8(e.file) + '\t' + (e.found ? std::string() : cleanUtf8(e.folder)) + '\t' + state;
  if (e.damaged) {
    line += "\tdamaged";
    if (e.decodes >= 0 && e.decodes <= 100) line += " " + std::to_string(e.decodes);
  }
  char crc[16];
  std::snprintf(crc, sizeof crc, "\t%08lx\n", static_cast<unsigned long>(crcOf(line, line.size())));
  return line + crc;
}

size_t parseFindsText(const std::string& text, size_t offset, std::vector<FindsEntry>& out) {
  if (offset > text.size() || text.compare(0, kHeaderLen, kFindsHeader) != 0) return 0;
  size_t pos = offset < kHeaderLen ? kHeaderLen : offset;
  for (;;) {
    const size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) return pos;
    FindsEntry e;
    if (parseLine(text.substr(pos, nl - pos), e)) out.push_back(std::move(e));
    pos = nl + 1;
  }
}

}  // namespace qv
