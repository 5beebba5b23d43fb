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
  // What the candidate turned out to be, when its signature could not tell
  // (a TIFF header that leads to a camera RAW is PicType::Raw, an ISO media
  // file is told by its brand); -1 keeps the type of the signature.
  int type = -1;
  // The file's extension without the dot, when its type has several
  // ("nef", "cr3", ...); nullptr for the type's own (typeName).
  const char* ext = nullptr;
};

// The type a candidate of type t is, after its recogniser has seen it.
inline PicType foundType(PicType t, const Recognition& r) { return r.type < 0 ? t : PicType(r.type); }

Recognition recognizeJpeg(View& v, uint64_t maxLen);
Recognition recognizePng(View& v, uint64_t maxLen);
Recognition recognizeGif(View& v, uint64_t maxLen);
Recognition recognizeBmp(View& v, uint64_t maxLen);
// A TIFF header: a plain TIFF, or a TIFF-based camera RAW (type Raw).
Recognition recognizeTiff(View& v, uint64_t maxLen);
// A RAW family's own header: Olympus ORF, Panasonic RW2/RWL, Fujifilm RAF.
Recognition recognizeCameraRaw(View& v, uint64_t maxLen);
// An ISO base media file by its ftyp brand: HEIC/HEIF, AVIF, Canon CR3.
Recognition recognizeIsoMedia(View& v, uint64_t maxLen);
Recognition recognizeWebp(View& v, uint64_t maxLen);
// A whole zero sector (counted from the candidate's start) in [from, to):
// what coded picture data (HEVC, AV1, VP8) never holds, and the rest of a
// file written only so far has.
bool zeroSectorIn(View& v, uint64_t from, uint64_t to);

// Of a PNG or a GIF that is not whole: where its last whole chunk ends
// (CRC matched, once a whole IDAT has come; IEND is not counted), where its
// last whole frame ends (its sub-blocks end, its codes check and stand for
// every pixel of the frame). 0 when there is none, or the picture is whole.
uint64_t pngWholeChunksEnd(View& v, uint64_t maxLen);
uint64_t gifWholeFramesEnd(View& v, uint64_t maxLen);

Recognition recognize(PicType t, View& v, uint64_t maxLen);
inline Recognition recognize(PicType t, View& v) { return recognize(t, v, maxPictureSize(t)); }

}  // namespace qv
