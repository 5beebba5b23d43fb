#include "SkinDialog.h"

#include <algorithm>

BEGIN_MESSAGE_MAP(CSkinDialog, CDialog)
    ON_WM_ERASEBKGND()
    ON_WM_SIZE()
    ON_MESSAGE(WM_CTLCOLORSTATIC, &CSkinDialog::OnCtlColorButtonLike)
    ON_MESSAGE(WM_CTLCOLORBTN, &CSkinDialog::OnCtlColorButtonLike)
END_MESSAGE_MAP()

CSkinDialog::CSkinDialog(UINT nIDTemplate, CWnd* pParent)
    : CDialog(nIDTemplate, pParent)
{
}

CSkinDialog::~CSkinDialog()
{
    ReleaseSkin();
}

void CSkinDialog::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
}

int CSkinDialog::SetBitmap(UINT nIDResource)
{
    HANDLE hImage = ::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource), IMAGE_BITMAP, 0, 0, 0);
    return SetBitmap(static_cast<HBITMAP>(hImage));
}

int CSkinDialog::SetBitmap(HBITMAP hBitmap)
{
    ReleaseSkin();
    if (hBitmap) {
        m_hSkinBitmap = hBitmap;
        BITMAP bm = {};
        if (::GetObjectA(hBitmap, sizeof(bm), &bm) == 0) {
            ReleaseSkin();
            return 1;
        }
        m_dwSkinWidth = static_cast<DWORD>(bm.bmWidth);
        m_dwSkinHeight = static_cast<DWORD>(bm.bmHeight);
    }
    if (m_hWnd)
        Invalidate(TRUE);
    return 0;
}

void CSkinDialog::ReleaseSkin()
{
    if (m_hSkinBitmap)
        ::DeleteObject(m_hSkinBitmap);
    m_hSkinBitmap = nullptr;
    m_dwSkinWidth = 0;
    m_dwSkinHeight = 0;
}

BOOL CSkinDialog::OnEraseBkgnd(HDC hdc)
{
    BOOL result = static_cast<BOOL>(Default());
    RECT rc;
    GetClientRect(&rc);
    DrawSkin(hdc, rc);
    return result;
}

void CSkinDialog::DrawSkin(HDC hdc, const RECT& area)
{
    if (!m_hSkinBitmap || m_dwSkinWidth == 0 || m_dwSkinHeight == 0)
        return;
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return; // minimised: nothing to draw

    // Composed off-screen and copied in one piece, so no half-tiled frame shows.
    HDC hdcBuffer = ::CreateCompatibleDC(hdc);
    HBITMAP hbmBuffer = ::CreateCompatibleBitmap(hdc, width, height);
    HDC hdcSkin = ::CreateCompatibleDC(hdc);
    if (hdcBuffer && hbmBuffer && hdcSkin) {
        HGDIOBJ hOldBuffer = ::SelectObject(hdcBuffer, hbmBuffer);
        const RECT whole = {0, 0, width, height};
        HBRUSH hFill = ::CreateSolidBrush(::GetBkColor(hdc));
        ::FillRect(hdcBuffer, &whole, hFill);
        ::DeleteObject(hFill);

        HGDIOBJ hOldSkin = ::SelectObject(hdcSkin, m_hSkinBitmap);
        // The tiles grow with the screen's resolution, as the controls do.
        const UINT screen = dpi::Of(m_hWnd);
        const int bitmapWidth = static_cast<int>(m_dwSkinWidth);
        const int bitmapHeight = static_cast<int>(m_dwSkinHeight);
        const int tileWidth = std::max(1, dpi::Scale(bitmapWidth, screen));
        const int tileHeight = std::max(1, dpi::Scale(bitmapHeight, screen));
        ::SetStretchBltMode(hdcBuffer, HALFTONE);
        ::SetBrushOrgEx(hdcBuffer, 0, 0, nullptr);
        // Tiled from the client area's corner, wherever the part drawn lies.
        const int firstX = -(std::max(0L, area.left) % tileWidth);
        const int firstY = -(std::max(0L, area.top) % tileHeight);
        for (int y = firstY; y < height; y += tileHeight)
            for (int x = firstX; x < width; x += tileWidth) {
                if (tileWidth == bitmapWidth && tileHeight == bitmapHeight)
                    ::BitBlt(hdcBuffer, x, y, tileWidth, tileHeight, hdcSkin, 0, 0, SRCCOPY);
                else
                    ::StretchBlt(hdcBuffer, x, y, tileWidth, tileHeight, hdcSkin, 0, 0, bitmapWidth, bitmapHeight,
                                 SRCCOPY);
            }
        ::BitBlt(hdc, 0, 0, width, height, hdcBuffer, 0, 0, SRCCOPY);

        ::SelectObject(hdcSkin, hOldSkin);
        ::SelectObject(hdcBuffer, hOldBuffer);
    }
    if (hdcSkin)
        ::DeleteDC(hdcSkin);
    if (hbmBuffer)
        ::DeleteObject(hbmBuffer);
    if (hdcBuffer)
        ::DeleteDC(hdcBuffer);
}

// A check box or option button placed on the skin shows the skin behind its
// box and text (white, as the window's labels), not the system's grey.
LRESULT CSkinDialog::OnCtlColorButtonLike(WPARAM wParam, LPARAM lParam)
{
    HDC hdc = reinterpret_cast<HDC>(wParam);
    HWND child = reinterpret_cast<HWND>(lParam);
    char cls[16] = {};
    ::GetClassNameA(child, cls, sizeof cls);
    const LONG type = ::GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK;
    const bool checkLike = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
                           type == BS_AUTO3STATE || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
    if (!m_hSkinBitmap || lstrcmpiA(cls, "Button") != 0 || !checkLike)
        return Default();
    RECT place;
    ::GetWindowRect(child, &place);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
    DrawSkin(hdc, place);
    ::SetBkMode(hdc, TRANSPARENT);
    ::SetTextColor(hdc, ::IsWindowEnabled(child) ? RGB(255, 255, 255) : RGB(192, 192, 192));
    return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
}

void CSkinDialog::OnSize(UINT nType, int cx, int cy)
{
    (void)nType;
    (void)cx;
    (void)cy;
    Default();
    if (m_hSkinBitmap)
        Invalidate(TRUE);
}
