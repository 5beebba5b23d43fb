#include "naming.h"

#include <cinttypes>
#include <cstdio>

namespace qv {

std::string outputName(PicType type, uint64_t offset, const char* ext) {
  if (!ext) ext = typeName(type);
  char buf[64];
  const unsigned within = unsigned(offset % kSectorSize);
  if (within)
    std::snprintf(buf, sizeof buf, "f%010" PRIu64 "_%03u.%s", offset / kSectorSize, within, ext);
  else
    std::snprintf(buf, sizeof buf, "f%010" PRIu64 ".%s", offset / kSectorSize, ext);
  return buf;
}

std::string partName(const std::string& finalName) { return finalName + ".part"; }

}  // namespace qv
