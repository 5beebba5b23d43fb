// The picture list: 64 x 64 thumbnails with their names, one ticked item
// per picture, each carrying its own file's path. The items are the
// window's (m_pictures), and m_view says which of them the list shows in
// what order; the list control only knows how many it shows and asks for
// the image, name and tick of each one it draws, so that listing ten
// thousand pictures costs no more than listing ten. The control does not
// keep ticks of items it does not own: a click on a tick box and the space
// bar are turned into ticks here.
#include "RecoveryDlg.h"

#include <algorithm>

#include "FileUtils.h"
#include "PictureDescription.h"
#include "resource.h"

namespace {

// Copies text into a control's buffer of the A or W kind, cut to fit.
void PutText(bool wide, void* buffer, int capacity, const CString& text)
{
    if (!buffer || capacity <= 0)
        return;
    if (wide) {
        auto* out = static_cast<wchar_t*>(buffer);
        if (!MultiByteToWideChar(CP_ACP, 0, text, -1, out, capacity))
            out[capacity - 1] = L'\0';
        out[capacity - 1] = L'\0';
    } else {
        lstrcpynA(static_cast<char*>(buffer), text, capacity);
    }
}

}  // namespace

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

void CRecoveryDlg::AddPicture(const CString& source, const CString& itemPath)
{
    ThumbnailPixels pixels;
    ::PictureDetails details;
    bool decodes = RenderThumbnail(source, pixels, &details);
    if (source != itemPath) {
        // The placeholder stands for a file that does not decode.
        details = ::PictureDetails();
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (GetFileAttributesExA(itemPath, GetFileExInfoStandard, &data))
            details.bytes = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
        decodes = false;
    }
    AddThumbnail(pixels, itemPath, details, decodes);
    ShowPictureCount();
    m_listPictures.EnsureVisible(m_listPictures.GetItemCount() - 1, TRUE);
}

void CRecoveryDlg::AddThumbnail(const ThumbnailPixels& pixels, const CString& itemPath)
{
    ::PictureDetails details;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (GetFileAttributesExA(itemPath, GetFileExInfoStandard, &data))
        details.bytes = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    AddThumbnail(pixels, itemPath, details, true);
}

void CRecoveryDlg::AddThumbnail(const ThumbnailPixels& pixels, const CString& itemPath,
                                const ::PictureDetails& details, bool decodes)
{
    NewFind find;
    find.path = itemPath;
    find.pixels = pixels;
    find.details = details;
    find.decodes = decodes;
    AddFind(find);
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
    m_listPictures.SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(m_view.Count()),
                               LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    RECT after = {};
    m_listPictures.GetClientRect(&after);
    const bool drawOnlyNew = keepWaiting && EqualRect(&before, &after) && !m_bListReordered;
    if (m_bListReordered)
        m_listPictures.Invalidate(TRUE);
    m_bListReordered = false;
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
        for (int item = std::max(shown, 0); item < m_view.Count(); ++item) {
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
    m_bListReordered = false;
    m_pictures.Clear();
    m_view.Clear();
    m_intake.ForgetListed();
    m_thumbSlots.Forget();
    m_recovered.Clear();
}

CString CRecoveryDlg::GetPicturePath(int position)
{
    return m_pictures.Path(m_view.ItemAt(position));
}

void CRecoveryDlg::OnPictureDispInfo(NMHDR* header, LRESULT* result)
{
    *result = 0;
    // The A and W forms differ only in the text's characters.
    LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(header)->item;
    const int picture = m_view.ItemAt(item.iItem);
    if (picture < 0)
        return;
    // The name goes under the thumbnail; the control cuts it to fit.
    if (item.mask & LVIF_TEXT)
        PutText(header->code == LVN_GETDISPINFOW, item.pszText, item.cchTextMax,
                m_pictures.Name(picture).c_str());
    if (item.mask & LVIF_IMAGE)
        item.iImage = m_thumbSlots.SlotFor(
            picture, m_pictures.Thumbnail(picture),
            (m_recovered.Has(picture) ? CThumbnailSlots::kRecovered : 0u) |
                (m_pictures.Damaged(picture) ? CThumbnailSlots::kDamaged : 0u));
    if (item.mask & LVIF_STATE) {
        item.state = (item.state & ~LVIS_STATEIMAGEMASK) |
                     INDEXTOSTATEIMAGEMASK(m_pictures.Ticked(picture) ? 2 : 1);
    }
}

void CRecoveryDlg::OnPictureFindItem(NMHDR* header, LRESULT* result)
{
    // Typing a name's first letters goes to the next picture so named.
    *result = -1;
    const auto* find = reinterpret_cast<NMLVFINDITEMA*>(header);
    if (!(find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find->lvfi.psz)
        return;
    CString wanted;
    if (header->code == LVN_ODFINDITEMW) {
        char text[MAX_PATH] = "";
        WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(find->lvfi.psz), -1, text, sizeof text,
                            nullptr, nullptr);
        wanted = text;
    } else {
        wanted = find->lvfi.psz;
    }
    const int length = wanted.GetLength();
    const int count = m_view.Count();
    if (length == 0 || count == 0)
        return;
    const int start = find->iStart >= 0 && find->iStart < count ? find->iStart : 0;
    for (int step = 0; step < count; ++step) {
        const int position = (start + step) % count;
        const std::string name = m_pictures.Name(m_view.ItemAt(position));
        if (static_cast<int>(name.size()) >= length &&
            CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.c_str(), length, wanted, length) ==
                CSTR_EQUAL) {
            *result = position;
            return;
        }
    }
}

void CRecoveryDlg::OnPictureClick(NMHDR* header, LRESULT* result)
{
    *result = 0;
    LVHITTESTINFO hit = {};
    hit.pt = reinterpret_cast<NMITEMACTIVATE*>(header)->ptAction;
    const int item = static_cast<int>(m_listPictures.SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (item >= 0 && (hit.flags & LVHT_ONITEMSTATEICON))
        SetPictureTicks({item}, !m_pictures.Ticked(m_view.ItemAt(item)));
}

void CRecoveryDlg::OnPictureDoubleClick(NMHDR* header, LRESULT* result)
{
    *result = 0;
    LVHITTESTINFO hit = {};
    hit.pt = reinterpret_cast<NMITEMACTIVATE*>(header)->ptAction;
    const int item = static_cast<int>(m_listPictures.SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (item < 0)
        return;
    // On a tick box the second click of a double click is a click like the
    // first; on the picture it opens the preview.
    if (hit.flags & LVHT_ONITEMSTATEICON)
        SetPictureTicks({item}, !m_pictures.Ticked(m_view.ItemAt(item)));
    else
        OpenPreview(item);
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
    SetPictureTicks(items, !m_pictures.Ticked(m_view.ItemAt(focused)));
}

void CRecoveryDlg::SetPictureTicks(const std::vector<int>& positions, bool ticked)
{
    for (int position : positions) {
        m_pictures.SetTicked(m_view.ItemAt(position), ticked);
        m_listPictures.SendMessage(LVM_REDRAWITEMS, static_cast<WPARAM>(position), position);
    }
    ShowCountLine(true);
}

void CRecoveryDlg::InitPictureTip()
{
    // The tool is the whole list; the tip is taken down whenever the
    // pointer goes to another picture, and shown again for that one.
    m_hPictureTip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                    AfxGetInstanceHandle(), nullptr);
    if (!m_hPictureTip)
        return;
    TOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(m_listPictures.m_hWnd);
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    ::SendMessageA(m_hPictureTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    // Lines of their own, as wide as a long folder needs.
    ::SendMessageA(m_hPictureTip, TTM_SETMAXTIPWIDTH, 0, 480);
    ::SendMessageA(m_hPictureTip, TTM_SETDELAYTIME, TTDT_AUTOPOP, 30000);
}

void CRecoveryDlg::TrackPictureTip(const MSG& msg)
{
    if (!m_hPictureTip)
        return;
    LVHITTESTINFO hit = {};
    hit.pt = {static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
    int position = static_cast<int>(m_listPictures.SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (!(hit.flags & (LVHT_ONITEMICON | LVHT_ONITEMLABEL)))
        position = -1;
    if (position != m_nTipItem) {
        ::SendMessageA(m_hPictureTip, TTM_POP, 0, 0);
        m_nTipItem = position;
    }
    MSG relayed = msg;
    ::SendMessageA(m_hPictureTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

LRESULT CRecoveryDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // The tip's questions name the list's window, not a control id.
    if (message == WM_NOTIFY && m_hPictureTip && reinterpret_cast<NMHDR*>(lParam)->hwndFrom == m_hPictureTip) {
        NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
        LRESULT result = 0;
        if (header->code == TTN_GETDISPINFOA || header->code == TTN_GETDISPINFOW)
            OnPictureTipText(header, &result);
        return result;
    }
    return CSkinDialog::WindowProc(message, wParam, lParam);
}

void CRecoveryDlg::OnPictureTipText(NMHDR* header, LRESULT* result)
{
    *result = 0;
    const int picture = m_view.ItemAt(m_nTipItem);
    m_strTip = picture >= 0 ? DescribePicture(m_pictures, picture) : CString();
    if (m_recovered.Has(picture))
        m_strTip += "\r\nAlready recovered into the save folder";
    if (header->code == TTN_GETDISPINFOW) {
        // Kept until the next question: the tip reads it after this returns.
        m_wideTip.assign(static_cast<size_t>(m_strTip.GetLength()) + 1, L'\0');
        MultiByteToWideChar(CP_ACP, 0, m_strTip, -1, &m_wideTip[0], static_cast<int>(m_wideTip.size()));
        reinterpret_cast<NMTTDISPINFOW*>(header)->lpszText = &m_wideTip[0];
    } else {
        reinterpret_cast<NMTTDISPINFOA*>(header)->lpszText = const_cast<char*>(m_strTip.GetString());
    }
}
