// libFuzzer target: the device table (63/cygwin/devices) as read from its
// file, and each mapped name looked up again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "device_name.h"

namespace {
bool padded(const std::string& s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  return s.empty() || blank(s.front()) || blank(s.back()) || s.find('\n') != std::string::npos;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  auto table = qv::parseDeviceTable(text);
  for (const qv::DeviceMapping& m : table) {
    if (padded(m.device) || padded(m.path) || m.device[0] == '#') __builtin_trap();
    if (qv::lookupDevice(table, m.device).empty()) __builtin_trap();
  }
  return 0;
}
