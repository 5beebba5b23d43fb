// The names recovered files get from the file system's records: safe on
// any Windows folder, read by any program, with the extension of the type
// the data really has, and unique within their output folder.
#pragma once
#include <set>
#include <string>

#include "../types.h"

namespace qv {

// "DSC 0001.JPEG" -> "DSC 0001.jpg". Characters Windows does not allow in
// a name, and anything outside printable ASCII (the window opens files by
// their ANSI names), become "_"; device names (CON, LPT1, ...) get a "_" in
// front; a name without a usable stem becomes "_".
std::string pictureFileName(const std::string& original, PicType type, const char* ext = nullptr);

// The names given out in one folder, compared as Windows does (without
// case). A taken name gets " (2)", " (3)", ... before its extension.
class FolderNames {
 public:
  std::string claim(const std::string& name);
  void clear() { taken_.clear(); }

 private:
  std::set<std::string> taken_;
};

}  // namespace qv
