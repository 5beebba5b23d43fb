// Pictures made by tests with GDI+ (which the test must have started), and
// camera-style Exif blocks put into JPEGs.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <string>
#include <vector>

#include "UiTest.h"

namespace uitest {

inline bool EncoderFor(const wchar_t* mime, CLSID& clsid)
{
    using namespace Gdiplus::DllExports;
    UINT count = 0;
    UINT size = 0;
    if (GdipGetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0)
        return false;
    std::vector<char> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (GdipGetImageEncoders(count, size, codecs) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i) {
        if (lstrcmpW(codecs[i].MimeType, mime) == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

// A w x h picture of one colour, with black bars of barHeight at top and
// bottom, saved as mime ("image/png", "image/jpeg", "image/bmp", "image/tiff").
inline bool SavePicture(const std::string& path, int w, int h, uint32_t rgb, const wchar_t* mime, int barHeight = 0)
{
    using namespace Gdiplus::DllExports;
    CLSID clsid;
    if (!EncoderFor(mime, clsid))
        return false;
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(w, h, 0, PixelFormat24bppRGB, nullptr, &bitmap) != Gdiplus::Ok)
        return false;
    Gdiplus::GpGraphics* graphics = nullptr;
    GdipGetImageGraphicsContext(bitmap, &graphics);
    GdipGraphicsClear(graphics, 0xFF000000u);
    Gdiplus::GpSolidFill* brush = nullptr;
    GdipCreateSolidFill(0xFF000000u | rgb, &brush);
    GdipFillRectangleI(graphics, brush, 0, barHeight, w, h - 2 * barHeight);
    GdipDeleteBrush(brush);
    GdipDeleteGraphics(graphics);
    const std::wstring wide(path.begin(), path.end());
    const bool saved = GdipSaveImageToFile(bitmap, wide.c_str(), &clsid, nullptr) == Gdiplus::Ok;
    GdipDisposeImage(bitmap);
    return saved;
}

// The bytes of such a JPEG, made in folder under name.
inline std::string JpegBytes(const TempFolder& folder, const char* name, int w, int h, uint32_t rgb, int barHeight = 0)
{
    const std::string path = folder.Join(name);
    return SavePicture(path, w, h, rgb, L"image/jpeg", barHeight) ? ReadFileBytes(path) : std::string();
}

inline void Put16(std::string& s, unsigned v)
{
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}

inline void Put32(std::string& s, unsigned v)
{
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

// The JPEG with an APP1 Exif block holding tiff (little-endian TIFF
// structure, offsets from its start) right after its start, as cameras put it.
inline std::string WithExif(const std::string& main, const std::string& tiff)
{
    const std::string body = std::string("Exif\0\0", 6) + tiff;
    const size_t length = body.size() + 2;
    std::string app1 = "\xFF\xE1";
    app1 += static_cast<char>(length >> 8);
    app1 += static_cast<char>(length & 0xFF);
    return main.substr(0, 2) + app1 + body + main.substr(2);
}

// The JPEG with an Exif block whose IFD1 names thumb as its thumbnail.
inline std::string WithExifThumbnail(const std::string& main, const std::string& thumb)
{
    std::string tiff("II*\0", 4);
    Put32(tiff, 8);   // IFD0 at 8
    Put16(tiff, 0);   // no entries
    Put32(tiff, 14);  // IFD1 at 14
    Put16(tiff, 2);
    Put16(tiff, 0x0201), Put16(tiff, 4), Put32(tiff, 1), Put32(tiff, 14 + 2 + 24 + 4);
    Put16(tiff, 0x0202), Put16(tiff, 4), Put32(tiff, 1), Put32(tiff, static_cast<unsigned>(thumb.size()));
    Put32(tiff, 0);
    tiff += thumb;
    return WithExif(main, tiff);
}

}  // namespace uitest
