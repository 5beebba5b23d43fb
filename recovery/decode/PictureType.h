// The kinds of picture a find can be, told by its file's extension: what
// the window lists, filters on, names and chooses a decoder by.
#pragma once

#include <cstdint>
#include <string>

// The types a find can have, by its file's extension. kTypeRaw stands for
// every camera's RAW (.cr2, .nef, .arw, .dng, ...), kTypeHeic for HEIF.
enum PictureType : uint8_t {
    kTypeJpeg,
    kTypeGif,
    kTypePng,
    kTypeBmp,
    kTypeTiff,
    kTypeRaw,
    kTypeHeic,
    kTypeAvif,
    kTypeWebp,
    kPictureTypes
};
// True when the path's extension (any case) is a picture's; type is then its type.
bool PictureTypeOfExtension(const std::string& path, PictureType& type);
// The type of a find's path; JPEG for one whose extension names none.
PictureType PictureTypeOf(const std::string& path);
// "JPEG", "GIF", ..., "RAW", "HEIC", "AVIF", "WebP".
const char* PictureTypeName(PictureType type);
// True for the types whose every picture this program draws itself; the
// others are listed, described and recovered, and shown with the
// placeholder, a RAW unless it carries a JPEG of itself. The decoder chosen
// for the type answers (PictureDecoder.cpp).
bool CanDrawPictureType(PictureType type);
// True for the types drawn only from the pictures their files carry (a
// camera's RAW): one that carries none is not damaged, it has no picture
// to show.
bool DrawsCarriedPicturesOnly(PictureType type);
