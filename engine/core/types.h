// Picture types the engine recovers, and what each may reasonably weigh.
#pragma once
#include <cstdint>

namespace qv {

// Raw stands for every camera RAW family (TIFF-based ones, Fujifilm's RAF,
// Canon's CR3); its files keep their own extensions (Recognition::ext).
enum class PicType : uint8_t { Jpg = 0, Gif, Png, Bmp, Tif, Raw, Heic, Avif, Webp };
constexpr int kPicTypeCount = 9;

constexpr unsigned typeBit(PicType t) { return 1u << static_cast<unsigned>(t); }
constexpr unsigned kAllTypes = (1u << kPicTypeCount) - 1;

// The type's token on the command line, also its files' extension without
// the dot (but for Raw, whose files are named by their family: "nef", ...).
const char* typeName(PicType t);

// Anything larger is not believed: it is random data that starts with a
// signature, or a picture that runs on into foreign data.
uint64_t maxPictureSize(PicType t);

constexpr uint64_t kSectorSize = 512;

}  // namespace qv
