// The picture list's thumbnails: small ones of 64 x 64, held for every
// find, and medium and large ones (128 and 256) made while they are shown:
// where a picture is drawn inside one, and drawing it from a file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Framework.h"
#include "PictureSource.h"

const int kThumbSize = 64;
// The boxes the list can show its pictures in: small, medium, large.
const int kThumbSizes[] = {64, 128, 256};
const int kLargestThumbSize = 256;

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
// Fits a width x height picture into a box x box thumbnail. In the small box
// as FitThumbnail; in a larger one a picture that fits is drawn at its own
// size, centred, never enlarged (an icon stays an icon), and a larger one
// is made smaller to fit, as FitThumbnail does.
ThumbnailRect FitThumbnailIn(unsigned width, unsigned height, int box);

// box x box pixels (64 x 64 unless told), 0x00RRGGBB, rows from the top.
using ThumbnailPixels = std::vector<uint32_t>;

// Opens the file as a picture source and draws it fitted on white and
// upright, from the cheapest picture that fills the thumbnail: the camera's
// own small copy, a large JPEG's DC eighth, a RAW's smallest JPEG that
// fills it, the whole picture, or what can be had of a damaged one. False when none can be had; the pixels are then plain
// white. details, when given, gets what is known of the file even then.
// In a box larger than the small one, a small copy or a reduced decode is
// used only when it has at least the pixels the box shows of the picture.
// Safe on any thread once GDI+ has been started.
bool RenderThumbnail(const CString& path, ThumbnailPixels& pixels, PictureDetails* details = nullptr,
                     int box = kThumbSize);

// A 64 x 64 bitmap of the pixels; the caller deletes it.
HBITMAP ThumbnailBitmap(const ThumbnailPixels& pixels);
