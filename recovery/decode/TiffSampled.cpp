#include "TiffSampled.h"

#include <algorithm>
#include <vector>

namespace {

// More strips than any sound file has.
const uint32_t kMostStrips = 1u << 20;

class TiffReader {
public:
    TiffReader(ByteSource& file, bool little) : m_file(file), m_little(little) {}

    bool U16(uint64_t at, uint32_t& value)
    {
        unsigned char b[2];
        if (!m_file.Read(at, 2, b))
            return false;
        value = m_little ? (b[0] | b[1] << 8) : (b[0] << 8 | b[1]);
        return true;
    }
    bool U32(uint64_t at, uint32_t& value)
    {
        unsigned char b[4];
        if (!m_file.Read(at, 4, b))
            return false;
        value = m_little ? (uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24)
                         : (uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | uint32_t(b[3]));
        return true;
    }

private:
    ByteSource& m_file;
    bool m_little;
};

// One directory entry: its type, count and where its values lie.
struct Entry {
    uint32_t type = 0, count = 0;
    uint64_t at = 0;  // the values: in the entry itself when they fit
    bool Present() const { return count > 0; }
};

// The index-th value of a SHORT or LONG entry.
bool ValueOf(TiffReader& tiff, const Entry& entry, uint32_t index, uint32_t& value)
{
    if (index >= entry.count)
        return false;
    if (entry.type == 3)
        return tiff.U16(entry.at + 2ull * index, value);
    if (entry.type == 4)
        return tiff.U32(entry.at + 4ull * index, value);
    return false;
}

}  // namespace

bool SampleTiff(ByteSource& file, unsigned minWidth, unsigned minHeight, SampledPicture& out)
{
    unsigned char h[8];
    if (file.Size() < sizeof h || !file.Read(0, sizeof h, h))
        return false;
    const bool little = h[0] == 'I' && h[1] == 'I' && h[2] == 42 && h[3] == 0;
    const bool big = h[0] == 'M' && h[1] == 'M' && h[2] == 0 && h[3] == 42;
    if (!little && !big)
        return false;
    TiffReader tiff(file, little);
    uint32_t ifd = 0, entries = 0;
    if (!tiff.U32(4, ifd) || !tiff.U16(ifd, entries) || entries == 0 || entries > 4096)
        return false;

    enum { kWidth, kHeight, kBits, kCompression, kPhotometric, kOffsets, kSamples, kRowsPerStrip, kCounts,
           kPlanar, kTileWidth, kTags };
    const uint32_t tags[kTags] = {256, 257, 258, 259, 262, 273, 277, 278, 279, 284, 322};
    Entry found[kTags];
    for (uint32_t i = 0; i < entries; ++i) {
        const uint64_t at = ifd + 2ull + 12ull * i;
        uint32_t tag = 0, type = 0, count = 0;
        if (!tiff.U16(at, tag) || !tiff.U16(at + 2, type) || !tiff.U32(at + 4, count))
            return false;
        for (int t = 0; t < kTags; ++t) {
            if (tags[t] != tag)
                continue;
            Entry& entry = found[t];
            entry.type = type;
            entry.count = count;
            const uint64_t size = (type == 3 ? 2ull : 4ull) * count;
            entry.at = at + 8;
            uint32_t offset = 0;
            if (size > 4 && (!tiff.U32(at + 8, offset) || offset > file.Size() || size > file.Size() - offset))
                return false;
            if (size > 4)
                entry.at = offset;
        }
    }
    uint32_t width = 0, height = 0, compression = 1, photometric = 0, samples = 1, rowsPerStrip = 0, planar = 1;
    if (!ValueOf(tiff, found[kWidth], 0, width) || !ValueOf(tiff, found[kHeight], 0, height) ||
        !ValueOf(tiff, found[kPhotometric], 0, photometric) || !ValueOf(tiff, found[kSamples], 0, samples))
        return false;
    if (found[kCompression].Present() && !ValueOf(tiff, found[kCompression], 0, compression))
        return false;
    if (found[kPlanar].Present() && !ValueOf(tiff, found[kPlanar], 0, planar))
        return false;
    if (!found[kRowsPerStrip].Present() || !ValueOf(tiff, found[kRowsPerStrip], 0, rowsPerStrip) ||
        rowsPerStrip > height)
        rowsPerStrip = height;
    // RGB of three 8-bit samples, as stored; an alpha, a palette, tiles and
    // every compression are left to a whole decode.
    if (compression != 1 || photometric != 2 || samples != 3 || planar != 1 || found[kTileWidth].Present() ||
        width == 0 || height == 0 || rowsPerStrip == 0 || found[kBits].count != 3)
        return false;
    for (uint32_t s = 0; s < 3; ++s) {
        uint32_t bits = 0;
        if (!ValueOf(tiff, found[kBits], s, bits) || bits != 8)
            return false;
    }
    const uint64_t strips = (uint64_t(height) + rowsPerStrip - 1) / rowsPerStrip;
    if (strips > kMostStrips || found[kOffsets].count < strips || found[kCounts].count < strips)
        return false;

    const uint64_t w = width, ht = height;
    // Uncompressed, every row is in the file: a size beyond it is false,
    // and would make the rows read and the copy made too large to hold.
    if (w * 3 > file.Size() || ht > file.Size() / (w * 3))
        return false;
    const uint64_t factor = std::min(w / std::max(2u * minWidth, 1u), ht / std::max(2u * minHeight, 1u));
    if (factor < 2)
        return false;
    const uint64_t stride = w * 3;
    return SampleRows(w, ht, factor, static_cast<size_t>(stride), 3, false,
                      [&](uint64_t y, unsigned char* row) {
                          const uint32_t strip = static_cast<uint32_t>(y / rowsPerStrip);
                          const uint64_t within = (y % rowsPerStrip) * stride;
                          uint32_t offset = 0, length = 0;
                          // The row lies wholly inside its strip as the strip says.
                          return ValueOf(tiff, found[kOffsets], strip, offset) &&
                                 ValueOf(tiff, found[kCounts], strip, length) && within + stride <= length &&
                                 file.Read(offset + within, static_cast<size_t>(stride), row);
                      },
                      out);
}
