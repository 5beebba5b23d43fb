#include "JpegLayout.h"

#include "JpegSegments.h"

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

// A TIFF structure's header and directories (IFDs), read in the order its
// header gives; every offset is checked against the bytes at hand.
class TiffReader {
public:
    // False unless the bytes start with a TIFF header.
    bool Open(const unsigned char* tiff, size_t size)
    {
        m_tiff = tiff;
        m_size = size;
        if (size < 8)
            return false;
        if (tiff[0] == 'M' && tiff[1] == 'M')
            m_bigEndian = true;
        else if (tiff[0] == 'I' && tiff[1] == 'I')
            m_bigEndian = false;
        else
            return false;
        return Get16(tiff + 2, m_bigEndian) == 42;
    }
    unsigned U16(const unsigned char* p) const { return Get16(p, m_bigEndian); }
    unsigned long U32(const unsigned char* p) const { return Get32(p, m_bigEndian); }
    unsigned long FirstDirectory() const { return U32(m_tiff + 4); }
    // The directory at offset, when its count and all its entries lie
    // within the bytes.
    bool Directory(unsigned long offset, unsigned long& entries) const
    {
        if (offset < 8 || offset > m_size - 2)
            return false;
        entries = U16(m_tiff + offset);
        return entries * 12 <= m_size - offset - 2;
    }
    const unsigned char* Entry(unsigned long directory, unsigned long i) const
    {
        return m_tiff + directory + 2 + i * 12;
    }
    // The offset of the directory after this one, when it lies within.
    bool NextDirectory(unsigned long directory, unsigned long entries, unsigned long& next) const
    {
        const unsigned long at = directory + 2 + entries * 12;
        if (at > m_size - 4)
            return false;
        next = U32(m_tiff + at);
        return true;
    }
    // An ASCII entry's text (type 2), cut at its first NUL, printable
    // characters only; empty when it does not lie within the structure.
    std::string Ascii(const unsigned char* entry) const
    {
        if (U16(entry + 2) != 2)
            return std::string();
        const unsigned long count = U32(entry + 4);
        const unsigned char* text = entry + 8;
        if (count > 4) {
            const unsigned long offset = U32(entry + 8);
            if (offset > m_size || count > m_size - offset || count > 256)
                return std::string();
            text = m_tiff + offset;
        }
        std::string value;
        for (unsigned long i = 0; i < count && text[i]; ++i)
            value += text[i] >= 0x20 && text[i] < 0x7F ? static_cast<char>(text[i]) : ' ';
        while (!value.empty() && value.back() == ' ')
            value.pop_back();
        return value;
    }
    const unsigned char* Bytes() const { return m_tiff; }
    size_t Size() const { return m_size; }

private:
    const unsigned char* m_tiff = nullptr;
    size_t m_size = 0;
    bool m_bigEndian = false;
};

// The thumbnail named by IFD1 of the TIFF structure inside an Exif APP1
// body (tiff, size bytes). Offsets in it count from the TIFF header.
void FindExifThumbnail(const unsigned char* tiff, size_t size, size_t tiffStart, JpegLayout& layout)
{
    TiffReader reader;
    if (!reader.Open(tiff, size))
        return;

    // IFD0 is only stepped over: its last four bytes lead to IFD1.
    const unsigned long ifd0 = reader.FirstDirectory();
    unsigned long entries0 = 0, ifd1 = 0, entries1 = 0;
    if (!reader.Directory(ifd0, entries0) || !reader.NextDirectory(ifd0, entries0, ifd1) || ifd1 == ifd0 ||
        !reader.Directory(ifd1, entries1))
        return;

    unsigned long offset = 0;
    unsigned long length = 0;
    for (unsigned long i = 0; i < entries1; ++i) {
        const unsigned char* entry = reader.Entry(ifd1, i);
        const unsigned tag = reader.U16(entry);
        const unsigned type = reader.U16(entry + 2);
        // LONG, or SHORT for writers that choose it.
        const unsigned long value = type == 3 ? reader.U16(entry + 8) : reader.U32(entry + 8);
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

}  // namespace

void ReadTiffTags(const unsigned char* tiff, size_t size, JpegLayout& layout)
{
    TiffReader reader;
    if (!reader.Open(tiff, size))
        return;
    unsigned long exifIfd = 0;
    unsigned long ifd = reader.FirstDirectory();
    unsigned long entries = 0;
    // IFD0, then the Exif IFD it points to: two directories at most.
    for (int pass = 0; pass < 2 && reader.Directory(ifd, entries); ++pass) {
        for (unsigned long i = 0; i < entries; ++i) {
            const unsigned char* entry = reader.Entry(ifd, i);
            const unsigned tag = reader.U16(entry);
            if (pass == 0 && tag == 0x010F && layout.make.empty())
                layout.make = reader.Ascii(entry);
            else if (pass == 0 && tag == 0x0110 && layout.model.empty())
                layout.model = reader.Ascii(entry);
            else if (pass == 0 && tag == 0x8769)
                exifIfd = reader.U32(entry + 8);
            else if (pass == 0 && tag == 0x0112 && reader.U16(entry + 2) == 3) {
                const unsigned orientation = reader.U16(entry + 8);
                if (orientation >= 1 && orientation <= 8)
                    layout.orientation = orientation;
            } else if (tag == 0xA434 && layout.lens.empty())
                layout.lens = reader.Ascii(entry);
            else if (tag == 0xA002 || tag == 0xA003) {
                // SHORT or LONG.
                const unsigned type = reader.U16(entry + 2);
                const unsigned long value = type == 3 ? reader.U16(entry + 8) : type == 4 ? reader.U32(entry + 8) : 0;
                (tag == 0xA002 ? layout.exifWidth : layout.exifHeight) = static_cast<unsigned>(value);
            }
            else if (tag == 0x9003 || (tag == 0x0132 && layout.taken.empty())) {
                // The moment the photo was taken wins over the last change.
                const std::string date = reader.Ascii(entry);
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
    CJpegSegments segments(data, size);
    JpegSegment segment;
    while (segments.Next(segment)) {
        if (segment.marker == 0xDA)  // image data before any frame
            return false;
        const unsigned char* body = data + segment.offset;
        if (IsJpegFrameMarker(segment.marker)) {
            if (segment.length < 5 || segment.offset + 5 > size)
                return false;
            layout.height = Get16(body + 1, true);
            layout.width = Get16(body + 3, true);
            return layout.width > 0 && layout.height > 0;
        }
        if (segment.marker == 0xE1 && layout.thumbLength == 0 && segment.Within(size) && segment.length > 6 &&
            body[0] == 'E' && body[1] == 'x' && body[2] == 'i' && body[3] == 'f' && body[4] == 0 && body[5] == 0) {
            FindExifThumbnail(body + 6, segment.length - 6, segment.offset + 6, layout);
            ReadTiffTags(body + 6, segment.length - 6, layout);
        }
    }
    return false;
}
