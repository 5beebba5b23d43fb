// The picture list: 64 x 64 thumbnails drawn with GDI+, one ticked list item
// per picture, each carrying a heap copy of its file's path.
#include "RecoveryDlg.h"

#include <objidl.h>
#include <gdiplus.h>

#include <cstring>
#include <string>

#include "Thumbnail.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

const int kThumbSize = 64;
const ARGB kOpaqueWhite = 0xFFFFFFFF;

std::wstring ToWide(const CString& text)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

// Null when the file does not decode (or GDI+ is not running).
GpBitmap* DecodeFile(const CString& path)
{
    const std::wstring wide = ToWide(path);
    if (wide.empty())
        return nullptr;
    GpBitmap* image = nullptr;
    if (GdipCreateBitmapFromFile(wide.c_str(), &image) != Ok)
        return nullptr;
    return image;
}

// A plain white 64 x 64 bitmap, for when GDI+ cannot make one.
HBITMAP MakeWhiteBitmap()
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kThumbSize;
    info.bmiHeader.biHeight = kThumbSize;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        // 64 pixels of 3 bytes: rows need no padding.
        std::memset(bits, 0xFF, kThumbSize * kThumbSize * 3);
    }
    return bitmap;
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

HBITMAP CRecoveryDlg::MakeThumbnail(const CString& source)
{
    GpBitmap* image = DecodeFile(source);
    UINT width = 0;
    UINT height = 0;
    REAL dpiX = 0;
    REAL dpiY = 0;
    if (image) {
        GdipGetImageWidth(image, &width);
        GdipGetImageHeight(image, &height);
        GdipGetImageHorizontalResolution(image, &dpiX);
        GdipGetImageVerticalResolution(image, &dpiY);
    }

    GpBitmap* thumb = nullptr;
    GdipCreateBitmapFromScan0(kThumbSize, kThumbSize, 0, PixelFormat24bppRGB, nullptr, &thumb);
    HBITMAP result = nullptr;
    if (thumb) {
        if (dpiX > 0 && dpiY > 0)
            GdipBitmapSetResolution(thumb, dpiX, dpiY);
        GpGraphics* graphics = nullptr;
        GdipGetImageGraphicsContext(thumb, &graphics);
        if (graphics) {
            GdipGraphicsClear(graphics, kOpaqueWhite);
            GdipSetInterpolationMode(graphics, InterpolationModeHighQualityBicubic);
            // A source that did not decode leaves the thumbnail white; a
            // zero size would make the fit divide by zero.
            if (image && width > 0 && height > 0) {
                const ThumbnailRect rc = FitThumbnail(width, height);
                GdipDrawImageRectI(graphics, image, rc.x, rc.y, rc.width, rc.height);
            }
            GdipDeleteGraphics(graphics);
        }
        GdipCreateHBITMAPFromBitmap(thumb, &result, kOpaqueWhite);
        GdipDisposeImage(thumb);
    }
    if (image)
        GdipDisposeImage(image);
    if (!result)
        result = MakeWhiteBitmap();
    return result;
}

void CRecoveryDlg::AddPicture(const CString& source, const CString& itemPath)
{
    HBITMAP bitmap = MakeThumbnail(source);

    const int images = m_imageList.GetImageCount();
    m_imageList.SetImageCount(static_cast<UINT>(images + 1));
    m_imageList.Replace(images, bitmap, nullptr);

    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = m_nNextItem;
    item.pszText = const_cast<char*>("");
    item.iImage = m_nNextItem;
    const int index = m_listPictures.InsertItem(&item);

    // The copy belongs to the item it is attached to; a copy that could not
    // be attached would never be freed, so it is not kept.
    if (index >= 0) {
        const size_t size = static_cast<size_t>(itemPath.GetLength()) + 1;
        char* path = new char[size];
        std::memcpy(path, itemPath.GetString(), size);
        if (!m_listPictures.SetItemData(index, reinterpret_cast<DWORD_PTR>(path)))
            delete[] path;
        m_listPictures.SetCheck(index, TRUE);
    }

    DeleteObject(bitmap);
    if (index >= 0)
        m_listPictures.EnsureVisible(index, TRUE);
}

bool CRecoveryDlg::IsPictureListed(const CString& path)
{
    if (path.IsEmpty())
        return true;
    const int count = m_listPictures.GetItemCount();
    for (int i = 0; i < count; ++i) {
        const char* listed = reinterpret_cast<const char*>(m_listPictures.GetItemData(i));
        if (listed && std::strcmp(listed, path) == 0)
            return true;
    }
    return false;
}

bool CRecoveryDlg::CanDecodePicture(const CString& path)
{
    GpBitmap* image = DecodeFile(path);
    UINT flags = 0;
    if (image) {
        GdipGetImageFlags(image, &flags);
        GdipDisposeImage(image);
    }
    return flags != 0;
}

void CRecoveryDlg::ClearPictureList(bool alsoImages)
{
    if (m_listPictures.GetItemCount() > 0) {
        for (int i = 0; i < m_listPictures.GetItemCount(); ++i) {
            char* path = reinterpret_cast<char*>(m_listPictures.GetItemData(i));
            if (path) {
                // Detached before it is freed, so nothing can free it twice.
                m_listPictures.SetItemData(i, 0);
                delete[] path;
            }
        }
        m_listPictures.DeleteAllItems();
    }
    if (alsoImages) {
        m_imageList.Remove(-1);
        m_imageList.SetImageCount(0);
    }
}

CString CRecoveryDlg::GetPicturePath(int item)
{
    const char* path = reinterpret_cast<const char*>(m_listPictures.GetItemData(item));
    return CString(path);
}
