// The 64 x 64 thumbnails of the picture list: where a picture is drawn
// inside one, and drawing it from a file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Framework.h"
#include "PictureSource.h"

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

// Opens the file as a picture source and draws it fitted on white and
// upright, from the cheapest picture that fills the thumbnail: the camera's
// own small copy, a large JPEG's DC eighth, a RAW's smallest JPEG that
// fills it, the whole picture, or what can be had of a damaged one. False when none can be had; the pixels are then plain
// white. details, when given, gets what is known of the file even then.
// Safe on any thread once GDI+ has been started.
bool RenderThumbnail(const CString& path, ThumbnailPixels& pixels, PictureDetails* details = nullptr);

// A 64 x 64 bitmap of the pixels; the caller deletes it.
HBITMAP ThumbnailBitmap(const ThumbnailPixels& pixels);
