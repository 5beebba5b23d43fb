// libFuzzer target: the engine's command line. The input is the argument
// list, one argument per line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "command_line.h"
#include "device_name.h"
#include "types.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\n')
      args.emplace_back();
    else
      args.back() += char(data[i]);
  }
  qv::EngineCommand cmd;
  std::string error;
  if (!qv::parseCommandLine(args, cmd, error)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  if (cmd.outDir.empty() || cmd.device.empty() || (cmd.types & ~qv::kAllTypes)) __builtin_trap();
  int disk = qv::diskNumberFromDevice(cmd.device);
  if (disk < -1 || disk >= 26 + 26 * 26) __builtin_trap();
  return 0;
}
