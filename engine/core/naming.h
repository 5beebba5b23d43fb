// Names of the output files: unique in the whole output because no two
// finds start at the same byte.
#pragma once
#include <cstdint>
#include <string>

#include "types.h"

namespace qv {

// "f0000012345.jpg" for a picture starting at the head of sector 12345,
// "f0000012345_077.jpg" for one starting at byte 77 of it.
// ext: the extension when the type has several (a camera RAW's "nef").
std::string outputName(PicType type, uint64_t offset, const char* ext = nullptr);
// What the file is called while it is being written: no picture extension,
// so nobody takes it before it is whole.
std::string partName(const std::string& finalName);

}  // namespace qv
