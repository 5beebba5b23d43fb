// Reading found files with GDI+, shared by the thumbnails and the preview:
// the first bytes of a file, a decode that yields only pictures with
// pixels, and a camera photo's own small Exif copy of itself.
#pragma once

#include <cstddef>
#include <string>

#include "Framework.h"
#include "JpegLayout.h"

namespace Gdiplus {
class GpBitmap;
}

// The first 128 KiB: the Exif block (at most 64 KiB) and what cameras put
// before the frame.
std::string ReadPictureHead(const CString& path);
// Null unless GDI+ reads a picture with pixels; the caller disposes of it.
Gdiplus::GpBitmap* DecodePictureFile(const CString& path);
Gdiplus::GpBitmap* DecodePictureBytes(const unsigned char* bytes, size_t size);
// A baseline JPEG at an eighth of its width and height, from each block's
// DC alone: for a thumbnail of a large photo without an Exif thumbnail, a
// small part of a whole decode's time and memory. Null for any other file,
// or one whose data does not decode to its end; with partial, a JPEG whose
// data stops fitting part-way gives its whole rows before that, the rest
// grey (a damaged photo shows what can be had of it).
Gdiplus::GpBitmap* DecodeJpegEighth(const CString& path, bool partial = false);

// The Exif thumbnail held in a JPEG's first bytes, and the part of it in
// the photo's shape (cameras pad one of another shape with bars). image is
// null when there is none that decodes.
struct ExifThumbnail {
    Gdiplus::GpBitmap* image = nullptr;
    int x = 0, y = 0, width = 0, height = 0;
};
ExifThumbnail DecodeExifThumbnail(const std::string& head, const JpegLayout& layout);
