#include "file_record.h"

#include <cctype>

namespace qv {

int64_t daysSince1601(int year, int month, int day) {
  // Counted from 1 March so that the leap day ends the year.
  const int y = year - (month <= 2);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int64_t fromEpoch = era * 146097 + doe - 719468;  // days since 1970-01-01
  return fromEpoch + 134774;                              // 1601-01-01 to 1970-01-01
}

FileTime wallClockTime(int year, int month, int day, int hour, int minute, int second, int centis) {
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) return {};
  const int64_t secs = daysSince1601(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  return FileTime{secs * 10000000 + int64_t(centis) * 100000, true};
}

bool hasPictureExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = name.substr(dot + 1);
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  for (const char* known : {"jpg", "jpeg", "jpe", "jfif", "gif", "png", "bmp", "dib", "tif", "tiff", "cr2", "cr3",
                            "nef", "nrw", "arw", "sr2", "srf", "dng", "pef", "srw", "orf", "rw2", "rwl", "raf",
                            "heic", "heif", "hif", "avif", "webp"})
    if (ext == known) return true;
  return false;
}

std::string cleanUtf8(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out += c < 0x20 || c == 0x7F ? '_' : char(c);
      ++i;
      continue;
    }
    // Lead byte: how many follow and the smallest value it may encode (no
    // overlong forms), then no surrogates and nothing past U+10FFFF.
    const size_t more = c >= 0xC2 && c < 0xE0 ? 1 : c >= 0xE0 && c < 0xF0 ? 2 : c >= 0xF0 && c < 0xF5 ? 3 : 0;
    uint32_t v = more == 1 ? c & 0x1F : more == 2 ? c & 0x0F : c & 0x07;
    size_t k = 1;
    for (; more && k <= more && i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80; ++k)
      v = v << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    const bool ok = more && k == more + 1 && !(more == 2 && (v < 0x800 || (v >= 0xD800 && v < 0xE000))) &&
                    !(more == 3 && (v < 0x10000 || v > 0x10FFFF));
    if (ok) {
      out.append(s, i, k);
      i += k;
    } else {
      out += '_';
      ++i;
    }
  }
  return out;
}

std::string subFolder(const std::string& parent, const std::string& name) {
  std::string clean = cleanUtf8(name);
  for (char& c : clean)
    if (c == '\\') c = '_';
  if (clean.empty()) clean = "_";
  std::string out = parent.empty() ? "\\?" : parent;
  if (out.back() != '\\') out += '\\';
  out += clean;
  if (out.size() <= kMaxFolder) return out;
  // Too deep: the names nearest the file are the telling ones.
  const size_t cut = out.find('\\', out.size() - (kMaxFolder - 2));
  return cut == std::string::npos ? "\\?" : "\\?" + out.substr(cut);
}

std::string utf16ToUtf8(const uint16_t* units, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    else if (c >= 0xD800 && c < 0xE000)
      c = 0xFFFD;
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | c >> 6);
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | c >> 12);
      out += char(0x80 | (c >> 6 & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | c >> 18);
      out += char(0x80 | (c >> 12 & 0x3F));
      out += char(0x80 | (c >> 6 & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace qv
