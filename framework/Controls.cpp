#include "Controls.h"

#include <string>

#include "WinApp.h"

BEGIN_MESSAGE_MAP(CButton, CWnd)
    ON_WM_DRAWITEM_REFLECT()
END_MESSAGE_MAP()

BEGIN_MESSAGE_MAP(CStatic, CWnd)
    ON_WM_DRAWITEM_REFLECT()
END_MESSAGE_MAP()

BOOL CImageList::Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow)
{
    DeleteImageList();
    m_hImageList = ImageList_Create(cx, cy, nFlags, nInitial, nGrow);
    return m_hImageList != nullptr;
}

BOOL CImageList::DeleteImageList()
{
    if (!m_hImageList)
        return FALSE;
    ImageList_Destroy(m_hImageList);
    m_hImageList = nullptr;
    return TRUE;
}

int CListCtrl::InsertColumn(int nCol, const char* heading, int nFormat, int nWidth, int nSubItem)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_TEXT;
    column.fmt = nFormat;
    column.pszText = const_cast<char*>(heading ? heading : "");
    if (nWidth >= 0) {
        column.mask |= LVCF_WIDTH;
        column.cx = nWidth;
    }
    if (nSubItem >= 0) {
        column.mask |= LVCF_SUBITEM;
        column.iSubItem = nSubItem;
    }
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNA, static_cast<WPARAM>(nCol), reinterpret_cast<LPARAM>(&column)));
}

int CListCtrl::InsertItem(int nItem, const char* text, int nImage)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = nItem;
    item.pszText = const_cast<char*>(text ? text : "");
    if (nImage >= 0) {
        item.mask |= LVIF_IMAGE;
        item.iImage = nImage;
    }
    return InsertItem(&item);
}

int CListCtrl::InsertItem(const LVITEMA* pItem)
{
    return static_cast<int>(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(pItem)));
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, const char* text)
{
    LVITEMA item = {};
    item.iSubItem = nSubItem;
    item.pszText = const_cast<char*>(text ? text : "");
    return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTA, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item)));
}

CString CListCtrl::GetItemText(int nItem, int nSubItem) const
{
    // The control copies at most the buffer's size; grow until it fits.
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        LVITEMA item = {};
        item.iSubItem = nSubItem;
        item.pszText = &buffer[0];
        item.cchTextMax = static_cast<int>(buffer.size());
        int length = static_cast<int>(::SendMessageA(m_hWnd, LVM_GETITEMTEXTA, static_cast<WPARAM>(nItem),
                                                     reinterpret_cast<LPARAM>(&item)));
        if (length < 0)
            return CString();
        if (static_cast<size_t>(length) + 1 < buffer.size()) {
            buffer.resize(static_cast<size_t>(length));
            return CString(std::move(buffer));
        }
        buffer.assign(buffer.size() * 2, '\0');
    }
}

HIMAGELIST CListCtrl::SetImageList(CImageList* pImageList, int nImageListType)
{
    HIMAGELIST hList = pImageList ? pImageList->GetSafeHandle() : nullptr;
    return reinterpret_cast<HIMAGELIST>(SendMessage(LVM_SETIMAGELIST, static_cast<WPARAM>(nImageListType),
                                                    reinterpret_cast<LPARAM>(hList)));
}

BOOL CListCtrl::SetCheck(int nItem, BOOL bCheck)
{
    // State image 1 is unticked, 2 ticked.
    return SetItemState(nItem, INDEXTOSTATEIMAGEMASK(bCheck ? 2 : 1), LVIS_STATEIMAGEMASK);
}

BOOL CListCtrl::GetCheck(int nItem) const
{
    return ((GetItemState(nItem, LVIS_STATEIMAGEMASK) >> 12) - 1) == 1;
}

DWORD_PTR CListCtrl::GetItemData(int nItem) const
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    return GetItem(&item) ? static_cast<DWORD_PTR>(item.lParam) : 0;
}

BOOL CListCtrl::SetItemData(int nItem, DWORD_PTR dwData)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    item.lParam = static_cast<LPARAM>(dwData);
    return SetItem(&item);
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask)
{
    LVITEMA item = {};
    item.state = nState;
    item.stateMask = nMask;
    return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::GetItemRect(int nItem, RECT* pRect, UINT nCode) const
{
    pRect->left = static_cast<LONG>(nCode);
    return static_cast<BOOL>(::SendMessageA(m_hWnd, LVM_GETITEMRECT, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(pRect)));
}

CString CComboBox::GetLBText(int nIndex) const
{
    const LRESULT length = ::SendMessageA(m_hWnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(nIndex), 0);
    if (length == CB_ERR || length < 0)
        return CString();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied = ::SendMessageA(m_hWnd, CB_GETLBTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied == CB_ERR || copied < 0 ? 0 : static_cast<size_t>(copied));
    return CString(std::move(text));
}

BOOL CToolTipCtrl::Create(HWND hOwner, DWORD dwStyle, DWORD dwExStyle)
{
    HWND tip = ::CreateWindowExA(dwExStyle, TOOLTIPS_CLASSA, nullptr, WS_POPUP | dwStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, hOwner, nullptr, AfxGetInstanceHandle(), nullptr);
    if (!tip)
        return FALSE;
    if (!SubclassWindow(tip)) {
        ::DestroyWindow(tip);
        return FALSE;
    }
    return TRUE;
}

BOOL CToolTipCtrl::AddWindowTool(HWND hOwner, HWND hTool, char* text)
{
    TOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = hOwner;
    tool.uId = reinterpret_cast<UINT_PTR>(hTool);
    tool.lpszText = text;
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)));
}
