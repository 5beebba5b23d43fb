#include "DecodedPicture.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

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

void TurnUpright(DecodedPicture& picture, unsigned orientation)
{
    if (!picture || orientation < 2 || orientation > 8)
        return;
    // The turn GDI+ makes of the stored pixels for each orientation: 2
    // mirrors, 3 turns half round, 4 flips, 5 mirrors across the diagonal,
    // 6 turns a quarter clockwise, 7 mirrors across the other diagonal, 8
    // turns a quarter anticlockwise.
    // The diagonal mirrors are a mirror and a quarter turn, made one after
    // the other: GDI+ implementations differ in the order they take the
    // combined ones in.
    static const RotateFlipType kTurns[9] = {RotateNoneFlipNone, RotateNoneFlipNone, RotateNoneFlipX,
                                             Rotate180FlipNone,  RotateNoneFlipY,    Rotate270FlipNone,
                                             Rotate90FlipNone,   Rotate90FlipNone,   Rotate270FlipNone};
    const int w = static_cast<int>(picture.image.Width()), h = static_cast<int>(picture.image.Height());
    if ((orientation == 5 || orientation == 7) && GdipImageRotateFlip(picture.image.Get(), RotateNoneFlipX) != Ok)
        return;
    if (GdipImageRotateFlip(picture.image.Get(), kTurns[orientation]) != Ok)
        return;
    // Where a point (x, y) of the stored image lands, on the pixels' edges.
    auto turn = [&](int x, int y, int& tx, int& ty) {
        switch (orientation) {
        case 2: tx = w - x; ty = y; break;
        case 3: tx = w - x; ty = h - y; break;
        case 4: tx = x; ty = h - y; break;
        case 5: tx = y; ty = x; break;
        case 6: tx = h - y; ty = x; break;
        case 7: tx = h - y; ty = w - x; break;
        default: tx = y; ty = w - x; break;
        }
    };
    int x1, y1, x2, y2;
    turn(picture.srcX, picture.srcY, x1, y1);
    turn(picture.srcX + picture.srcWidth, picture.srcY + picture.srcHeight, x2, y2);
    picture.srcX = std::min(x1, x2);
    picture.srcY = std::min(y1, y2);
    picture.srcWidth = std::abs(x2 - x1);
    picture.srcHeight = std::abs(y2 - y1);
    if (orientation >= 5)
        std::swap(picture.width, picture.height);
}
