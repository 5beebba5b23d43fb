#include "PictureDecoder.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>

#include "JpegLayout.h"
#include "LibraryDecoders.h"
#include "PictureDecode.h"

namespace {

// GIF, PNG and BMP: GDI+ reads them whole; their first bytes tell nothing
// the window shows.
class CGdiplusDecoder : public CPictureDecoder {
public:
    bool Draws() const override { return true; }
};

// A large BMP gives a small copy from the rows a box filter samples alone.
class CBmpDecoder : public CGdiplusDecoder {
public:
    DecodedPicture Reduced(const CString& path, const PictureHead& head, unsigned minWidth,
                           unsigned minHeight) const override
    {
        (void)head;
        return DecodeBmpSampled(path, minWidth, minHeight);
    }
};

// The tags of a TIFF structure: camera, date, lens and orientation.
void TakeTags(const JpegLayout& tags, PictureHead& head)
{
    head.taken = tags.taken;
    head.camera = CameraName(tags.make, tags.model);
    head.lens = tags.lens;
    head.orientation = tags.orientation;
}

// TIFF, whose tags name the camera and the date.
class CTiffDecoder : public CGdiplusDecoder {
public:
    HeadUse ReadsHead() const override { return HeadUse::Details; }
    void ReadHead(const CString& path, const std::string& bytes, PictureHead& head) const override
    {
        (void)path;
        JpegLayout tags;
        ReadTiffTags(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), tags);
        TakeTags(tags, head);
    }

    // A large uncompressed one gives a small copy from the rows a box
    // filter samples alone.
    DecodedPicture Reduced(const CString& path, const PictureHead& head, unsigned minWidth,
                           unsigned minHeight) const override
    {
        (void)head;
        return DecodeTiffSampled(path, minWidth, minHeight);
    }
};

// A GDI+ bitmap of the RGB copy's rows; empty when they cannot be read.
CGdiBitmap DecodeRgbCopy(const CString& path, const RgbCopy& copy)
{
    const std::string noHead;
    CFileBytes file(path, noHead);
    std::vector<unsigned char> rows;
    if (!ReadRgbCopy(file, copy, rows))
        return CGdiBitmap();
    using namespace Gdiplus::DllExports;
    Gdiplus::GpBitmap* made = nullptr;
    const INT width = static_cast<INT>(copy.width), height = static_cast<INT>(copy.height);
    if (GdipCreateBitmapFromScan0(width, height, 0, PixelFormat24bppRGB, nullptr, &made) != Gdiplus::Ok)
        return CGdiBitmap();
    CGdiBitmap bitmap(made);
    Gdiplus::Rect all(0, 0, width, height);
    Gdiplus::BitmapData data = {};
    if (GdipBitmapLockBits(made, &all, Gdiplus::ImageLockModeWrite, PixelFormat24bppRGB, &data) != Gdiplus::Ok)
        return CGdiBitmap();
    const size_t rowBytes = static_cast<size_t>(copy.width) * 3;
    for (unsigned y = 0; y < copy.height; ++y) {
        const unsigned char* from = rows.data() + y * rowBytes;
        auto* to = static_cast<unsigned char*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
        // GDI+ keeps blue first.
        for (unsigned x = 0; x < copy.width; ++x, from += 3, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    GdipBitmapUnlockBits(made, &data);
    return bitmap;
}

uint64_t Area(unsigned width, unsigned height)
{
    return static_cast<uint64_t>(width) * height;
}

// A camera's RAW is drawn from the pictures it carries of itself, JPEGs
// and plain RGB copies (a DNG's thumbnail): the smallest that fills what is
// asked for, the largest for the whole. Its raw sensor data is never
// decoded.
class CRawDecoder : public CPictureDecoder {
public:
    bool Draws() const override { return true; }
    bool DrawsCarriedOnly() const override { return true; }
    HeadUse ReadsHead() const override { return HeadUse::Drawing; }

    void ReadHead(const CString& path, const std::string& bytes, PictureHead& head) const override
    {
        CFileBytes file(path, bytes);
        RawLayout layout;
        if (!ReadRawLayout(file, layout))
            return;
        head.width = layout.width;
        head.height = layout.height;
        head.taken = layout.taken;
        head.camera = CameraName(layout.make, layout.model);
        head.lens = layout.lens;
        head.orientation = layout.orientation;
        head.jpegs = std::move(layout.jpegs);
        head.rgbCopies = std::move(layout.rgbCopies);
    }

    DecodedPicture Reduced(const CString& path, const PictureHead& head, unsigned minWidth,
                           unsigned minHeight) const override
    {
        RawLayout layout;
        layout.jpegs = head.jpegs;
        layout.rgbCopies = head.rgbCopies;
        const EmbeddedJpeg* chosen = layout.Smallest(minWidth, minHeight);
        unsigned width = 0, height = 0;
        Standing(head, layout, width, height);
        // An RGB copy that fills what is asked for and is no larger than the
        // JPEG chosen costs a read of its rows, no decode.
        const RgbCopy* rgb = layout.SmallestRgb(minWidth, minHeight);
        if (rgb && rgb->width >= minWidth && rgb->height >= minHeight &&
            (!chosen || chosen->width < minWidth || chosen->height < minHeight ||
             Area(rgb->width, rgb->height) < Area(chosen->width, chosen->height))) {
            DecodedPicture picture = InShapeOf(DecodeRgbCopy(path, *rgb), width, height);
            if (picture)
                return picture;
        }
        // Many cameras carry no small JPEG, only one of the sensor's size: a
        // baseline one that large gives its eighth from its DC values alone.
        if (chosen && (chosen->width + 7) / 8 >= std::max(minWidth, 1u) &&
            (chosen->height + 7) / 8 >= std::max(minHeight, 1u)) {
            DecodedPicture eighth =
                InShapeOf(DecodeJpegEighthRange(path, chosen->offset, chosen->length), width, height);
            if (eighth)
                return eighth;
        }
        return FirstDecoding(path, head, layout, chosen);
    }

    DecodedPicture Whole(const CString& path, const PictureHead& head) const override
    {
        RawLayout layout;
        layout.jpegs = head.jpegs;
        layout.rgbCopies = head.rgbCopies;
        // An RGB copy is the whole only where no JPEG is larger.
        const RgbCopy* rgb = layout.LargestRgb();
        const EmbeddedJpeg* largest = layout.Largest();
        if (rgb && (!largest || Area(rgb->width, rgb->height) > Area(largest->width, largest->height))) {
            unsigned width = 0, height = 0;
            Standing(head, layout, width, height);
            DecodedPicture picture = InShapeOf(DecodeRgbCopy(path, *rgb), width, height);
            if (picture)
                return picture;
        }
        return FirstDecoding(path, head, layout, largest);
    }

private:
    // The size a JPEG of the RAW stands for: the sensor's, or where the
    // file does not tell it, its largest JPEG's or RGB copy's (cameras make
    // them in the sensor's shape).
    static void Standing(const PictureHead& head, const RawLayout& layout, unsigned& width, unsigned& height)
    {
        width = head.width;
        height = head.height;
        const EmbeddedJpeg* largest = layout.Largest();
        const RgbCopy* rgb = layout.LargestRgb();
        if ((width == 0 || height == 0) && largest) {
            width = largest->width;
            height = largest->height;
        } else if ((width == 0 || height == 0) && rgb) {
            width = rgb->width;
            height = rgb->height;
        }
    }

    // The chosen JPEG, or when it does not decode, the others from the
    // largest down, and last the largest RGB copy; each stands for the
    // sensor's picture.
    static DecodedPicture FirstDecoding(const CString& path, const PictureHead& head, RawLayout& layout,
                                        const EmbeddedJpeg* chosen)
    {
        unsigned width = 0, height = 0;
        Standing(head, layout, width, height);
        while (chosen) {
            DecodedPicture picture = InShapeOf(DecodeFileRange(path, chosen->offset, chosen->length), width, height);
            if (picture)
                return picture;
            layout.jpegs.erase(layout.jpegs.begin() + (chosen - layout.jpegs.data()));
            chosen = layout.Largest();
        }
        const RgbCopy* rgb = layout.LargestRgb();
        return rgb ? InShapeOf(DecodeRgbCopy(path, *rgb), width, height) : DecodedPicture();
    }
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

    void ReadHead(const CString& path, const std::string& bytes, PictureHead& head) const override
    {
        (void)path;
        JpegLayout layout;
        if (ReadJpegLayout(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), layout)) {
            head.width = layout.width;
            head.height = layout.height;
            head.copyOffset = layout.thumbOffset;
            head.copyLength = layout.thumbLength;
        }
        // The Exif block may be read although the frame lies past the bytes.
        TakeTags(layout, head);
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

void CPictureDecoder::ReadHead(const CString& path, const std::string& bytes, PictureHead& head) const
{
    (void)path;
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

DecodedPicture CPictureDecoder::Whole(const CString& path, const PictureHead& head) const
{
    (void)head;
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
    static const CBmpDecoder bmp;
    static const CRawDecoder raw;
    static const CUndrawnDecoder undrawn;
    switch (type) {
    case kTypeJpeg:
        return jpeg;
    case kTypeGif:
    case kTypePng:
        return gdiplus;
    case kTypeBmp:
        return bmp;
    case kTypeTiff:
        return tiff;
    case kTypeRaw:
        return raw;
    case kTypeHeic:
    case kTypeAvif:
        return HeifPictureDecoder();
    case kTypeWebp:
        return WebpPictureDecoder();
    default:
        return undrawn;
    }
}

bool CanDrawPictureType(PictureType type)
{
    const CPictureDecoder& decoder = PictureDecoderFor(type);
    return decoder.Draws() && !decoder.DrawsCarriedOnly();
}

bool DrawsCarriedPicturesOnly(PictureType type)
{
    return PictureDecoderFor(type).DrawsCarriedOnly();
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
