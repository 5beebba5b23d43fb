// Walks the marker segments of a JPEG's header in bytes at hand (a file's
// first bytes, or an Exif thumbnail inside them): each segment's marker
// and where its body lies. Portable; nothing here reads past the bytes
// given, whatever a length field says.
#pragma once

#include <cstddef>

struct JpegSegment {
    unsigned char marker = 0;
    size_t offset = 0;  // where the body starts (after the length field), in the bytes given
    size_t length = 0;  // the body's length as the segment says; it may reach past the bytes given

    // The whole body lies within size bytes.
    bool Within(size_t size) const { return offset <= size && length <= size - offset; }
};

// A frame header (SOF0 to SOF15, without DHT, JPG and DAC).
bool IsJpegFrameMarker(unsigned char marker);

class CJpegSegments {
public:
    // Starts after the start of image; Next gives nothing when the bytes
    // do not start with one.
    CJpegSegments(const unsigned char* data, size_t size);

    // The next segment, stepping over fill bytes and the markers that stand
    // alone (TEM, RST0-7). The start of scan is the last one given: the
    // entropy-coded data follows it. False at the end of image, at bytes
    // that are no marker, at a length below 2, when the bytes run out
    // before a segment's length field, and after the start of scan.
    bool Next(JpegSegment& segment);

private:
    const unsigned char* m_data;
    size_t m_size;
    size_t m_at = 2;
    bool m_done;
};
