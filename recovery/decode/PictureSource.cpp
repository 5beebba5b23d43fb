#include "PictureSource.h"

#include <windows.h>

#include <utility>

#include "PictureDecode.h"

CPictureSource::CPictureSource(const CString& path)
    : m_path(path), m_type(PictureTypeOf(path.str())), m_decoder(PictureDecoderFor(m_type))
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
        m_details.bytes = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
        m_details.written = static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 |
                            data.ftLastWriteTime.dwLowDateTime;
    }
}

void CPictureSource::ReadHead(CPictureDecoder::HeadUse use)
{
    const CPictureDecoder::HeadUse reads = m_decoder.ReadsHead();
    if (m_headRead || reads == CPictureDecoder::HeadUse::None ||
        (use == CPictureDecoder::HeadUse::Drawing && reads != CPictureDecoder::HeadUse::Drawing))
        return;
    m_headRead = true;
    m_headBytes = ReadPictureHead(m_path);
    m_decoder.ReadHead(m_path, m_headBytes, m_head);
    m_details.taken = m_head.taken;
    m_details.camera = m_head.camera;
    m_details.lens = m_head.lens;
    // A RAW's size is its sensor's, whether or not it carries a picture.
    if (m_decoder.DrawsCarriedOnly() && m_details.width == 0) {
        m_details.width = TurnsOver() ? m_head.height : m_head.width;
        m_details.height = TurnsOver() ? m_head.width : m_head.height;
    }
}

const PictureDetails& CPictureSource::Details()
{
    ReadHead(CPictureDecoder::HeadUse::Details);
    return m_details;
}

DecodedPicture CPictureSource::Had(DecodedPicture picture)
{
    // The orientation is in the first bytes of the types that have one.
    ReadHead(CPictureDecoder::HeadUse::Details);
    TurnUpright(picture, m_head.orientation);
    // A RAW's size is its sensor's as its tags tell (see ReadHead), never a
    // JPEG's it carries.
    if (picture && !m_decoder.DrawsCarriedOnly()) {
        m_details.width = picture.width;
        m_details.height = picture.height;
    }
    return picture;
}

bool CPictureSource::HeadSize(unsigned& width, unsigned& height)
{
    ReadHead(CPictureDecoder::HeadUse::Drawing);
    width = TurnsOver() ? m_head.height : m_head.width;
    height = TurnsOver() ? m_head.width : m_head.height;
    return width > 0 && height > 0;
}

DecodedPicture CPictureSource::SmallCopy()
{
    ReadHead(CPictureDecoder::HeadUse::Drawing);
    if (!m_headRead || m_head.copyLength == 0)
        return DecodedPicture();
    return Had(DecodeEmbeddedCopy(m_headBytes, m_head.copyOffset, m_head.copyLength, m_head.width, m_head.height));
}

DecodedPicture CPictureSource::Reduced(unsigned minWidth, unsigned minHeight)
{
    ReadHead(CPictureDecoder::HeadUse::Drawing);
    // The decoders measure the pixels as stored.
    if (TurnsOver())
        std::swap(minWidth, minHeight);
    return Had(m_decoder.Reduced(m_path, m_head, minWidth, minHeight));
}

DecodedPicture CPictureSource::Whole()
{
    ReadHead(CPictureDecoder::HeadUse::Details);
    return Had(m_decoder.Whole(m_path, m_head));
}

DecodedPicture CPictureSource::Salvage()
{
    return Had(m_decoder.Salvage(m_path, m_head));
}
