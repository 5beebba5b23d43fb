#include "PictureDecoder.h"

#include <windows.h>

#include "JpegLayout.h"
#include "PictureDecode.h"

namespace {

// GIF, PNG and BMP: GDI+ reads them whole; their first bytes tell nothing
// the window shows.
class CGdiplusDecoder : public CPictureDecoder {
public:
    bool Draws() const override { return true; }
};

// TIFF, whose tags name the camera and the date.
class CTiffDecoder : public CGdiplusDecoder {
public:
    HeadUse ReadsHead() const override { return HeadUse::Details; }
    void ReadHead(const std::string& bytes, PictureHead& head) const override
    {
        JpegLayout tags;
        ReadTiffTags(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), tags);
        head.taken = tags.taken;
        head.camera = CameraName(tags.make, tags.model);
    }
};

// Most cameras' RAW files are TIFF inside: their tags name the camera and
// the date, although the picture is not one this program draws.
class CRawDecoder : public CTiffDecoder {
public:
    bool Draws() const override { return false; }
};

// Types listed and recovered but not drawn, whose first bytes are not read.
class CUndrawnDecoder : public CPictureDecoder {
public:
    bool Draws() const override { return false; }
};

// Camera photos carry a small copy of themselves in their Exif data, and a
// large baseline one gives a copy at an eighth of its size from its DC
// values alone: both spare the decode of many megapixels.
class CJpegDecoder : public CGdiplusDecoder {
public:
    HeadUse ReadsHead() const override { return HeadUse::Drawing; }

    void ReadHead(const std::string& bytes, PictureHead& head) const override
    {
        JpegLayout layout;
        if (ReadJpegLayout(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), layout)) {
            head.width = layout.width;
            head.height = layout.height;
            head.copyOffset = layout.thumbOffset;
            head.copyLength = layout.thumbLength;
        }
        // The Exif block may be read although the frame lies past the bytes.
        head.taken = layout.taken;
        head.camera = CameraName(layout.make, layout.model);
    }

    DecodedPicture Reduced(const CString& path, const PictureHead& head, unsigned minWidth,
                           unsigned minHeight) const override
    {
        if (head.width == 0 || head.height == 0 || (head.width + 7) / 8 < minWidth ||
            (head.height + 7) / 8 < minHeight)
            return DecodedPicture();
        return DecodedPicture::Whole(DecodeJpegEighth(path), head.width, head.height);
    }

    // What decodes of a damaged JPEG, the rest grey.
    DecodedPicture Salvage(const CString& path, const PictureHead& head) const override
    {
        CGdiBitmap eighth = DecodeJpegEighth(path, true);
        if (!eighth)
            return DecodedPicture();
        if (head.width && head.height)
            return DecodedPicture::Whole(std::move(eighth), head.width, head.height);
        const unsigned width = eighth.Width() * 8, height = eighth.Height() * 8;
        return DecodedPicture::Whole(std::move(eighth), width, height);
    }
};

}  // namespace

void CPictureDecoder::ReadHead(const std::string& bytes, PictureHead& head) const
{
    (void)bytes;
    (void)head;
}

DecodedPicture CPictureDecoder::Reduced(const CString& path, const PictureHead& head, unsigned minWidth,
                                        unsigned minHeight) const
{
    (void)path;
    (void)head;
    (void)minWidth;
    (void)minHeight;
    return DecodedPicture();
}

DecodedPicture CPictureDecoder::Whole(const CString& path) const
{
    if (!Draws())
        return DecodedPicture();
    return DecodedPicture::Whole(DecodePictureFile(path));
}

DecodedPicture CPictureDecoder::Salvage(const CString& path, const PictureHead& head) const
{
    (void)path;
    (void)head;
    return DecodedPicture();
}

const CPictureDecoder& PictureDecoderFor(PictureType type)
{
    static const CJpegDecoder jpeg;
    static const CGdiplusDecoder gdiplus;
    static const CTiffDecoder tiff;
    static const CRawDecoder raw;
    static const CUndrawnDecoder undrawn;
    switch (type) {
    case kTypeJpeg:
        return jpeg;
    case kTypeGif:
    case kTypePng:
    case kTypeBmp:
        return gdiplus;
    case kTypeTiff:
        return tiff;
    case kTypeRaw:
        return raw;
    default:
        return undrawn;
    }
}

bool CanDrawPictureType(PictureType type)
{
    return PictureDecoderFor(type).Draws();
}

std::string CameraName(const std::string& make, const std::string& model)
{
    if (model.empty())
        return make;
    if (make.empty())
        return model;
    // Compared without case: "NIKON CORPORATION" and "NIKON D90" share no
    // whole make, but "Canon" and "Canon EOS 5D" do.
    if (model.size() >= make.size() &&
        CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, model.c_str(), static_cast<int>(make.size()),
                       make.c_str(), static_cast<int>(make.size())) == CSTR_EQUAL)
        return model;
    const std::string firstWord = make.substr(0, make.find(' '));
    if (model.size() >= firstWord.size() &&
        CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, model.c_str(), static_cast<int>(firstWord.size()),
                       firstWord.c_str(), static_cast<int>(firstWord.size())) == CSTR_EQUAL)
        return model;
    return make + " " + model;
}
