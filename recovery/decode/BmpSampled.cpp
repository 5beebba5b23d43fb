#include "BmpSampled.h"

#include <algorithm>

namespace {

uint32_t Le32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Rows of a box read for its mean: a few spread over it give the box's
// colour as well as all of them for pictures (screenshots' one-pixel lines
// may fall between them, as they would vanish at that scale anyway).
const unsigned kRowsPerBox = 4;

}  // namespace

bool SampleBmp(ByteSource& file, unsigned minWidth, unsigned minHeight, SampledPicture& out)
{
    unsigned char h[54];
    if (file.Size() < sizeof h || !file.Read(0, sizeof h, h) || h[0] != 'B' || h[1] != 'M')
        return false;
    const uint32_t dataOffset = Le32(h + 10), infoSize = Le32(h + 14);
    const int32_t width = static_cast<int32_t>(Le32(h + 18)), height = static_cast<int32_t>(Le32(h + 22));
    const unsigned planes = h[26] | h[27] << 8, bits = h[28] | h[29] << 8;
    const uint32_t compression = Le32(h + 30);
    // BI_RGB only: BI_BITFIELDS and the rest are left to a whole decode, as
    // are the header kinds before the Windows one (OS/2's 12 bytes).
    if (infoSize < 40 || planes != 1 || (bits != 24 && bits != 32) || compression != 0 || width <= 0 ||
        height == 0 || height == INT32_MIN)
        return false;
    const bool topDown = height < 0;
    const uint64_t w = static_cast<uint64_t>(width), ht = static_cast<uint64_t>(topDown ? -int64_t(height) : height);
    // A fraction that keeps at least twice the size asked for, so that the
    // last scaling still has pixels to smooth over.
    const uint64_t factor = std::min(w / std::max(2u * minWidth, 1u), ht / std::max(2u * minHeight, 1u));
    if (factor < 2)
        return false;
    const uint64_t stride = (w * bits / 8 + 3) & ~uint64_t(3);
    if (dataOffset < 14 + infoSize || dataOffset > file.Size() || ht > (file.Size() - dataOffset) / stride)
        return false;

    const unsigned step = bits / 8;
    return SampleRows(w, ht, factor, static_cast<size_t>(stride), step, true,
                      [&](uint64_t y, unsigned char* row) {
                          const uint64_t stored = topDown ? y : ht - 1 - y;
                          return file.Read(dataOffset + stored * stride, static_cast<size_t>(stride), row);
                      },
                      out);
}

bool SampleRows(uint64_t w, uint64_t ht, uint64_t factor, size_t rowBytes, unsigned step, bool bgr,
                const std::function<bool(uint64_t y, unsigned char* row)>& readRow, SampledPicture& out)
{
    const unsigned outW = static_cast<unsigned>((w + factor - 1) / factor);
    const unsigned outH = static_cast<unsigned>((ht + factor - 1) / factor);
    const int blue = bgr ? 0 : 2, red = bgr ? 2 : 0;
    std::vector<unsigned char> row(rowBytes);
    std::vector<uint32_t> sums(size_t(outW) * 3);
    std::vector<uint32_t> counts(outW);
    out.bgr.assign(size_t(outW) * outH * 3, 0);
    for (unsigned oy = 0; oy < outH; ++oy) {
        const uint64_t top = oy * factor, bottom = std::min(ht, top + factor);
        const uint64_t rows = std::min<uint64_t>(kRowsPerBox, bottom - top);
        std::fill(sums.begin(), sums.end(), 0);
        std::fill(counts.begin(), counts.end(), 0);
        for (uint64_t k = 0; k < rows; ++k) {
            // Spread evenly over the box, each in the middle of its share.
            const uint64_t y = top + ((2 * k + 1) * (bottom - top)) / (2 * rows);
            if (!readRow(y, row.data()))
                return false;
            const unsigned char* p = row.data();
            for (uint64_t x = 0; x < w; ++x, p += step) {
                const size_t ox = static_cast<size_t>(x / factor);
                sums[3 * ox] += p[blue];
                sums[3 * ox + 1] += p[1];
                sums[3 * ox + 2] += p[red];
                ++counts[ox];
            }
        }
        uint8_t* to = out.bgr.data() + size_t(oy) * outW * 3;
        for (unsigned ox = 0; ox < outW; ++ox)
            for (int c = 0; c < 3; ++c)
                to[3 * ox + c] = static_cast<uint8_t>((sums[3 * ox + c] + counts[ox] / 2) / counts[ox]);
    }
    out.width = outW;
    out.height = outH;
    out.fullWidth = static_cast<unsigned>(w);
    out.fullHeight = static_cast<unsigned>(ht);
    return true;
}
