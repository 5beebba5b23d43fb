// Drawing a file into a 64 x 64 thumbnail with GDI+. Camera photos carry a
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
// nothing to draw.
bool Draw(const DecodedPicture& whole, ThumbnailPixels& pixels)
{
    // A picture many times the thumbnail's size is first box-reduced to
    // about twice it: the bicubic scale of millions of pixels would cost
    // as much as their decode, for no better a thumbnail.
    DecodedPicture reduced;
    if (whole && whole.width > 0 && whole.height > 0) {
        const ThumbnailRect fit = FitThumbnail(whole.width, whole.height);
        reduced = BoxReduced(whole, static_cast<unsigned>(std::max(1, 2 * fit.width)),
                             static_cast<unsigned>(std::max(1, 2 * fit.height)));
    }
    const DecodedPicture& picture = reduced ? reduced : whole;

    GpBitmap* made = nullptr;
    GdipCreateBitmapFromScan0(kThumbSize, kThumbSize, 0, PixelFormat32bppRGB, nullptr, &made);
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
            const ThumbnailRect rc = FitThumbnail(picture.width, picture.height);
            GdipDrawImageRectRectI(graphics, picture.image.Get(), rc.x, rc.y, rc.width, rc.height, picture.srcX,
                                   picture.srcY, picture.srcWidth, picture.srcHeight, UnitPixel, nullptr, nullptr,
                                   nullptr);
            drawn = true;
        }
        GdipDeleteGraphics(graphics);
    }
    GpRect all = {0, 0, kThumbSize, kThumbSize};
    BitmapData data = {};
    if (GdipBitmapLockBits(thumb.Get(), &all, ImageLockModeRead, PixelFormat32bppRGB, &data) == Ok) {
        for (int row = 0; row < kThumbSize; ++row) {
            const auto* line = reinterpret_cast<const uint32_t*>(static_cast<const char*>(data.Scan0) +
                                                                 static_cast<ptrdiff_t>(row) * data.Stride);
            for (int col = 0; col < kThumbSize; ++col)
                pixels[static_cast<size_t>(row * kThumbSize + col)] = line[col] & 0xFFFFFF;
        }
        GdipBitmapUnlockBits(thumb.Get(), &data);
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

bool RenderThumbnail(const CString& path, ThumbnailPixels& pixels, PictureDetails* details)
{
    pixels.assign(static_cast<size_t>(kThumbSize * kThumbSize), 0xFFFFFF);
    CPictureSource source(path);
    DecodedPicture picture = source.SmallCopy();
    // No Exif thumbnail, or one that is itself damaged: a copy that fills
    // the thumbnail (a photo at least eight times its size from its DC
    // values, a RAW's smallest JPEG that large), the rest decoded whole.
    unsigned width = 0, height = 0;
    if (!picture) {
        unsigned minWidth = kThumbSize, minHeight = kThumbSize;
        if (source.HeadSize(width, height)) {
            const ThumbnailRect fit = FitThumbnail(width, height);
            minWidth = static_cast<unsigned>(fit.width);
            minHeight = static_cast<unsigned>(fit.height);
        }
        picture = source.Reduced(minWidth, minHeight);
    }
    std::unique_lock<std::mutex> large(g_largeDecode, std::defer_lock);
    if (!picture && source.Draws()) {
        if (static_cast<LONGLONG>(source.Bytes()) > kLargeFile)
            large.lock();
        picture = source.Whole();
    }
    // A damaged JPEG: what decodes of it, the rest grey, rather than nothing.
    if (!picture)
        picture = source.Salvage();
    const bool drawn = Draw(picture, pixels);
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
