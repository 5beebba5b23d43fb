// The picture list: 64 x 64 thumbnails, one ticked list item per picture,
// each carrying a heap copy of its file's path.
#include "RecoveryDlg.h"

#include <cstring>

#include "FileUtils.h"

HBITMAP CRecoveryDlg::MakeThumbnail(const CString& source)
{
    ThumbnailPixels pixels;
    RenderThumbnail(source, pixels);
    return ThumbnailBitmap(pixels);
}

bool CRecoveryDlg::CanDecodePicture(const CString& path)
{
    ThumbnailPixels pixels;
    return RenderThumbnail(path, pixels);
}

bool CRecoveryDlg::PlaceholderThumbnail(ThumbnailPixels& pixels)
{
    if (!m_bPlaceholderDrawn) {
        const CString icon = GetModuleFolder() + "icon.png";
        m_placeholder.clear();
        if (GetFileAttributesA(icon) != INVALID_FILE_ATTRIBUTES)
            RenderThumbnail(icon, m_placeholder);
        m_bPlaceholderDrawn = true;
    }
    if (m_placeholder.empty())
        return false;
    pixels = m_placeholder;
    return true;
}

void CRecoveryDlg::AddPicture(const CString& source, const CString& itemPath)
{
    ThumbnailPixels pixels;
    RenderThumbnail(source, pixels);
    AddThumbnail(pixels, itemPath);
    m_listPictures.EnsureVisible(m_listPictures.GetItemCount() - 1, TRUE);
}

void CRecoveryDlg::AddThumbnail(const ThumbnailPixels& pixels, const CString& itemPath)
{
    HBITMAP bitmap = ThumbnailBitmap(pixels);
    m_imageList.Add(bitmap, nullptr);
    DeleteObject(bitmap);

    // The path's copy belongs to the item it is attached to; a copy that
    // could not be attached would never be freed, so it is not kept.
    const size_t size = static_cast<size_t>(itemPath.GetLength()) + 1;
    char* path = new char[size];
    std::memcpy(path, itemPath.GetString(), size);

    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = m_nNextItem;
    item.pszText = const_cast<char*>("");
    item.iImage = m_nNextItem;
    item.lParam = reinterpret_cast<LPARAM>(path);
    const int index = m_listPictures.InsertItem(&item);
    // The tick goes on after the insert: with check boxes the list control
    // gives a new item an empty box whatever state it was inserted with.
    if (index >= 0)
        m_listPictures.SetCheck(index, TRUE);
    else
        delete[] path;
    m_knownFiles.insert(itemPath.str());
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
    m_knownFiles.clear();
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
