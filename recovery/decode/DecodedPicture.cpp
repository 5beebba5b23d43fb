#include "DecodedPicture.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

CGdiBitmap::~CGdiBitmap()
{
    Reset();
}

CGdiBitmap& CGdiBitmap::operator=(CGdiBitmap&& other) noexcept
{
    if (this != &other)
        Reset(other.Release());
    return *this;
}

unsigned CGdiBitmap::Width() const
{
    UINT width = 0;
    if (m_bitmap)
        GdipGetImageWidth(m_bitmap, &width);
    return width;
}

unsigned CGdiBitmap::Height() const
{
    UINT height = 0;
    if (m_bitmap)
        GdipGetImageHeight(m_bitmap, &height);
    return height;
}

void CGdiBitmap::Reset(GpBitmap* bitmap)
{
    if (m_bitmap && m_bitmap != bitmap)
        GdipDisposeImage(m_bitmap);
    m_bitmap = bitmap;
}

GpBitmap* CGdiBitmap::Release()
{
    GpBitmap* bitmap = m_bitmap;
    m_bitmap = nullptr;
    return bitmap;
}

DecodedPicture DecodedPicture::Whole(CGdiBitmap image, unsigned width, unsigned height)
{
    DecodedPicture picture;
    if (!image)
        return picture;
    const unsigned w = image.Width(), h = image.Height();
    picture.image = std::move(image);
    picture.srcWidth = static_cast<int>(w);
    picture.srcHeight = static_cast<int>(h);
    picture.width = width ? width : w;
    picture.height = height ? height : h;
    return picture;
}

DecodedPicture FittedCopy(const DecodedPicture& picture, int maxWidth, int maxHeight)
{
    DecodedPicture copy;
    if (!picture || picture.srcWidth <= 0 || picture.srcHeight <= 0)
        return copy;
    const double scale = std::min({1.0, static_cast<double>(maxWidth) / picture.srcWidth,
                                   static_cast<double>(maxHeight) / picture.srcHeight});
    const int w = std::max(1, static_cast<int>(picture.srcWidth * scale + 0.5));
    const int h = std::max(1, static_cast<int>(picture.srcHeight * scale + 0.5));
    GpBitmap* made = nullptr;
    GpStatus status = GdipCreateBitmapFromScan0(w, h, 0, PixelFormat32bppPARGB, nullptr, &made);
    CGdiBitmap scaled(status == Ok ? made : nullptr);
    if (status == Ok) {
        GpGraphics* graphics = nullptr;
        status = GdipGetImageGraphicsContext(scaled.Get(), &graphics);
        if (status == Ok) {
            // Transparent pictures on the window's white.
            GdipGraphicsClear(graphics, 0xFFFFFFFF);
            GdipSetInterpolationMode(graphics, InterpolationModeHighQualityBicubic);
            GdipSetPixelOffsetMode(graphics, PixelOffsetModeHalf);
            // The pixels are read here: a file damaged past its headers fails now.
            status = GdipDrawImageRectRectI(graphics, picture.image.Get(), 0, 0, w, h, picture.srcX, picture.srcY,
                                            picture.srcWidth, picture.srcHeight, UnitPixel, nullptr, nullptr,
                                            nullptr);
            GdipDeleteGraphics(graphics);
        }
    }
    if (status != Ok)
        return copy;
    copy.image = std::move(scaled);
    copy.srcWidth = w;
    copy.srcHeight = h;
    copy.width = picture.width;
    copy.height = picture.height;
    return copy;
}
