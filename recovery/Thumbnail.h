// Where a picture of a given size is drawn inside a 64 by 64 thumbnail.
#pragma once

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
