// The picture list: 64 x 64 thumbnails, one ticked item per picture, each
// carrying its own file's path. The items are the window's (m_pictures);
// the list control only knows their number and asks for the image and tick
// of each item it draws, so that listing ten thousand pictures costs no
// more than listing ten. The control does not keep ticks of items it does
// not own: a click on a tick box and the space bar are turned into ticks
// here.
#include "RecoveryDlg.h"

#include <algorithm>

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
    ShowPictureCount();
    m_listPictures.EnsureVisible(m_listPictures.GetItemCount() - 1, TRUE);
}

void CRecoveryDlg::AddThumbnail(const ThumbnailPixels& pixels, const CString& itemPath)
{
    // The control learns of the new item from ShowPictureCount, once for
    // all the items of a tick.
    m_pictures.Add(itemPath, pixels);
    m_knownFiles.insert(itemPath.str());
}

void CRecoveryDlg::ShowPictureCount()
{
    // Items only ever join at the end: what is on screen stays where it is,
    // and only the new items have to be drawn. Some list controls (Wine's)
    // draw all of an icon view again when told of new items anyway: what
    // was waiting to be drawn before is kept, the rest is taken back,
    // unless the list's client area changed (a scroll bar came).
    HRGN waiting = CreateRectRgn(0, 0, 0, 0);
    RECT before = {};
    m_listPictures.GetClientRect(&before);
    const bool keepWaiting = waiting && GetUpdateRgn(m_listPictures, waiting, FALSE) != ERROR;
    const int shown = m_listPictures.GetItemCount();
    m_listPictures.SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(m_pictures.Count()),
                               LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    RECT after = {};
    m_listPictures.GetClientRect(&after);
    const bool drawOnlyNew = keepWaiting && EqualRect(&before, &after);
    if (drawOnlyNew) {
        ::ValidateRect(m_listPictures, nullptr);
        ::InvalidateRgn(m_listPictures, waiting, TRUE);
    }
    if (waiting)
        DeleteObject(waiting);
    // Some list controls (Wine's) place the items of an owner-data icon
    // view only when asked to arrange them; the others keep them arranged
    // anyway. Items already in place are not moved.
    m_listPictures.SendMessage(LVM_ARRANGE, LVA_DEFAULT);
    if (drawOnlyNew) {
        for (int item = std::max(shown, 0); item < m_pictures.Count(); ++item) {
            RECT rect = {};
            rect.left = LVIR_BOUNDS;
            if (m_listPictures.SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rect)))
                ::InvalidateRect(m_listPictures, &rect, TRUE);
        }
    }
}

void CRecoveryDlg::ClearPictureList()
{
    m_listPictures.SendMessage(LVM_SETITEMCOUNT, 0, 0);
    m_bScrollPending = false;
    m_pictures.Clear();
    m_thumbSlots.Forget();
    m_knownFiles.clear();
}

CString CRecoveryDlg::GetPicturePath(int item)
{
    return m_pictures.Path(item);
}

void CRecoveryDlg::OnPictureDispInfo(NMHDR* header, LRESULT* result)
{
    *result = 0;
    // The A and W forms differ only in the text's characters.
    LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(header)->item;
    if (item.iItem < 0 || item.iItem >= m_pictures.Count())
        return;
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        if (header->code == LVN_GETDISPINFOW)
            reinterpret_cast<LVITEMW&>(item).pszText[0] = L'\0';
        else
            item.pszText[0] = '\0';
    }
    if (item.mask & LVIF_IMAGE)
        item.iImage = m_thumbSlots.SlotFor(item.iItem, m_pictures.Thumbnail(item.iItem));
    if (item.mask & LVIF_STATE) {
        item.state = (item.state & ~LVIS_STATEIMAGEMASK) |
                     INDEXTOSTATEIMAGEMASK(m_pictures.Ticked(item.iItem) ? 2 : 1);
    }
}

void CRecoveryDlg::OnPictureFindItem(NMHDR* header, LRESULT* result)
{
    (void)header;
    // Items have no text to find by typing.
    *result = -1;
}

void CRecoveryDlg::OnPictureClick(NMHDR* header, LRESULT* result)
{
    *result = 0;
    LVHITTESTINFO hit = {};
    hit.pt = reinterpret_cast<NMITEMACTIVATE*>(header)->ptAction;
    const int item = static_cast<int>(m_listPictures.SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (item >= 0 && (hit.flags & LVHT_ONITEMSTATEICON))
        SetPictureTicks({item}, !m_pictures.Ticked(item));
}

void CRecoveryDlg::OnPictureKeyDown(NMHDR* header, LRESULT* result)
{
    *result = 0;
    if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey != VK_SPACE)
        return;
    // Space ticks or unticks the selected items together, as the focused
    // one goes.
    const int focused = m_listPictures.GetNextItem(-1, LVNI_FOCUSED);
    if (focused < 0)
        return;
    std::vector<int> items;
    for (int item = m_listPictures.GetNextItem(-1, LVNI_SELECTED); item >= 0;
         item = m_listPictures.GetNextItem(item, LVNI_SELECTED))
        items.push_back(item);
    if (std::find(items.begin(), items.end(), focused) == items.end())
        items.push_back(focused);
    SetPictureTicks(items, !m_pictures.Ticked(focused));
}

void CRecoveryDlg::SetPictureTicks(const std::vector<int>& items, bool ticked)
{
    for (int item : items) {
        m_pictures.SetTicked(item, ticked);
        m_listPictures.SendMessage(LVM_REDRAWITEMS, static_cast<WPARAM>(item), item);
    }
}
