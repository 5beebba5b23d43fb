#include "IconButton.h"

#include <algorithm>
#include <string>

#include "KeyboardCues.h"

BEGIN_MESSAGE_MAP(CIconButton, CButton)
    ON_WM_SETCURSOR()
    ON_WM_SYSCOLORCHANGE()
    ON_WM_GETDLGCODE()
    ON_MESSAGE(BM_SETSTYLE, &CIconButton::OnSetStyle)
    ON_CONTROL_REFLECT(BN_CLICKED, &CIconButton::OnClicked)
    ON_WM_CTLCOLOR_REFLECT()
    ON_MESSAGE(WM_UPDATEUISTATE, &CIconButton::OnUpdateUiState)
END_MESSAGE_MAP()

namespace {
const DWORD kButtonTypeBits = 0x1F;

bool IsSlot(int nSlot) { return nSlot >= 0 && nSlot < CIconButton::COLOR_SLOTS; }

void Line(HDC hdc, int colorIndex, int x0, int y0, int x1, int y1, int x2, int y2)
{
    HPEN hPen = ::CreatePen(PS_SOLID, 1, ::GetSysColor(colorIndex));
    HGDIOBJ hOld = ::SelectObject(hdc, hPen);
    ::MoveToEx(hdc, x0, y0, nullptr);
    ::LineTo(hdc, x1, y1);
    ::LineTo(hdc, x2, y2);
    ::SelectObject(hdc, hOld);
    ::DeleteObject(hPen);
}
}

CIconButton::CIconButton()
{
    ResetColors(FALSE);
}

CIconButton::~CIconButton()
{
    ReleaseParentCopy();
    if (m_hCursor)
        ::DestroyCursor(m_hCursor);
}

void CIconButton::ReleaseParentCopy()
{
    if (m_dcParentCopy && m_hOldParentCopyBitmap)
        ::SelectObject(m_dcParentCopy, m_hOldParentCopyBitmap);
    if (m_bmpParentCopy)
        ::DeleteObject(m_bmpParentCopy);
    if (m_dcParentCopy)
        ::DeleteDC(m_dcParentCopy);
    m_dcParentCopy = nullptr;
    m_bmpParentCopy = nullptr;
    m_hOldParentCopyBitmap = nullptr;
}

int CIconButton::SetColor(int nSlot, COLORREF crColor, BOOL bRepaint)
{
    if (!IsSlot(nSlot))
        return RESULT_BAD_SLOT;
    m_colors[nSlot] = crColor;
    if (bRepaint && m_hWnd)
        Invalidate(TRUE);
    return RESULT_OK;
}

int CIconButton::ShiftColor(int nSlot, int nAmount, BOOL bRepaint)
{
    if (!IsSlot(nSlot))
        return RESULT_BAD_SLOT;
    if (nAmount < -255 || nAmount > 255)
        return RESULT_BAD_SHIFT;

    const int channels[3] = { GetRValue(m_colors[nSlot]), GetGValue(m_colors[nSlot]), GetBValue(m_colors[nSlot]) };
    // The largest shift no channel clips at, so the hue stays.
    int shift = nAmount;
    for (int c : channels) {
        if (nAmount > 0)
            shift = std::min(shift, c + nAmount <= 255 ? nAmount : 255 - c);
        else
            shift = std::max(shift, c + nAmount >= 0 ? nAmount : -c);
    }
    m_colors[nSlot] = RGB(channels[0] + shift, channels[1] + shift, channels[2] + shift);
    if (bRepaint && m_hWnd)
        Invalidate(TRUE);
    return RESULT_OK;
}

int CIconButton::ResetColors(BOOL bRepaint)
{
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF text = ::GetSysColor(COLOR_BTNTEXT);
    for (int slot = 0; slot < COLOR_SLOTS; slot += 2) {
        m_colors[slot] = face;
        m_colors[slot + 1] = text;
    }
    if (bRepaint && m_hWnd)
        Invalidate(TRUE);
    return RESULT_OK;
}

int CIconButton::SetButtonCursor(int nCursorId, BOOL bRepaint)
{
    if (m_hCursor)
        ::DestroyCursor(m_hCursor);
    m_hCursor = nullptr;
    if (nCursorId != 0) {
        m_hCursor = static_cast<HCURSOR>(::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nCursorId),
                                                      IMAGE_CURSOR, 0, 0, LR_DEFAULTCOLOR));
    }
    // The old cursor is gone either way, so a repaint is due even on failure.
    if (bRepaint && m_hWnd)
        Invalidate(TRUE);
    return m_hCursor || nCursorId == 0 ? RESULT_OK : RESULT_NO_CURSOR;
}

int CIconButton::SetFlat(BOOL bFlat, BOOL bRepaint)
{
    m_bFlat = bFlat;
    if (bRepaint && m_hWnd)
        Invalidate(TRUE);
    return RESULT_OK;
}

int CIconButton::SetTransparent(BOOL bRepaint)
{
    m_bTransparent = TRUE;
    ReleaseParentCopy();
    if (bRepaint && m_hWnd)
        Invalidate(TRUE);
    return RESULT_OK;
}

void CIconButton::PreSubclassWindow()
{
    CButton::PreSubclassWindow();
    if ((GetStyle() & kButtonTypeBits) == BS_DEFPUSHBUTTON)
        m_bDefault = TRUE;
    ModifyStyle(kButtonTypeBits, BS_OWNERDRAW, SWP_FRAMECHANGED);
}

void CIconButton::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    HDC hdc = lpDrawItemStruct->hDC;
    m_bPressed = (lpDrawItemStruct->itemState & ODS_SELECTED) != 0;
    m_bFocused = (lpDrawItemStruct->itemState & ODS_FOCUS) != 0;

    RECT rc = lpDrawItemStruct->rcItem;
    ::SetBkMode(hdc, TRANSPARENT);
    if (m_bTransparent) {
        CopyParentBackground(hdc);
    } else {
        const int faceSlot = m_bPressed ? COLOR_FACE_PRESSED : m_bFocused ? COLOR_FACE_FOCUS : COLOR_FACE_NORMAL;
        HBRUSH hFace = ::CreateSolidBrush(m_colors[faceSlot]);
        ::FillRect(hdc, &rc, hFace);
        ::DeleteObject(hFace);
    }
    DrawBorder(hdc, rc);

    CString caption = GetWindowText();
    m_prefixFlags = AccessKeyDrawFlags(m_hWnd);
    if (!caption.IsEmpty())
        DrawCaption(hdc, TextWithAccessKey(caption, m_accessKey).c_str(), lpDrawItemStruct->rcItem);

    // The focus, unless Windows hides it until the keyboard is used: a
    // dark frame inside the border, which shows on any face and skin, and
    // the dotted rectangle within it.
    const bool focusShown = m_bFocused && !(lpDrawItemStruct->itemState & ODS_NOFOCUSRECT);
    if (focusShown && !m_bPressed) {
        RECT rcFrame = rc;
        ::InflateRect(&rcFrame, -2, -2);
        ::FrameRect(hdc, &rcFrame, ::GetSysColorBrush(COLOR_WINDOWFRAME));
    }
    if (focusShown) {
        RECT rcFocus = rc;
        ::InflateRect(&rcFocus, -4, -4);
        ::SetTextColor(hdc, RGB(0, 0, 0));
        ::SetBkColor(hdc, RGB(255, 255, 255));
        ::DrawFocusRect(hdc, &rcFocus);
    }
}

void CIconButton::SetAccessKey(char key)
{
    m_accessKey = key;
    if (m_hWnd)
        Invalidate(TRUE);
}

LRESULT CIconButton::OnUpdateUiState(WPARAM, LPARAM)
{
    // The cues shown or hidden: the button draws them itself.
    const LRESULT result = Default();
    Invalidate(FALSE);
    return result;
}

void CIconButton::CopyParentBackground(HDC hdc)
{
    RECT rcClient;
    GetClientRect(&rcClient);
    const int width = rcClient.right;
    const int height = rcClient.bottom;
    HWND hParent = GetParentHwnd();

    if (!m_dcParentCopy && hParent) {
        RECT rcWindow;
        GetWindowRect(&rcWindow);
        ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rcWindow), 2);
        HDC hdcParent = ::GetDC(hParent);
        m_dcParentCopy = ::CreateCompatibleDC(hdcParent);
        m_bmpParentCopy = ::CreateCompatibleBitmap(hdcParent, width, height);
        if (m_dcParentCopy && m_bmpParentCopy) {
            m_hOldParentCopyBitmap = ::SelectObject(m_dcParentCopy, m_bmpParentCopy);
            ::BitBlt(m_dcParentCopy, 0, 0, width, height, hdcParent, rcWindow.left, rcWindow.top, SRCCOPY);
            // What the parent draws behind the button, rather than what the
            // screen shows there now: a window shown before its background
            // was drawn (opened maximised) would leave the copy black.
            POINT origin;
            ::SetViewportOrgEx(m_dcParentCopy, -rcWindow.left, -rcWindow.top, &origin);
            ::SendMessageA(hParent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(m_dcParentCopy), 0);
            ::SetViewportOrgEx(m_dcParentCopy, origin.x, origin.y, nullptr);
        }
        ::ReleaseDC(hParent, hdcParent);
        if (!m_hOldParentCopyBitmap)
            ReleaseParentCopy();
    }
    if (m_dcParentCopy)
        ::BitBlt(hdc, 0, 0, width, height, m_dcParentCopy, 0, 0, SRCCOPY);
}

void CIconButton::DrawBorder(HDC hdc, const RECT& rc)
{
    if (m_bPressed) {
        ::FrameRect(hdc, &rc, ::GetSysColorBrush(COLOR_BTNSHADOW));
        return;
    }
    if (m_bFlat)
        return;
    Line(hdc, COLOR_BTNHIGHLIGHT, rc.left, rc.bottom - 1, rc.left, rc.top, rc.right, rc.top);
    Line(hdc, COLOR_3DLIGHT, rc.left + 1, rc.bottom - 1, rc.left + 1, rc.top + 1, rc.right, rc.top + 1);
    Line(hdc, COLOR_3DDKSHADOW, rc.left, rc.bottom - 1, rc.right - 1, rc.bottom - 1, rc.right - 1, rc.top - 1);
    Line(hdc, COLOR_BTNSHADOW, rc.left + 1, rc.bottom - 2, rc.right - 2, rc.bottom - 2, rc.right - 2, rc.top);
}

void CIconButton::DrawCaption(HDC hdc, const char* caption, const RECT& rcArea)
{
    RECT area = rcArea;
    if (m_bPressed)
        ::OffsetRect(&area, m_ptPressedShift.x, m_ptPressedShift.y);

    RECT rcText = area;
    ::DrawTextA(hdc, caption, -1, &rcText, DT_WORDBREAK | DT_CENTER | DT_CALCRECT | m_prefixFlags);
    const int dx = ((area.right - area.left) - (rcText.right - rcText.left)) / 2;
    const int dy = ((area.bottom - area.top) - (rcText.bottom - rcText.top)) / 2;
    ::OffsetRect(&rcText, area.left + dx - rcText.left, area.top + dy - rcText.top);

    ::SetBkMode(hdc, TRANSPARENT);
    const int textSlot = m_bPressed ? COLOR_TEXT_PRESSED : m_bFocused ? COLOR_TEXT_FOCUS : COLOR_TEXT_NORMAL;
    ::SetTextColor(hdc, m_colors[textSlot]);
    ::DrawTextA(hdc, caption, -1, &rcText, DT_WORDBREAK | DT_CENTER | m_prefixFlags);
}

BOOL CIconButton::PreTranslateMessage(MSG* pMsg)
{
    // A fast second click is a click, not a double-click.
    if (pMsg->hwnd == m_hWnd && pMsg->message == WM_LBUTTONDBLCLK)
        pMsg->message = WM_LBUTTONDOWN;
    return CButton::PreTranslateMessage(pMsg);
}

BOOL CIconButton::OnSetCursor(HWND hWnd, UINT nHitTest, UINT message)
{
    (void)hWnd;
    (void)nHitTest;
    (void)message;
    if (m_hCursor) {
        ::SetCursor(m_hCursor);
        return TRUE;
    }
    return static_cast<BOOL>(Default());
}

void CIconButton::OnSysColorChange()
{
    Default();
    ReleaseParentCopy();
    ResetColors(TRUE);
}

UINT CIconButton::OnGetDlgCode()
{
    UINT code = static_cast<UINT>(Default());
    return code | (m_bDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

LRESULT CIconButton::OnSetStyle(WPARAM wParam, LPARAM lParam)
{
    const UINT type = static_cast<UINT>(wParam) & kButtonTypeBits;
    if (type == BS_DEFPUSHBUTTON)
        m_bDefault = TRUE;
    else if (type == BS_PUSHBUTTON)
        m_bDefault = FALSE;
    // The control keeps drawing itself whatever type is asked for.
    const WPARAM style = (wParam & ~static_cast<WPARAM>(0x14)) | BS_OWNERDRAW;
    return DefWindowProc(BM_SETSTYLE, style, lParam);
}

void CIconButton::OnClicked()
{
    SetFocus();
}

HBRUSH CIconButton::CtlColor(HDC hdc, UINT nCtlType)
{
    (void)hdc;
    (void)nCtlType;
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}
