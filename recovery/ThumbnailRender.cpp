// Drawing a file into a 64 x 64 thumbnail with GDI+. Camera photos carry a
// small copy of themselves in their Exif data; drawing from it spares the
// decode of many megapixels, which is most of the time a card's intake
// would otherwise take.
#include "Thumbnail.h"

#include <objidl.h>
#include <gdiplus.h>
#include <shlwapi.h>

#include <cstring>
#include <mutex>
#include <string>

#include "PictureDecode.h"
#include "PictureItems.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

const ARGB kOpaqueWhite = 0xFFFFFFFF;
// Files above this size are decoded one at a time: a photo of many
// megapixels takes tens of megabytes while GDI+ scales it, and two at once
// would double the program's peak memory for little gain.
const LONGLONG kLargeFile = 512 * 1024;
std::mutex g_largeDecode;

// What to draw: the whole image, or a part of it standing for a picture of
// another size (an Exif thumbnail stands for its photo).
struct Source {
    GpBitmap* image = nullptr;
    int srcX = 0, srcY = 0, srcWidth = 0, srcHeight = 0;
    unsigned width = 0, height = 0;  // of the picture it stands for
};

Source ExifSource(const std::string& head, const JpegLayout& layout)
{
    Source source;
    const ExifThumbnail thumbnail = DecodeExifThumbnail(head, layout);
    if (!thumbnail.image)
        return source;
    source.image = thumbnail.image;
    source.srcX = thumbnail.x;
    source.srcY = thumbnail.y;
    source.srcWidth = thumbnail.width;
    source.srcHeight = thumbnail.height;
    source.width = layout.width;
    source.height = layout.height;
    return source;
}

// The whole of image, standing for a picture of width x height (its own
// size unless it is a smaller copy).
Source WholeSource(GpBitmap* image, unsigned width = 0, unsigned height = 0)
{
    Source source;
    source.image = image;
    if (!image)
        return source;
    UINT w = 0;
    UINT h = 0;
    GdipGetImageWidth(image, &w);
    GdipGetImageHeight(image, &h);
    source.srcWidth = static_cast<int>(w);
    source.srcHeight = static_cast<int>(h);
    source.width = width ? width : w;
    source.height = height ? height : h;
    return source;
}

CString LowerExtension(const CString& path)
{
    const int dot = path.ReverseFind('.');
    CString extension = dot < 0 ? CString() : path.Mid(dot);
    extension.MakeLower();
    return extension;
}

// Draws the source fitted on white into pixels; false when there was
// nothing to draw.
bool Draw(const Source& source, ThumbnailPixels& pixels)
{
    GpBitmap* thumb = nullptr;
    GdipCreateBitmapFromScan0(kThumbSize, kThumbSize, 0, PixelFormat32bppRGB, nullptr, &thumb);
    if (!thumb)
        return false;
    bool drawn = false;
    GpGraphics* graphics = nullptr;
    GdipGetImageGraphicsContext(thumb, &graphics);
    if (graphics) {
        GdipGraphicsClear(graphics, kOpaqueWhite);
        GdipSetInterpolationMode(graphics, InterpolationModeHighQualityBicubic);
        // A zero size would make the fit divide by zero.
        if (source.image && source.width > 0 && source.height > 0) {
            const ThumbnailRect rc = FitThumbnail(source.width, source.height);
            GdipDrawImageRectRectI(graphics, source.image, rc.x, rc.y, rc.width, rc.height, source.srcX,
                                   source.srcY, source.srcWidth, source.srcHeight, UnitPixel, nullptr, nullptr,
                                   nullptr);
            drawn = true;
        }
        GdipDeleteGraphics(graphics);
    }
    GpRect all = {0, 0, kThumbSize, kThumbSize};
    BitmapData data = {};
    if (GdipBitmapLockBits(thumb, &all, ImageLockModeRead, PixelFormat32bppRGB, &data) == Ok) {
        for (int row = 0; row < kThumbSize; ++row) {
            const auto* line = reinterpret_cast<const uint32_t*>(static_cast<const char*>(data.Scan0) +
                                                                 static_cast<ptrdiff_t>(row) * data.Stride);
            for (int col = 0; col < kThumbSize; ++col)
                pixels[static_cast<size_t>(row * kThumbSize + col)] = line[col] & 0xFFFFFF;
        }
        GdipBitmapUnlockBits(thumb, &data);
    }
    GdipDisposeImage(thumb);
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
    PictureDetails known;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
        known.bytes = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
        known.written = static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 |
                        data.ftLastWriteTime.dwLowDateTime;
    }

    // The first bytes tell a photo's size, camera and date, and hold its
    // Exif thumbnail: read once, for all of them.
    Source source;
    const CString extension = LowerExtension(path);
    const bool jpeg = extension == ".jpg" || extension == ".jpeg";
    const PictureType type = PictureTypeOf(path.str());
    // Most cameras' RAW files are TIFF inside: their tags name the camera
    // and the date, although the picture is not one this program draws.
    const bool tiff = extension == ".tif" || extension == ".tiff" || type == kTypeRaw;
    JpegLayout layout;
    bool jpegLayout = false;
    if (jpeg || (tiff && details)) {
        const std::string head = ReadPictureHead(path);
        const auto* bytes = reinterpret_cast<const unsigned char*>(head.data());
        jpegLayout = jpeg && ReadJpegLayout(bytes, head.size(), layout);
        if (jpegLayout)
            source = ExifSource(head, layout);
        else if (tiff)
            ReadTiffTags(bytes, head.size(), layout);
        known.taken = layout.taken;
        known.camera = CameraName(layout.make, layout.model);
    }

    // No Exif thumbnail, or one that is itself damaged: a photo at least
    // eight times the thumbnail's size from its DC values, the rest (and a
    // JPEG of a kind that does not give them) decoded whole.
    if (!source.image && jpegLayout && layout.width && layout.height) {
        const ThumbnailRect fit = FitThumbnail(layout.width, layout.height);
        if ((layout.width + 7) / 8 >= static_cast<unsigned>(fit.width) &&
            (layout.height + 7) / 8 >= static_cast<unsigned>(fit.height))
            source = WholeSource(DecodeJpegEighth(path), layout.width, layout.height);
    }
    std::unique_lock<std::mutex> large(g_largeDecode, std::defer_lock);
    if (!source.image && CanDrawPictureType(type)) {
        if (static_cast<LONGLONG>(known.bytes) > kLargeFile)
            large.lock();
        source = WholeSource(DecodePictureFile(path));
    }
    // A damaged JPEG: what decodes of it, the rest grey, rather than nothing.
    if (!source.image && jpegLayout && layout.width && layout.height)
        source = WholeSource(DecodeJpegEighth(path, true), layout.width, layout.height);
    const bool drawn = Draw(source, pixels);
    if (drawn) {
        known.width = source.width;
        known.height = source.height;
    }
    if (source.image)
        GdipDisposeImage(source.image);
    if (details)
        *details = std::move(known);
    return drawn;
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
