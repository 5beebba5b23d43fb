// Picture types the engine recovers, and what each may reasonably weigh.
#pragma once
#include <cstdint>

namespace qv {

enum class PicType : uint8_t { Jpg = 0, Gif, Png, Bmp, Tif };
constexpr int kPicTypeCount = 5;

constexpr unsigned typeBit(PicType t) { return 1u << static_cast<unsigned>(t); }
constexpr unsigned kAllTypes = (1u << kPicTypeCount) - 1;

// Extension without the dot, also the type's token on the command line.
const char* typeName(PicType t);

// Anything larger is not believed: it is random data that starts with a
// signature, or a picture that runs on into foreign data.
uint64_t maxPictureSize(PicType t);

constexpr uint64_t kSectorSize = 512;

}  // namespace qv
