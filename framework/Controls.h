// Thin wrappers over the controls the program uses. Each is a CWnd bound to
// an existing control (usually by DDX_Control); the image list is a handle.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "String.h"
#include "Wnd.h"

class CButton : public CWnd {
public:
    int GetCheck() const { return static_cast<int>(::SendMessageA(m_hWnd, BM_GETCHECK, 0, 0)); }
    void SetCheck(int nCheck) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(nCheck)); }
    UINT GetState() const { return static_cast<UINT>(::SendMessageA(m_hWnd, BM_GETSTATE, 0, 0)); }
    void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE) { SendMessage(BM_SETSTYLE, nStyle, bRedraw); }
    // Reflected WM_DRAWITEM of an owner-drawn button.
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) { (void)lpDrawItemStruct; }

    DECLARE_MESSAGE_MAP()
};

class CStatic : public CWnd {
public:
    // Reflected WM_DRAWITEM of an owner-drawn static.
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) { (void)lpDrawItemStruct; }

    DECLARE_MESSAGE_MAP()
};

class CEdit : public CWnd {
public:
    void SetReadOnly(BOOL bReadOnly = TRUE) { SendMessage(EM_SETREADONLY, bReadOnly); }
    void SetSel(int nStart, int nEnd) { SendMessage(EM_SETSEL, static_cast<WPARAM>(nStart), nEnd); }
    void LimitText(int nChars) { SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(nChars)); }
};

class CComboBox : public CWnd {
public:
    // Index of the new entry, or CB_ERR / CB_ERRSPACE.
    int AddString(const char* text) { return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
    int GetCount() const { return static_cast<int>(::SendMessageA(m_hWnd, CB_GETCOUNT, 0, 0)); }
    // The selected entry, or CB_ERR when none is.
    int GetCurSel() const { return static_cast<int>(::SendMessageA(m_hWnd, CB_GETCURSEL, 0, 0)); }
    int SetCurSel(int nSelect) { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(nSelect))); }
    // An entry's text; empty for an index out of range.
    CString GetLBText(int nIndex) const;
    int SetDroppedWidth(int nWidth) { return static_cast<int>(SendMessage(CB_SETDROPPEDWIDTH, static_cast<WPARAM>(nWidth))); }
};

// A tip window of its own (a popup the caller's window owns).
class CToolTipCtrl : public CWnd {
public:
    BOOL Create(HWND hOwner, DWORD dwStyle = 0, DWORD dwExStyle = 0);
    // A tool that is a whole window (TTF_IDISHWND); text LPSTR_TEXTCALLBACKA
    // asks the owner for it (TTN_GETDISPINFO) each time.
    BOOL AddWindowTool(HWND hOwner, HWND hTool, char* text = LPSTR_TEXTCALLBACKA);
    int SetMaxTipWidth(int nWidth) { return static_cast<int>(SendMessage(TTM_SETMAXTIPWIDTH, 0, nWidth)); }
    void SetDelayTime(DWORD dwDuration, int nTime) { SendMessage(TTM_SETDELAYTIME, dwDuration, MAKELPARAM(nTime, 0)); }
    void Pop() { SendMessage(TTM_POP); }
    void RelayEvent(MSG* pMsg) { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(pMsg)); }
};

class CProgressCtrl : public CWnd {
public:
    void SetRange32(int nLower, int nUpper) { SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(nLower), nUpper); }
    int SetPos(int nPos) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(nPos))); }
    int GetPos() const { return static_cast<int>(::SendMessageA(m_hWnd, PBM_GETPOS, 0, 0)); }
    int SetStep(int nStep) { return static_cast<int>(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(nStep))); }
    int StepIt() { return static_cast<int>(SendMessage(PBM_STEPIT)); }
};

// Owns its image list: destroyed with the object (or by DeleteImageList).
class CImageList {
public:
    CImageList() = default;
    ~CImageList() { DeleteImageList(); }
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    BOOL Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow);
    BOOL DeleteImageList();
    HIMAGELIST GetSafeHandle() const { return m_hImageList; }
    operator HIMAGELIST() const { return m_hImageList; }

    int GetImageCount() const { return m_hImageList ? ImageList_GetImageCount(m_hImageList) : 0; }
    BOOL SetImageCount(UINT nNewCount) { return ImageList_SetImageCount(m_hImageList, nNewCount); }
    // Index of the new image, or -1.
    int Add(HBITMAP hbmImage, HBITMAP hbmMask = nullptr) { return ImageList_Add(m_hImageList, hbmImage, hbmMask); }
    BOOL Replace(int nImage, HBITMAP hbmImage, HBITMAP hbmMask = nullptr) { return ImageList_Replace(m_hImageList, nImage, hbmImage, hbmMask); }
    // nImage -1 removes every image.
    BOOL Remove(int nImage) { return ImageList_Remove(m_hImageList, nImage); }
    COLORREF SetBkColor(COLORREF cr) { return ImageList_SetBkColor(m_hImageList, cr); }

private:
    HIMAGELIST m_hImageList = nullptr;
};

class CListCtrl : public CWnd {
public:
    // Index of the new column, or -1.
    int InsertColumn(int nCol, const char* heading, int nFormat = LVCFMT_LEFT, int nWidth = -1, int nSubItem = -1);
    // Index of the new item, or -1. nImage -1: no image.
    int InsertItem(int nItem, const char* text, int nImage = -1);
    int InsertItem(const LVITEMA* pItem);
    BOOL SetItemText(int nItem, int nSubItem, const char* text);
    CString GetItemText(int nItem, int nSubItem) const;
    BOOL GetItem(LVITEMA* pItem) const { return static_cast<BOOL>(::SendMessageA(m_hWnd, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(pItem))); }
    BOOL SetItem(const LVITEMA* pItem) { return static_cast<BOOL>(SendMessage(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(pItem))); }
    BOOL DeleteItem(int nItem) { return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(nItem))); }
    BOOL DeleteAllItems() { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
    int GetItemCount() const { return static_cast<int>(::SendMessageA(m_hWnd, LVM_GETITEMCOUNT, 0, 0)); }
    // Next item after nItem (-1: from the start) with the LVNI_* flags, or -1.
    int GetNextItem(int nItem, int nFlags) const { return static_cast<int>(::SendMessageA(m_hWnd, LVM_GETNEXTITEM, static_cast<WPARAM>(nItem), nFlags)); }
    UINT GetSelectedCount() const { return static_cast<UINT>(::SendMessageA(m_hWnd, LVM_GETSELECTEDCOUNT, 0, 0)); }
    // Returns the previous extended style.
    DWORD SetExtendedStyle(DWORD dwNewStyle) { return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, dwNewStyle)); }
    DWORD GetExtendedStyle() const { return static_cast<DWORD>(::SendMessageA(m_hWnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0)); }
    // nImageListType: LVSIL_NORMAL, LVSIL_SMALL, LVSIL_STATE. Returns the previous list.
    HIMAGELIST SetImageList(CImageList* pImageList, int nImageListType);
    // Check boxes (LVS_EX_CHECKBOXES).
    BOOL SetCheck(int nItem, BOOL bCheck = TRUE);
    BOOL GetCheck(int nItem) const;
    DWORD_PTR GetItemData(int nItem) const;
    BOOL SetItemData(int nItem, DWORD_PTR dwData);
    BOOL SetItemState(int nItem, UINT nState, UINT nMask);
    UINT GetItemState(int nItem, UINT nMask) const { return static_cast<UINT>(::SendMessageA(m_hWnd, LVM_GETITEMSTATE, static_cast<WPARAM>(nItem), nMask)); }
    BOOL EnsureVisible(int nItem, BOOL bPartialOK) { return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(nItem), bPartialOK)); }
    BOOL GetItemRect(int nItem, RECT* pRect, UINT nCode) const;
};
