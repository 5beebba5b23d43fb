#include "BoxReduce.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstdint>
#include <vector>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

DecodedPicture BoxReduced(const DecodedPicture& picture, unsigned minWidth, unsigned minHeight)
{
    DecodedPicture reduced;
    if (!picture || picture.srcWidth <= 0 || picture.srcHeight <= 0 || minWidth == 0 || minHeight == 0)
        return reduced;
    const unsigned srcWidth = static_cast<unsigned>(picture.srcWidth);
    const unsigned srcHeight = static_cast<unsigned>(picture.srcHeight);
    const unsigned factor = std::min(srcWidth / minWidth, srcHeight / minHeight);
    if (factor < 2)
        return reduced;
    const unsigned width = srcWidth / factor;
    const unsigned height = srcHeight / factor;

    GpBitmap* made = nullptr;
    GdipCreateBitmapFromScan0(static_cast<INT>(width), static_cast<INT>(height), 0, PixelFormat24bppRGB, nullptr,
                              &made);
    CGdiBitmap image(made);
    if (!image)
        return reduced;
    GpRect all = {0, 0, static_cast<INT>(width), static_cast<INT>(height)};
    BitmapData out = {};
    if (GdipBitmapLockBits(image.Get(), &all, ImageLockModeWrite, PixelFormat24bppRGB, &out) != Ok)
        return reduced;

    // Read in the picture's own pixel format where it is one of the common
    // ones: asked for another, GDI+ converts every pixel it hands out, which
    // costs about what the decode did. A band of factor rows at a time: a
    // converted picture's whole buffer would be tens of megabytes. Each
    // pixel is put on white by its alpha before the mean is taken.
    PixelFormat format = PixelFormat32bppARGB;
    GdipGetImagePixelFormat(picture.image.Get(), &format);
    if (format != PixelFormat24bppRGB && format != PixelFormat32bppRGB && format != PixelFormat32bppPARGB)
        format = PixelFormat32bppARGB;
    const unsigned step = format == PixelFormat24bppRGB ? 3 : 4;
    std::vector<uint64_t> sums(static_cast<size_t>(width) * 3);
    const uint64_t divisor = 255ull * factor * factor;
    bool read = true;
    for (unsigned row = 0; row < height && read; ++row) {
        std::fill(sums.begin(), sums.end(), 0);
        GpRect band = {picture.srcX, picture.srcY + static_cast<INT>(row * factor), static_cast<INT>(width * factor),
                       static_cast<INT>(factor)};
        BitmapData in = {};
        if (GdipBitmapLockBits(picture.image.Get(), &band, ImageLockModeRead, format, &in) != Ok) {
            read = false;
            break;
        }
        for (unsigned y = 0; y < factor; ++y) {
            const auto* line = static_cast<const uint8_t*>(in.Scan0) + static_cast<ptrdiff_t>(y) * in.Stride;
            for (unsigned col = 0; col < width; ++col) {
                uint64_t* sum = &sums[static_cast<size_t>(col) * 3];
                for (unsigned x = 0; x < factor; ++x, line += step) {
                    if (step == 3 || format == PixelFormat32bppRGB) {
                        sum[0] += 255u * line[0];
                        sum[1] += 255u * line[1];
                        sum[2] += 255u * line[2];
                    } else if (format == PixelFormat32bppPARGB) {
                        const unsigned white = 255u - line[3];
                        sum[0] += 255u * (line[0] + white);
                        sum[1] += 255u * (line[1] + white);
                        sum[2] += 255u * (line[2] + white);
                    } else {
                        const unsigned alpha = line[3];
                        const unsigned white = 255u * (255u - alpha);
                        sum[0] += line[0] * alpha + white;
                        sum[1] += line[1] * alpha + white;
                        sum[2] += line[2] * alpha + white;
                    }
                }
            }
        }
        GdipBitmapUnlockBits(picture.image.Get(), &in);
        auto* to = static_cast<uint8_t*>(out.Scan0) + static_cast<ptrdiff_t>(row) * out.Stride;
        for (size_t i = 0; i < sums.size(); ++i)
            to[i] = static_cast<uint8_t>(std::min<uint64_t>(255, (sums[i] + divisor / 2) / divisor));
    }
    GdipBitmapUnlockBits(image.Get(), &out);
    if (!read)
        return reduced;
    reduced.image = std::move(image);
    reduced.srcWidth = static_cast<int>(width);
    reduced.srcHeight = static_cast<int>(height);
    reduced.width = picture.width;
    reduced.height = picture.height;
    return reduced;
}
