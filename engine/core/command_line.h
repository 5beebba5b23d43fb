// The engine's command line:
//   /d "OUTDIR" [/copy "IMAGE"] /cmd DEVICE fileopt,everything,disable,jpg,enable,...,search
#pragma once
#include <string>
#include <vector>

namespace qv {

struct EngineCommand {
  std::string outDir;
  std::string device;
  std::string copyPath;  // where the copy of the disk goes; empty: none kept
  unsigned types = 0;  // typeBit() of each enabled type
};

// args excludes the program name. False (with a reason) for anything that is
// not exactly this language; the engine then does nothing at all.
bool parseCommandLine(const std::vector<std::string>& args, EngineCommand& out, std::string& error);

}  // namespace qv
