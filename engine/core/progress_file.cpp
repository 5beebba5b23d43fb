#include "progress_file.h"

#include <cstring>

namespace qv {
namespace {

bool parseNumber(const char* p, size_t n, uint64_t& out) {
  if (n == 0 || n > 20) return false;
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) {
    if (p[i] < '0' || p[i] > '9') return false;
    const uint64_t d = uint64_t(p[i] - '0');
    if (v > (UINT64_MAX - d) / 10) return false;
    v = v * 10 + d;
  }
  out = v;
  return true;
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::string formatProgress(const SearchProgress& p) {
  std::string s;
  s += "searched=" + std::to_string(p.searched) + "\n";
  s += "size=" + std::to_string(p.size) + "\n";
  s += "found=" + std::to_string(p.found) + "\n";
  s += "unreadable=" + std::to_string(p.unreadable) + "\n";
  s += "givenup=" + std::to_string(p.givenUp) + "\n";
  s += "records=" + std::to_string(p.recordsChecked) + "\n";
  s += "recordsize=" + std::to_string(p.recordsSize) + "\n";
  s += std::string("ended=") + (p.ended ? "1" : "0") + "\n";
  s += "end\n";
  return s;
}

bool parseProgress(const char* text, size_t n, SearchProgress& out) {
  static const char* const kKeys[] = {"searched", "size", "found", "unreadable", "ended", "givenup", "records", "recordsize"};
  constexpr int kRequired = 5, kAll = 8;
  uint64_t values[kAll] = {};
  bool seen[kAll] = {};
  bool closed = false;
  size_t pos = 0;
  while (pos < n) {
    const char* nl = static_cast<const char*>(std::memchr(text + pos, '\n', n - pos));
    if (!nl || closed) return false;  // a cut-off line, or anything after "end"
    size_t len = size_t(nl - (text + pos));
    const char* line = text + pos;
    pos += len + 1;
    if (len && line[len - 1] == '\r') --len;
    if (len == 3 && std::memcmp(line, "end", 3) == 0) {
      closed = true;
      continue;
    }
    const char* eq = static_cast<const char*>(std::memchr(line, '=', len));
    if (!eq || eq == line) return false;
    const size_t keyLen = size_t(eq - line);
    uint64_t value = 0;
    if (!parseNumber(eq + 1, len - keyLen - 1, value)) return false;
    for (int k = 0; k < kAll; ++k) {
      if (std::strlen(kKeys[k]) == keyLen && std::memcmp(kKeys[k], line, keyLen) == 0) {
        if (seen[k]) return false;
        seen[k] = true;
        values[k] = value;
      }
    }
  }
  if (!closed) return false;
  for (int k = 0; k < kRequired; ++k)
    if (!seen[k]) return false;
  if (values[0] > values[1] || values[4] > 1 || values[5] > values[3]) return false;
  if (seen[6] != seen[7] || values[6] > values[7]) return false;
  // The two together must not wrap around.
  if (values[7] > UINT64_MAX - values[1]) return false;
  out.searched = values[0];
  out.size = values[1];
  out.found = values[2];
  out.unreadable = values[3];
  out.ended = values[4] == 1;
  out.givenUp = values[5];
  out.recordsChecked = values[6];
  out.recordsSize = values[7];
  return true;
}

uint64_t progressDone(const SearchProgress& p) { return p.recordsChecked + p.searched; }
uint64_t progressTotal(const SearchProgress& p) { return p.recordsSize + p.size; }

std::string progressFilePath(const std::string& outDir) {
  std::string p = outDir;
  while (!p.empty() && isSeparator(p.back())) p.pop_back();
  const size_t slash = p.find_last_of("\\/");
  if (slash == std::string::npos) return std::string();
  p.resize(slash);
  while (!p.empty() && isSeparator(p.back())) p.pop_back();
  // A drive or the root holds no data folder to stand beside.
  const std::string last = p.substr(p.find_last_of("\\/") + 1);
  if (p.empty() || p.back() == ':' || last == "." || last == "..") return std::string();
  return p + ".progress";
}

}  // namespace qv
