#include "file_name.h"

#include <cctype>
#include <cstring>

namespace qv {
namespace {

constexpr size_t kMaxStem = 100;  // the output folder's path takes the rest of MAX_PATH

std::string lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool deviceName(const std::string& stem) {
  const std::string s = lower(stem.substr(0, stem.find('.')));
  if (s == "con" || s == "prn" || s == "aux" || s == "nul") return true;
  return s.size() == 4 && (s.compare(0, 3, "com") == 0 || s.compare(0, 3, "lpt") == 0) && s[3] >= '1' && s[3] <= '9';
}

}  // namespace

std::string pictureFileName(const std::string& original, PicType type, const char* ext) {
  const size_t dot = original.rfind('.');
  const std::string stem = original.substr(0, dot);
  std::string safe;
  for (size_t i = 0; i < stem.size() && safe.size() < kMaxStem; ++i) {
    const unsigned char c = static_cast<unsigned char>(stem[i]);
    if (c >= 0x80) {
      // One "_" per character: skip the UTF-8 continuation bytes.
      while (i + 1 < stem.size() && (static_cast<unsigned char>(stem[i + 1]) & 0xC0) == 0x80) ++i;
      safe += '_';
    } else if (c < 0x20 || c == 0x7F || std::strchr("\\/:*?\"<>|", c)) {
      safe += '_';
    } else {
      safe += char(c);
    }
  }
  // Windows drops dots and spaces at the end and leading spaces confuse.
  while (!safe.empty() && (safe.back() == '.' || safe.back() == ' ')) safe.pop_back();
  safe.erase(0, safe.find_first_not_of(' ') == std::string::npos ? safe.size() : safe.find_first_not_of(' '));
  if (safe.empty() || deviceName(safe)) safe.insert(0, "_");
  return safe + "." + (ext ? ext : typeName(type));
}

std::string FolderNames::claim(const std::string& name) {
  if (taken_.insert(lower(name)).second) return name;
  const size_t dot = name.rfind('.');
  const std::string stem = name.substr(0, dot), ext = dot == std::string::npos ? "" : name.substr(dot);
  for (unsigned n = 2;; ++n) {
    std::string candidate = stem + " (" + std::to_string(n) + ")" + ext;
    if (taken_.insert(lower(candidate)).second) return candidate;
  }
}

}  // namespace qv
