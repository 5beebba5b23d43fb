// One recogniser per picture type. Each reads a candidate that starts at
// byte 0 of the view and decides where the picture ends from its own
// structure. A length of 0 means "not a whole picture".
#pragma once
#include <cstdint>

#include "types.h"
#include "view.h"

namespace qv {

struct Recognition {
  uint64_t length = 0;  // whole picture, 0 if none
  // Bytes from the start that belong to this candidate's metadata even when
  // the picture as a whole is rejected (the EXIF block of a JPEG): nothing
  // starting inside them is a picture of its own.
  uint64_t shadow = 0;
  // JPEG only: where the data stopped making sense once entropy-coded data
  // had begun (0 if it never did): fragmentation lies before this point.
  uint64_t brokeAt = 0;
};

Recognition recognizeJpeg(View& v, uint64_t maxLen);
Recognition recognizePng(View& v, uint64_t maxLen);
Recognition recognizeGif(View& v, uint64_t maxLen);
Recognition recognizeBmp(View& v, uint64_t maxLen);
Recognition recognizeTiff(View& v, uint64_t maxLen);

Recognition recognize(PicType t, View& v, uint64_t maxLen);
inline Recognition recognize(PicType t, View& v) { return recognize(t, v, maxPictureSize(t)); }

}  // namespace qv
