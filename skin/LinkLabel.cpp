#include "LinkLabel.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "KeyboardCues.h"

BEGIN_MESSAGE_MAP(CLinkLabel, CStatic)
    ON_WM_PAINT()
    ON_WM_SETCURSOR()
    ON_WM_LBUTTONDOWN()
    ON_MESSAGE(WM_SETFOCUS, &CLinkLabel::OnFocusChange)
    ON_MESSAGE(WM_KILLFOCUS, &CLinkLabel::OnFocusChange)
    ON_MESSAGE(WM_UPDATEUISTATE, &CLinkLabel::OnUpdateUiState)
    ON_MESSAGE(WM_GETDLGCODE, &CLinkLabel::OnGetDlgCode)
    ON_MESSAGE(WM_KEYDOWN, &CLinkLabel::OnKeyDown)
END_MESSAGE_MAP()

CLinkLabel::CLinkLabel()
    : m_crText(::GetSysColor(COLOR_WINDOWTEXT)), m_lf()
{
    m_hFont = ::CreateFontIndirectA(&m_lf);
}

CLinkLabel::~CLinkLabel()
{
    if (m_hFont)
        ::DeleteObject(m_hFont);
}

void CLinkLabel::PreSubclassWindow()
{
    CStatic::PreSubclassWindow();
    HFONT hFont = GetFont();
    if (!hFont)
        hFont = static_cast<HFONT>(::GetStockObject(SYSTEM_FONT));
    ::GetObjectA(hFont, sizeof(m_lf), &m_lf);
    RebuildFont();
    SetFaceName("Lucida Sans", 0);
    SetPointSize(8);
}

void CLinkLabel::RebuildFont()
{
    if (m_hFont)
        ::DeleteObject(m_hFont);
    m_hFont = ::CreateFontIndirectA(&m_lf);
}

void CLinkLabel::Repaint()
{
    if (!m_hWnd)
        return;
    HWND hParent = GetParentHwnd();
    if (!m_bTransparent || !hParent) {
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        return;
    }
    // A transparent label cannot wipe its old text: the parent repaints
    // what lies under it, and the label and any other child there then
    // draw again over that, in the one update, so no step shows the old
    // text under the new one nor the background alone.
    RECT rc;
    GetWindowRect(&rc);
    ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
    ::RedrawWindow(hParent, &rc, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

int CLinkLabel::PointSizeToHeight(int nPoints, HDC hdcRef)
{
    const int tenths = nPoints * 10;
    // A fixed 96 dots per inch: the layout of the windows is made for it.
    POINT pts[2] = { { 0, 0 }, { 0, tenths * 96 / 720 } };
    HDC hdc = hdcRef ? hdcRef : ::GetDC(nullptr);
    if (hdc)
        ::DPtoLP(hdc, pts, 2);
    if (!hdcRef && hdc)
        ::ReleaseDC(nullptr, hdc);
    return -std::abs(pts[1].y - pts[0].y);
}

void CLinkLabel::SetDpi(UINT dpi)
{
    m_dpi = dpi;
    SetPointSize(m_points);
}

CLinkLabel& CLinkLabel::SetForeColor(COLORREF crText)
{
    m_crText = crText;
    Repaint();
    return *this;
}

CLinkLabel& CLinkLabel::SetCaption(const char* text)
{
    if (m_hWnd)
        SetWindowText(text);
    Repaint();
    return *this;
}

CLinkLabel& CLinkLabel::SetBold(bool bBold)
{
    m_lf.lfWeight = bBold ? FW_BOLD : FW_NORMAL;
    RebuildFont();
    Repaint();
    return *this;
}

CLinkLabel& CLinkLabel::SetFaceName(const char* faceName, BYTE charSet)
{
    ::lstrcpynA(m_lf.lfFaceName, faceName ? faceName : "", LF_FACESIZE);
    m_lf.lfCharSet = charSet;
    RebuildFont();
    Repaint();
    return *this;
}

CLinkLabel& CLinkLabel::SetUnderline(bool bUnderline)
{
    m_lf.lfUnderline = bUnderline ? TRUE : FALSE;
    RebuildFont();
    Repaint();
    return *this;
}

CLinkLabel& CLinkLabel::SetItalic(bool bItalic)
{
    m_lf.lfItalic = bItalic ? TRUE : FALSE;
    RebuildFont();
    Repaint();
    return *this;
}

CLinkLabel& CLinkLabel::SetPointSize(int nPoints)
{
    // The height at 96 dots per inch, made as large as the screen's
    // resolution makes the rest of the window.
    m_points = nPoints;
    const UINT screen = m_dpi ? m_dpi : m_hWnd ? dpi::Of(m_hWnd) : dpi::kDesigned;
    m_lf.lfHeight = dpi::Scale(PointSizeToHeight(nPoints), screen);
    m_lf.lfWidth = 0;
    RebuildFont();
    Repaint();
    return *this;
}

CLinkLabel& CLinkLabel::SetTransparent(bool bTransparent)
{
    m_bTransparent = bTransparent;
    if (bTransparent && m_hWnd)
        ModifyStyleEx(0, WS_EX_TRANSPARENT);
    Repaint();
    return *this;
}

CLinkLabel& CLinkLabel::SetLinkMode(bool bLink, bool bNotifyParent)
{
    m_bLink = bLink;
    m_bNotifyParent = bNotifyParent;
    if (m_hWnd)
        ModifyStyle(bLink ? 0 : SS_NOTIFY, bLink ? SS_NOTIFY : 0);
    return *this;
}

CLinkLabel& CLinkLabel::SetLinkCursor(HCURSOR hCursor)
{
    m_hLinkCursor = hCursor;
    return *this;
}

CLinkLabel& CLinkLabel::SetAccessKey(char key)
{
    m_accessKey = key;
    if (m_hWnd)
        Invalidate(TRUE);
    return *this;
}

void CLinkLabel::Activate()
{
    if (!m_hWnd)
        return;
    const int id = GetDlgCtrlID();
    HWND parent = GetParentHwnd();
    if (m_bNotifyParent) {
        NMHDR header;
        header.hwndFrom = m_hWnd;
        header.idFrom = static_cast<UINT_PTR>(id);
        header.code = NM_LINKCLICK;
        ::SendMessageA(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    }
    // What the static itself reports for a click.
    ::SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, STN_CLICKED), reinterpret_cast<LPARAM>(m_hWnd));
}

void CLinkLabel::OnPaint()
{
    PAINTSTRUCT ps;
    HDC hdc = ::BeginPaint(m_hWnd, &ps);
    RECT rc;
    GetClientRect(&rc);
    CString text = GetWindowText();

    if (!m_bTransparent) {
        // An opaque label takes the background its parent gives statics.
        HBRUSH hBrush = reinterpret_cast<HBRUSH>(::SendMessageA(GetParentHwnd(), WM_CTLCOLORSTATIC,
                                                                reinterpret_cast<WPARAM>(hdc),
                                                                reinterpret_cast<LPARAM>(m_hWnd)));
        ::FillRect(hdc, &rc, hBrush ? hBrush : ::GetSysColorBrush(COLOR_3DFACE));
    }

    int oldMode = ::SetBkMode(hdc, TRANSPARENT);
    COLORREF oldColor = ::SetTextColor(hdc, m_crText);
    HGDIOBJ oldFont = ::SelectObject(hdc, m_hFont);

    const DWORD style = GetStyle();
    UINT format;
    switch (style & SS_TYPEMASK) {
    case SS_CENTER: format = DT_CENTER | DT_WORDBREAK; break;
    case SS_RIGHT: format = DT_RIGHT | DT_WORDBREAK; break;
    case SS_LEFTNOWORDWRAP: format = DT_LEFT; break;
    default: format = DT_LEFT | DT_WORDBREAK; break;
    }
    if (style & SS_CENTERIMAGE)
        format = text.Find("\r\n") >= 0 ? DT_CENTER : DT_SINGLELINE | DT_CENTER | DT_VCENTER;
    // The text as it is, or with its access key marked.
    std::string drawn = text.GetString();
    if (m_accessKey && !(style & SS_NOPREFIX)) {
        drawn = TextWithAccessKey(text, m_accessKey);
        format |= AccessKeyDrawFlags(m_hWnd);
    } else if (style & SS_NOPREFIX) {
        format |= DT_NOPREFIX;
    }
    ::DrawTextA(hdc, drawn.c_str(), -1, &rc, format);
    // A link with the keyboard's focus shows it around its text.
    if (m_bLink && ::GetFocus() == m_hWnd && !FocusCuesHidden(m_hWnd) && !drawn.empty()) {
        RECT focus = rc;
        ::DrawTextA(hdc, drawn.c_str(), -1, &focus, format | DT_CALCRECT);
        ::InflateRect(&focus, 1, 1);
        ::IntersectRect(&focus, &focus, &rc);
        ::SetTextColor(hdc, m_crText);
        ::DrawFocusRect(hdc, &focus);
    }

    ::SetBkMode(hdc, oldMode);
    ::SelectObject(hdc, oldFont);
    ::SetTextColor(hdc, oldColor);
    ::EndPaint(m_hWnd, &ps);
}

BOOL CLinkLabel::OnSetCursor(HWND hWnd, UINT nHitTest, UINT message)
{
    (void)hWnd;
    (void)nHitTest;
    (void)message;
    if (m_hLinkCursor) {
        ::SetCursor(m_hLinkCursor);
        return TRUE;
    }
    return static_cast<BOOL>(Default());
}

LRESULT CLinkLabel::OnFocusChange(WPARAM, LPARAM)
{
    const LRESULT result = Default();
    Repaint();
    return result;
}

LRESULT CLinkLabel::OnUpdateUiState(WPARAM, LPARAM)
{
    // The cues shown or hidden: the label draws them itself.
    const LRESULT result = Default();
    Repaint();
    return result;
}

LRESULT CLinkLabel::OnGetDlgCode(WPARAM, LPARAM lParam)
{
    LRESULT code = Default();
    // A link takes Enter itself, as a button would: it is what it opens.
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (m_bLink && msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
        code |= DLGC_WANTMESSAGE;
    return code;
}

LRESULT CLinkLabel::OnKeyDown(WPARAM wParam, LPARAM lParam)
{
    // A link with the focus opens with Space or Enter, once per press.
    const bool repeat = (lParam & (1 << 30)) != 0;
    if (m_bLink && !repeat && (wParam == VK_SPACE || wParam == VK_RETURN)) {
        Activate();
        return 0;
    }
    return Default();
}

void CLinkLabel::OnLButtonDown(UINT nFlags, POINT point)
{
    (void)nFlags;
    (void)point;
    if (m_bNotifyParent) {
        NMHDR header;
        header.hwndFrom = m_hWnd;
        header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
        header.code = NM_LINKCLICK;
        ::SendMessageA(GetParentHwnd(), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    }
    // The static itself reports STN_CLICKED (it has SS_NOTIFY).
    Default();
}
