// The cheap first step of scaling a large picture into a thumbnail: a copy
// at a whole fraction of its size, each pixel the mean of the box of pixels
// it stands for, so that the high-quality draw that follows works on a few
// thousand pixels instead of millions (a screenshot's or a TIFF's scaling
// otherwise costs as much as its decode).
#pragma once

#include "DecodedPicture.h"

// The part of picture that is the picture, reduced by the largest whole
// factor that leaves at least minWidth x minHeight, on white where it is
// transparent, standing for the same picture. Empty when the factor would
// be below 2, or the pixels cannot be read (a picture damaged past its
// headers): the caller then draws from the picture itself.
DecodedPicture BoxReduced(const DecodedPicture& picture, unsigned minWidth, unsigned minHeight);
