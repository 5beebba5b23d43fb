// Drawing a file into a thumbnail with GDI+. Camera photos carry a
// small copy of themselves in their Exif data; drawing from it spares the
// decode of many megapixels, which is most of the time a card's intake
// would otherwise take. The picture source says which copies a file has.
#include "Thumbnail.h"

#include "BoxReduce.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstring>
#include <mutex>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

const ARGB kOpaqueWhite = 0xFFFFFFFF;
// Files above this size are decoded one at a time: a photo of many
// megapixels takes tens of megabytes while GDI+ scales it, and two at once
// would double the program's peak memory for little gain.
const LONGLONG kLargeFile = 512 * 1024;
std::mutex g_largeDecode;

// Draws the picture fitted on white into pixels; false when there was
// nothing to draw or GDI+ could not draw it (the pixels are then white, and
// the caller shows its placeholder instead).
bool Draw(const DecodedPicture& whole, ThumbnailPixels& pixels, int box)
{
    // A picture many times the thumbnail's size is first box-reduced to
    // about twice it: the bicubic scale of millions of pixels would cost
    // as much as their decode, for no better a thumbnail.
    DecodedPicture reduced;
    if (whole && whole.width > 0 && whole.height > 0) {
        const ThumbnailRect fit = FitThumbnailIn(whole.width, whole.height, box);
        reduced = BoxReduced(whole, static_cast<unsigned>(std::max(1, 2 * fit.width)),
                             static_cast<unsigned>(std::max(1, 2 * fit.height)));
    }
    const DecodedPicture& picture = reduced ? reduced : whole;

    GpBitmap* made = nullptr;
    GdipCreateBitmapFromScan0(box, box, 0, PixelFormat32bppRGB, nullptr, &made);
    const CGdiBitmap thumb(made);
    if (!thumb)
        return false;
    bool drawn = false;
    GpGraphics* graphics = nullptr;
    GdipGetImageGraphicsContext(thumb.Get(), &graphics);
    if (graphics) {
        GdipGraphicsClear(graphics, kOpaqueWhite);
        GdipSetInterpolationMode(graphics, InterpolationModeHighQualityBicubic);
        // A zero size would make the fit divide by zero.
        if (picture && picture.width > 0 && picture.height > 0) {
            const ThumbnailRect rc = FitThumbnailIn(picture.width, picture.height, box);
            drawn = GdipDrawImageRectRectI(graphics, picture.image.Get(), rc.x, rc.y, rc.width, rc.height,
                                           picture.srcX, picture.srcY, picture.srcWidth, picture.srcHeight, UnitPixel,
                                           nullptr, nullptr, nullptr) == Ok;
        }
        GdipDeleteGraphics(graphics);
    }
    GpRect all = {0, 0, box, box};
    BitmapData data = {};
    if (GdipBitmapLockBits(thumb.Get(), &all, ImageLockModeRead, PixelFormat32bppRGB, &data) == Ok) {
        for (int row = 0; row < box; ++row) {
            const auto* line = reinterpret_cast<const uint32_t*>(static_cast<const char*>(data.Scan0) +
                                                                 static_cast<ptrdiff_t>(row) * data.Stride);
            for (int col = 0; col < box; ++col)
                pixels[static_cast<size_t>(row * box + col)] = line[col] & 0xFFFFFF;
        }
        GdipBitmapUnlockBits(thumb.Get(), &data);
    } else {
        // Drawn, but not to be had: the pixels stay white.
        drawn = false;
    }
    return drawn;
}

}  // namespace

ThumbnailRect FitThumbnail(unsigned width, unsigned height)
{
    const float scaleX = static_cast<float>(64.0 / width);
    const float scaleY = static_cast<float>(64.0 / height);
    ThumbnailRect rc = {0, 0, 0, 0};
    float scale;
    if (scaleY < scaleX) {
        scale = scaleY;
        rc.x = static_cast<int>((64 - width * static_cast<double>(scale)) * 0.5);
    } else {
        scale = scaleX;
        rc.y = static_cast<int>((64 - height * static_cast<double>(scale)) * 0.5);
    }
    rc.width = static_cast<int>(width * static_cast<double>(scale));
    rc.height = static_cast<int>(height * static_cast<double>(scale));
    return rc;
}

ThumbnailRect FitThumbnailIn(unsigned width, unsigned height, int box)
{
    if (box <= kThumbSize)
        return FitThumbnail(width, height);
    const unsigned side = static_cast<unsigned>(box);
    if (width <= side && height <= side)
        return {static_cast<int>((side - width) / 2), static_cast<int>((side - height) / 2), static_cast<int>(width),
                static_cast<int>(height)};
    // The longer side fills the box; the other is scaled in whole numbers
    // and truncated, never below one pixel.
    ThumbnailRect rc = {0, 0, box, box};
    if (width >= height)
        rc.height = static_cast<int>(std::max<uint64_t>(1, uint64_t{height} * side / width));
    else
        rc.width = static_cast<int>(std::max<uint64_t>(1, uint64_t{width} * side / height));
    rc.x = (box - rc.width) / 2;
    rc.y = (box - rc.height) / 2;
    return rc;
}

bool RenderThumbnail(const CString& path, ThumbnailPixels& pixels, PictureDetails* details, int box)
{
    if (box < kThumbSize)
        box = kThumbSize;
    pixels.assign(static_cast<size_t>(box) * static_cast<size_t>(box), 0xFFFFFF);
    CPictureSource source(path);
    DecodedPicture picture = source.SmallCopy();
    // What the box shows of the picture: a copy with fewer pixels would be
    // blown up. The small box takes the camera's copy without asking.
    unsigned minWidth = static_cast<unsigned>(box), minHeight = static_cast<unsigned>(box);
    unsigned width = 0, height = 0;
    if ((!picture || box > kThumbSize) && source.HeadSize(width, height) && width > 0 && height > 0) {
        const ThumbnailRect fit = FitThumbnailIn(width, height, box);
        minWidth = static_cast<unsigned>(fit.width);
        minHeight = static_cast<unsigned>(fit.height);
    }
    // In a larger box the camera's small copy (160 x 120 as a rule) is too
    // small for a photo: it fills the box only when it has the pixels
    // (either way round, a turned copy counts as well).
    if (picture && box > kThumbSize) {
        const unsigned copyLong = static_cast<unsigned>(std::max(picture.srcWidth, picture.srcHeight));
        const unsigned copyShort = static_cast<unsigned>(std::min(picture.srcWidth, picture.srcHeight));
        if (copyLong < std::max(minWidth, minHeight) || copyShort < std::min(minWidth, minHeight))
            picture = DecodedPicture();
    }
    // No Exif thumbnail, or one that is itself damaged: a copy that fills
    // the thumbnail (a photo at least eight times its size from its DC
    // values, a RAW's smallest JPEG that large), the rest decoded whole.
    if (!picture)
        picture = source.Reduced(minWidth, minHeight);
    std::unique_lock<std::mutex> large(g_largeDecode, std::defer_lock);
    if (!picture && source.Draws()) {
        if (static_cast<LONGLONG>(source.Bytes()) > kLargeFile)
            large.lock();
        picture = source.Whole();
    }
    // A damaged JPEG: what decodes of it, the rest grey, rather than nothing.
    if (!picture)
        picture = source.Salvage();
    const bool drawn = Draw(picture, pixels, box);
    if (details) {
        *details = source.Details();
        // A RAW without a picture still has its sensor's size.
        if (!drawn && !source.DrawsCarriedOnly())
            details->width = details->height = 0;
    }
    return drawn;
}

HBITMAP ThumbnailBitmap(const ThumbnailPixels& pixels)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kThumbSize;
    info.bmiHeader.biHeight = -kThumbSize;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits && pixels.size() == static_cast<size_t>(kThumbSize * kThumbSize))
        std::memcpy(bits, pixels.data(), pixels.size() * sizeof pixels[0]);
    return bitmap;
}
