#include "JpegLayout.h"

namespace {

unsigned Get16(const unsigned char* p, bool bigEndian)
{
    return bigEndian ? (p[0] << 8u) | p[1] : (p[1] << 8u) | p[0];
}

unsigned long Get32(const unsigned char* p, bool bigEndian)
{
    return bigEndian ? (static_cast<unsigned long>(p[0]) << 24) | (p[1] << 16u) | (p[2] << 8u) | p[3]
                     : (static_cast<unsigned long>(p[3]) << 24) | (p[2] << 16u) | (p[1] << 8u) | p[0];
}

// An ASCII entry's text (type 2), cut at its first NUL, printable
// characters only; empty when it does not lie within the structure.
std::string AsciiValue(const unsigned char* tiff, size_t size, const unsigned char* entry, bool bigEndian)
{
    if (Get16(entry + 2, bigEndian) != 2)
        return std::string();
    const unsigned long count = Get32(entry + 4, bigEndian);
    const unsigned char* text = entry + 8;
    if (count > 4) {
        const unsigned long offset = Get32(entry + 8, bigEndian);
        if (offset > size || count > size - offset || count > 256)
            return std::string();
        text = tiff + offset;
    }
    std::string value;
    for (unsigned long i = 0; i < count && text[i]; ++i)
        value += text[i] >= 0x20 && text[i] < 0x7F ? static_cast<char>(text[i]) : ' ';
    while (!value.empty() && value.back() == ' ')
        value.pop_back();
    return value;
}

bool TiffOrder(const unsigned char* tiff, size_t size, bool& bigEndian)
{
    if (size < 8)
        return false;
    if (tiff[0] == 'M' && tiff[1] == 'M')
        bigEndian = true;
    else if (tiff[0] == 'I' && tiff[1] == 'I')
        bigEndian = false;
    else
        return false;
    return Get16(tiff + 2, bigEndian) == 42;
}

// The thumbnail named by IFD1 of the TIFF structure inside an Exif APP1
// body (tiff, size bytes). Offsets in it count from the TIFF header.
void FindExifThumbnail(const unsigned char* tiff, size_t size, size_t tiffStart, JpegLayout& layout)
{
    bool bigEndian;
    if (!TiffOrder(tiff, size, bigEndian))
        return;

    // IFD0 is only stepped over: its last four bytes lead to IFD1.
    const unsigned long ifd0 = Get32(tiff + 4, bigEndian);
    if (ifd0 < 8 || ifd0 > size - 2)
        return;
    const unsigned long entries0 = Get16(tiff + ifd0, bigEndian);
    const unsigned long next = ifd0 + 2 + entries0 * 12;
    if (next > size - 4)
        return;
    const unsigned long ifd1 = Get32(tiff + next, bigEndian);
    if (ifd1 < 8 || ifd1 > size - 2 || ifd1 == ifd0)
        return;
    const unsigned long entries1 = Get16(tiff + ifd1, bigEndian);
    if (ifd1 + 2 + entries1 * 12 > size)
        return;

    unsigned long offset = 0;
    unsigned long length = 0;
    for (unsigned long i = 0; i < entries1; ++i) {
        const unsigned char* entry = tiff + ifd1 + 2 + i * 12;
        const unsigned tag = Get16(entry, bigEndian);
        const unsigned type = Get16(entry + 2, bigEndian);
        // LONG, or SHORT for writers that choose it.
        const unsigned long value = type == 3 ? Get16(entry + 8, bigEndian) : Get32(entry + 8, bigEndian);
        if (tag == 0x0201)
            offset = value;
        else if (tag == 0x0202)
            length = value;
    }
    if (offset == 0 || length < 4 || offset > size || length > size - offset)
        return;
    if (tiff[offset] != 0xFF || tiff[offset + 1] != 0xD8)
        return;
    layout.thumbOffset = tiffStart + offset;
    layout.thumbLength = length;
}

bool IsFrameMarker(unsigned char marker)
{
    // SOF0..SOF15 without DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

}  // namespace

void ReadTiffTags(const unsigned char* tiff, size_t size, JpegLayout& layout)
{
    bool bigEndian;
    if (!TiffOrder(tiff, size, bigEndian))
        return;
    unsigned long exifIfd = 0;
    unsigned long ifd = Get32(tiff + 4, bigEndian);
    // IFD0, then the Exif IFD it points to: two directories at most.
    for (int pass = 0; pass < 2 && ifd >= 8 && ifd <= size - 2; ++pass) {
        const unsigned long entries = Get16(tiff + ifd, bigEndian);
        if (entries * 12 > size - ifd - 2)
            return;
        for (unsigned long i = 0; i < entries; ++i) {
            const unsigned char* entry = tiff + ifd + 2 + i * 12;
            const unsigned tag = Get16(entry, bigEndian);
            if (pass == 0 && tag == 0x010F && layout.make.empty())
                layout.make = AsciiValue(tiff, size, entry, bigEndian);
            else if (pass == 0 && tag == 0x0110 && layout.model.empty())
                layout.model = AsciiValue(tiff, size, entry, bigEndian);
            else if (pass == 0 && tag == 0x8769)
                exifIfd = Get32(entry + 8, bigEndian);
            else if (tag == 0x9003 || (tag == 0x0132 && layout.taken.empty())) {
                // The moment the photo was taken wins over the last change.
                const std::string date = AsciiValue(tiff, size, entry, bigEndian);
                if (date.size() >= 19)
                    layout.taken = date.substr(0, 19);
            }
        }
        if (exifIfd == ifd)
            return;
        ifd = exifIfd;
    }
}

bool ReadJpegLayout(const unsigned char* data, size_t size, JpegLayout& layout)
{
    layout = JpegLayout();
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF)
            return false;
        const unsigned char marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)  // end, or image data before any frame
            return false;
        const size_t length = Get16(data + at + 2, true);
        if (length < 2)
            return false;
        const unsigned char* body = data + at + 4;
        const size_t bodySize = length - 2;
        if (IsFrameMarker(marker)) {
            if (bodySize < 5 || at + 4 + 5 > size)
                return false;
            layout.height = Get16(body + 1, true);
            layout.width = Get16(body + 3, true);
            return layout.width > 0 && layout.height > 0;
        }
        if (marker == 0xE1 && layout.thumbLength == 0 && at + 4 + bodySize <= size && bodySize > 6 &&
            body[0] == 'E' && body[1] == 'x' && body[2] == 'i' && body[3] == 'f' && body[4] == 0 && body[5] == 0) {
            FindExifThumbnail(body + 6, bodySize - 6, at + 4 + 6, layout);
            ReadTiffTags(body + 6, bodySize - 6, layout);
        }
        at += 2 + length;
    }
    return false;
}
