// A large uncompressed TIFF made small without decoding it whole, as a
// large BMP is: only the rows a box filter samples are read from its
// strips.
#pragma once

#include "BmpSampled.h"
#include "RawLayout.h"

// The first picture of a TIFF (8-bit RGB, uncompressed, in strips, samples
// interleaved) at a whole fraction of its size that is still at least
// minWidth x minHeight, as stored (not turned upright); false when it is no
// such TIFF, is too small to be worth it, or its rows are not all in the
// file.
bool SampleTiff(ByteSource& file, unsigned minWidth, unsigned minHeight, SampledPicture& out);
