// Engine-side disk names and the device table that maps them to images.
#pragma once
#include <string>
#include <vector>

namespace qv {

// "/dev/sda" is disk 0, "/dev/sdz" 25, "/dev/sdaa" 26, "/dev/sdab" 27, ...
// Returns -1 for anything else.
int diskNumberFromDevice(const std::string& device);

struct DeviceMapping {
  std::string device;
  std::string path;
};

// Lines "DEVICE=PATH"; blank lines and lines starting with '#' are skipped,
// spaces around both parts and a trailing CR are ignored.
std::vector<DeviceMapping> parseDeviceTable(const std::string& text);

// The mapped path of device, or "" when the table does not name it.
std::string lookupDevice(const std::vector<DeviceMapping>& table, const std::string& device);

}  // namespace qv
