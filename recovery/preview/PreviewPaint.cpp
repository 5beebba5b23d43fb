#include "PreviewPaint.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

// The picture of width x height fitted into area, never enlarged, centred.
RECT FitInto(const RECT& area, unsigned width, unsigned height)
{
    const int aw = static_cast<int>(area.right - area.left), ah = static_cast<int>(area.bottom - area.top);
    double scale = std::min(static_cast<double>(aw) / width, static_cast<double>(ah) / height);
    scale = std::min(scale, 1.0);
    const int w = std::max(1, static_cast<int>(width * scale + 0.5));
    const int h = std::max(1, static_cast<int>(height * scale + 0.5));
    const int x = static_cast<int>(area.left) + (aw - w) / 2, y = static_cast<int>(area.top) + (ah - h) / 2;
    RECT rc = {x, y, x + w, y + h};
    return rc;
}

void DrawPicture(HDC hdc, const RECT& area, const PreviewImage& image, const CGdiBitmap& placeholder,
                 int lineHeight)
{
    if (area.right - area.left <= 0 || area.bottom - area.top <= 0)
        return;
    GpGraphics* graphics = nullptr;
    if (GdipCreateFromHDC(hdc, &graphics) != Ok)
        return;
    GdipSetClipRectI(graphics, area.left, area.top, area.right - area.left, area.bottom - area.top, CombineModeReplace);
    const DecodedPicture& shown = image.picture;
    if ((image.showing == PreviewShowing::Damaged || image.showing == PreviewShowing::Undrawn) && placeholder) {
        const UINT w = placeholder.Width(), h = placeholder.Height();
        const int x = (area.left + area.right - static_cast<int>(w)) / 2;
        const int y = (area.top + area.bottom - static_cast<int>(h)) / 2 - lineHeight;
        GdipDrawImageRectI(graphics, placeholder.Get(), x, y, static_cast<INT>(w), static_cast<INT>(h));
    } else if (shown && shown.width > 0 && shown.height > 0) {
        const RECT fit = FitInto(area, shown.width, shown.height);
        const int w = fit.right - fit.left, h = fit.bottom - fit.top;
        // The screen-sized copy at its own size is copied as it is.
        const bool same = w == shown.srcWidth && h == shown.srcHeight;
        GdipSetInterpolationMode(graphics, same ? InterpolationModeNearestNeighbor : InterpolationModeHighQualityBilinear);
        GdipSetPixelOffsetMode(graphics, PixelOffsetModeHalf);
        GdipDrawImageRectRectI(graphics, shown.image.Get(), fit.left, fit.top, w, h, shown.srcX, shown.srcY,
                               shown.srcWidth, shown.srcHeight, UnitPixel, nullptr, nullptr, nullptr);
    }
    GdipDeleteGraphics(graphics);
}

}  // namespace

void PaintPreview(HWND window, HDC dc, const RECT& dirty, const RECT& area, const PreviewImage& image,
                  const CGdiBitmap& placeholder, int lineHeight)
{
    RECT client;
    ::GetClientRect(window, &client);
    if (client.right <= 0 || client.bottom <= 0)
        return;
    HDC mem = ::CreateCompatibleDC(dc);
    HBITMAP buffer = ::CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ oldBitmap = ::SelectObject(mem, buffer);
    ::FillRect(mem, &client, ::GetSysColorBrush(COLOR_BTNFACE));
    RECT frame = area;
    ::InflateRect(&frame, 1, 1);
    ::FrameRect(mem, &frame, ::GetSysColorBrush(COLOR_BTNSHADOW));
    ::FillRect(mem, &area, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    DrawPicture(mem, area, image, placeholder, lineHeight);
    ::BitBlt(dc, dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, mem, dirty.left, dirty.top,
             SRCCOPY);
    ::SelectObject(mem, oldBitmap);
    ::DeleteObject(buffer);
    ::DeleteDC(mem);
}
