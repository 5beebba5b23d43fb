#include "JpegSegments.h"

namespace {

const unsigned char kStartOfScan = 0xDA;
const unsigned char kEndOfImage = 0xD9;

}  // namespace

bool IsJpegFrameMarker(unsigned char marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

CJpegSegments::CJpegSegments(const unsigned char* data, size_t size)
    : m_data(data), m_size(size), m_done(size < 4 || data[0] != 0xFF || data[1] != 0xD8)
{
}

bool CJpegSegments::Next(JpegSegment& segment)
{
    while (!m_done && m_at + 4 <= m_size) {
        if (m_data[m_at] != 0xFF)
            break;
        const unsigned char marker = m_data[m_at + 1];
        if (marker == 0xFF) {  // fill byte
            ++m_at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            m_at += 2;
            continue;
        }
        if (marker == kEndOfImage)
            break;
        const size_t length = static_cast<size_t>(m_data[m_at + 2]) << 8 | m_data[m_at + 3];
        if (length < 2)
            break;
        segment.marker = marker;
        segment.offset = m_at + 4;
        segment.length = length - 2;
        m_at += 2 + length;
        m_done = marker == kStartOfScan;
        return true;
    }
    m_done = true;
    return false;
}
