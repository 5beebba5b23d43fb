// The 64 x 64 thumbnails of the picture list: where a picture is drawn
// inside one, and drawing it from a file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Framework.h"

const int kThumbSize = 64;

struct ThumbnailRect {
    int x;
    int y;
    int width;
    int height;
};

// Fits a width x height picture into 64 x 64 keeping its aspect ratio,
// centred on the axis with room to spare; small pictures are enlarged.
// The scale is a float and the products are truncated, so a square picture
// can come out one pixel short (100 x 100 gives 63 x 63). Both sizes must
// be above zero.
ThumbnailRect FitThumbnail(unsigned width, unsigned height);

// 64 x 64 pixels, 0x00RRGGBB, rows from the top.
using ThumbnailPixels = std::vector<uint32_t>;

// What the thumbnail's pass learns of a picture file, read from the bytes
// it has to read anyway.
struct PictureDetails {
    uint64_t bytes = 0;
    unsigned width = 0;   // pixels; 0 when it did not decode
    unsigned height = 0;
    uint64_t written = 0;  // the file's last write time (UTC, FILETIME units)
    std::string taken;     // Exif "YYYY:MM:DD HH:MM:SS", local time; or empty
    std::string camera;    // Exif make and model; or empty
};

// Decodes the file once and draws it fitted on white. A JPEG that carries
// an Exif thumbnail is drawn from that instead, cropped to the photo's
// shape. False when the file is no picture GDI+ can read; the pixels are
// then plain white. details, when given, gets what is known of the file
// even then. Safe on any thread once GDI+ has been started.
bool RenderThumbnail(const CString& path, ThumbnailPixels& pixels, PictureDetails* details = nullptr);

// "Canon" and "Canon EOS 5D" make "Canon EOS 5D": cameras repeat their
// make in the model.
std::string CameraName(const std::string& make, const std::string& model);

// A 64 x 64 bitmap of the pixels; the caller deletes it.
HBITMAP ThumbnailBitmap(const ThumbnailPixels& pixels);
