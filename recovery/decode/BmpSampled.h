// A large uncompressed BMP made small without decoding it whole: only the
// rows a box filter samples are read from the file, each output pixel the
// mean of its box's pixels on those rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "RawLayout.h"

struct SampledPicture {
    unsigned width = 0, height = 0;  // of the small picture
    unsigned fullWidth = 0, fullHeight = 0;  // of the BMP's own
    std::vector<uint8_t> bgr;  // blue, green, red a pixel, rows from the top
};

// A picture of w x ht pixels made factor times smaller, each output pixel
// the mean of its box's pixels on a few rows spread over the box.
// readRow(y, row) fills row (rowBytes) with picture row y, from the top;
// false ends the sampling with false. A pixel is step bytes, blue first
// (bgr) or red first.
bool SampleRows(uint64_t w, uint64_t ht, uint64_t factor, size_t rowBytes, unsigned step, bool bgr,
                const std::function<bool(uint64_t y, unsigned char* row)>& readRow, SampledPicture& out);

// The BMP (24 or 32 bits a pixel, uncompressed) at a whole fraction of its
// size that is still at least minWidth x minHeight; false when it is no such
// BMP, is too small to be worth it, or its rows are not all in the file.
bool SampleBmp(ByteSource& file, unsigned minWidth, unsigned minHeight, SampledPicture& out);
