#include "device_name.h"

namespace qv {
namespace {

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

bool lower(char c) { return c >= 'a' && c <= 'z'; }

}  // namespace

int diskNumberFromDevice(const std::string& device) {
  const std::string prefix = "/dev/sd";
  if (device.compare(0, prefix.size(), prefix) != 0) return -1;
  std::string letters = device.substr(prefix.size());
  if (letters.size() == 1 && lower(letters[0])) return letters[0] - 'a';
  if (letters.size() == 2 && lower(letters[0]) && lower(letters[1]))
    return 26 * (letters[0] - 'a' + 1) + (letters[1] - 'a');
  return -1;
}

std::vector<DeviceMapping> parseDeviceTable(const std::string& text) {
  std::vector<DeviceMapping> table;
  size_t start = 0;
  while (start <= text.size()) {
    size_t nl = text.find('\n', start);
    std::string line = trim(text.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
    if (!line.empty() && line[0] != '#') {
      size_t eq = line.find('=');
      if (eq != std::string::npos) {
        DeviceMapping m{trim(line.substr(0, eq)), trim(line.substr(eq + 1))};
        if (!m.device.empty() && !m.path.empty()) table.push_back(m);
      }
    }
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  return table;
}

std::string lookupDevice(const std::vector<DeviceMapping>& table, const std::string& device) {
  for (const DeviceMapping& m : table)
    if (m.device == device) return m.path;
  return "";
}

}  // namespace qv
