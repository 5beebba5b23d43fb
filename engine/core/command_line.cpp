#include "command_line.h"

#include "types.h"

namespace qv {
namespace {

std::vector<std::string> splitCommas(const std::string& s) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : s) {
    if (c == ',') {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  parts.push_back(cur);
  return parts;
}

bool typeMask(const std::string& name, unsigned& mask) {
  if (name == "everything") {
    mask = kAllTypes;
    return true;
  }
  for (int i = 0; i < kPicTypeCount; ++i) {
    if (name == typeName(PicType(i))) {
      mask = typeBit(PicType(i));
      return true;
    }
  }
  return false;
}

}  // namespace

bool parseCommandLine(const std::vector<std::string>& given, EngineCommand& out, std::string& error) {
  // The copy's place, when there is one, comes right after the output
  // folder; the rest is as without it.
  std::vector<std::string> args = given;
  std::string copyPath;
  if (args.size() == 7 && args[2] == "/copy") {
    copyPath = args[3];
    if (copyPath.empty()) {
      error = "empty copy path";
      return false;
    }
    args.erase(args.begin() + 2, args.begin() + 4);
  }
  if (args.size() != 5 || args[0] != "/d" || args[2] != "/cmd") {
    error = "usage: photo /d \"OUTDIR\" [/copy \"IMAGE\"] /cmd DEVICE fileopt,everything,disable,TYPE,enable,...,search";
    return false;
  }
  if (args[1].empty() || args[3].empty()) {
    error = "empty output folder or device";
    return false;
  }
  std::vector<std::string> words = splitCommas(args[4]);
  if (words.size() < 2 || words.front() != "fileopt" || words.back() != "search") {
    error = "commands must be fileopt,...,search";
    return false;
  }
  unsigned types = 0;
  // Between the two: pairs of a type (or everything) and enable/disable.
  if ((words.size() - 2) % 2 != 0) {
    error = "incomplete file option";
    return false;
  }
  for (size_t i = 1; i + 1 < words.size(); i += 2) {
    unsigned mask = 0;
    if (!typeMask(words[i], mask)) {
      error = "unknown file type: " + words[i];
      return false;
    }
    if (words[i + 1] == "enable") {
      types |= mask;
    } else if (words[i + 1] == "disable") {
      types &= ~mask;
    } else {
      error = "expected enable or disable after " + words[i];
      return false;
    }
  }
  out.outDir = args[1];
  out.device = args[3];
  out.copyPath = copyPath;
  out.types = types;
  return true;
}

}  // namespace qv
