// The skinned dialog, link label and icon button drawn in real windows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "IconButton.h"
#include "LinkLabel.h"
#include "SkinDialog.h"
#include "SkinTestRes.h"

namespace {

const COLORREF kAzure = RGB(0, 128, 255);
const COLORREF kCyan = 0xFFFF00;
const COLORREF kMagenta = 0xFF00FF;
const UINT WM_TEST_RUN = WM_APP + 10;

// A skin of the main window's size: azure, with one red pixel at the top
// left and one green at the bottom right so the tile origins can be found.
HBITMAP MakeMarkedSkin()
{
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = 634;
    bmi.bmiHeader.biHeight = -464;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP hbm = ::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    DWORD* pixels = static_cast<DWORD*>(bits);
    for (int i = 0; i < 634 * 464; ++i)
        pixels[i] = 0x000080FF; // 0x00RRGGBB
    pixels[0] = 0x00FF0000;
    pixels[634 * 464 - 1] = 0x0000FF00;
    return hbm;
}

class CTestSkinDlg : public CSkinDialog {
public:
    CTestSkinDlg() : CSkinDialog(IDD_SKIN_TEST) {}

    CLinkLabel m_lblCaption, m_lblLink, m_lblCentred, m_lblPlain;
    CIconButton m_btnNext, m_btnWide, m_btnReload;
    std::function<void(CTestSkinDlg&)> m_onRun;
    int m_nNextClicks = 0;
    int m_nLinkClicks = 0;
    int m_nLinkNotifies = 0;

    // Client area of exactly cx x cy pixels.
    void SetClientSize(int cx, int cy)
    {
        RECT rc = { 0, 0, cx, cy };
        ::AdjustWindowRectEx(&rc, GetStyle(), FALSE, GetExStyle());
        SetWindowPos(nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top, SWP_NOMOVE | SWP_NOZORDER);
    }
    void RedrawAll() { RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN); }
    COLORREF Pixel(int x, int y)
    {
        HDC hdc = GetDC();
        COLORREF c = ::GetPixel(hdc, x, y);
        ReleaseDC(hdc);
        return c;
    }
    RECT ChildRect(const CWnd& child)
    {
        RECT rc;
        child.GetWindowRect(&rc);
        ScreenToClient(&rc);
        return rc;
    }
    // Bounding box (in the parent's client co-ordinates) of the pixels of
    // one colour inside rc; empty when there are none.
    RECT FindColor(const RECT& rc, COLORREF color, int* pCount = nullptr)
    {
        RECT box = { INT_MAX, INT_MAX, INT_MIN, INT_MIN };
        int count = 0;
        HDC hdc = GetDC();
        for (int y = rc.top; y < rc.bottom; ++y)
            for (int x = rc.left; x < rc.right; ++x)
                if (::GetPixel(hdc, x, y) == color) {
                    ++count;
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
        ReleaseDC(hdc);
        if (pCount)
            *pCount = count;
        return count ? box : RECT{ 0, 0, 0, 0 };
    }

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        CSkinDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_CAPTION, m_lblCaption);
        DDX_Control(pDX, IDC_LINK, m_lblLink);
        DDX_Control(pDX, IDC_CENTRED, m_lblCentred);
        DDX_Control(pDX, IDC_PLAIN, m_lblPlain);
        DDX_Control(pDX, IDC_NEXT, m_btnNext);
        DDX_Control(pDX, IDC_WIDE, m_btnWide);
        DDX_Control(pDX, IDC_RELOAD, m_btnReload);
    }
    BOOL OnInitDialog() override
    {
        CSkinDialog::OnInitDialog();
        SetBitmap(MakeMarkedSkin());
        for (CIconButton* b : { &m_btnNext, &m_btnWide, &m_btnReload }) {
            b->ShiftColor(0, 30);
            b->SetColor(1, kMagenta);
            b->SetColor(3, kCyan);
            b->SetColor(5, kCyan);
            b->SetButtonCursor(IDC_TEST_CURSOR);
            b->SetFlat(FALSE);
            b->SetTransparent(FALSE);
        }
        m_lblCaption.SetTransparent().SetFaceName("Ariel", 0).SetPointSize(9).SetForeColor(0xFFFFFF);
        m_lblLink.SetTransparent().SetFaceName("Ariel", 0).SetPointSize(9).SetForeColor(0x00FF00)
            .SetUnderline(true).SetLinkMode(true, true)
            .SetLinkCursor(::LoadCursorA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDC_TEST_CURSOR)));
        m_lblCentred.SetTransparent();
        // Focus on the edit box, so no button draws a focus frame.
        ::SetFocus(GetDlgItem(IDC_SAVE_DIR));
        PostMessage(WM_TEST_RUN);
        return FALSE;
    }
    LRESULT OnRun(WPARAM, LPARAM)
    {
        SetClientSize(700, 480);
        RedrawAll();
        if (m_onRun)
            m_onRun(*this);
        // Keeps the window up (still painting) for a look or a screenshot.
        if (const char* hold = std::getenv("QUORVANE_HOLD_MS")) {
            const DWORD end = ::GetTickCount() + static_cast<DWORD>(std::atoi(hold));
            while (::GetTickCount() < end) {
                MSG msg;
                while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                    ::DispatchMessageA(&msg);
                ::Sleep(20);
            }
        }
        EndDialog(IDOK);
        return 0;
    }
    void OnNext() { ++m_nNextClicks; }
    void OnLink() { ++m_nLinkClicks; }
    void OnLinkNotify(NMHDR*, LRESULT*) { ++m_nLinkNotifies; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestSkinDlg, CSkinDialog)
    ON_MESSAGE(WM_TEST_RUN, &CTestSkinDlg::OnRun)
    ON_BN_CLICKED(IDC_NEXT, &CTestSkinDlg::OnNext)
    ON_STN_CLICKED(IDC_LINK, &CTestSkinDlg::OnLink)
    ON_NOTIFY(CLinkLabel::NM_LINKCLICK, IDC_LINK, &CTestSkinDlg::OnLinkNotify)
END_MESSAGE_MAP()

void RunDialog(const std::function<void(CTestSkinDlg&)>& check)
{
    CTestSkinDlg dlg;
    dlg.m_onRun = check;
    ASSERT_EQ(IDOK, dlg.DoModal());
}

TEST(SkinDialog, TilesTheSkinFromTheTopLeftAndCutsItOff)
{
    RunDialog([](CTestSkinDlg& d) {
        RECT rc;
        d.GetClientRect(&rc);
        ASSERT_EQ(700, rc.right);
        ASSERT_EQ(480, rc.bottom);
        const COLORREF red = RGB(255, 0, 0), green = RGB(0, 255, 0);
        EXPECT_EQ(red, d.Pixel(0, 0));
        EXPECT_EQ(red, d.Pixel(634, 0));
        EXPECT_EQ(red, d.Pixel(0, 464));
        EXPECT_EQ(red, d.Pixel(634, 464));
        EXPECT_EQ(green, d.Pixel(633, 463));
        EXPECT_EQ(kAzure, d.Pixel(635, 1));
        EXPECT_EQ(kAzure, d.Pixel(699, 479));
    });
}

TEST(SkinDialog, MinimisedWindowPaintsNothingAndRestoringRepaints)
{
    RunDialog([](CTestSkinDlg& d) {
        d.ShowWindow(SW_MINIMIZE);
        RECT rc;
        d.GetClientRect(&rc);
        EXPECT_EQ(0, rc.right - rc.left);
        HDC hdc = d.GetDC();
        EXPECT_NE(0, d.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc)));
        d.ReleaseDC(hdc);
        d.ShowWindow(SW_RESTORE);
        d.RedrawAll();
        EXPECT_EQ(RGB(255, 0, 0), d.Pixel(634, 0));
    });
}

TEST(SkinDialog, SetBitmapResults)
{
    RunDialog([](CTestSkinDlg& d) {
        EXPECT_EQ(0, d.SetBitmap(IDB_TEST_SKIN));
        d.RedrawAll();
        EXPECT_EQ(kAzure, d.Pixel(0, 0)); // the one-colour 8 x 8 resource
        EXPECT_EQ(kAzure, d.Pixel(8 * 80 + 3, 8 * 55 + 5));

        EXPECT_EQ(0, d.SetBitmap(9999u)); // no such resource: no skin
        EXPECT_EQ(0, d.SetBitmap(static_cast<HBITMAP>(nullptr)));
        d.RedrawAll();
        EXPECT_EQ(::GetSysColor(COLOR_3DFACE), d.Pixel(2, 2));

        HBITMAP gone = ::CreateBitmap(4, 4, 1, 1, nullptr);
        ::DeleteObject(gone);
        EXPECT_EQ(1, d.SetBitmap(gone));
    });
}

TEST(LinkLabel, FontSetUpAndPointSizesAtFixed96Dpi)
{
    RunDialog([](CTestSkinDlg& d) {
        // Only made transparent: Lucida Sans, 8 points, window-text colour.
        EXPECT_STREQ("Lucida Sans", d.m_lblCentred.GetLogFont().lfFaceName);
        EXPECT_EQ(-10, d.m_lblCentred.GetLogFont().lfHeight);
        EXPECT_EQ(::GetSysColor(COLOR_WINDOWTEXT), d.m_lblCentred.GetForeColor());

        CLinkLabel& label = d.m_lblCaption;
        const int points[] = { 8, 9, 12, 14 };
        const int heights[] = { -10, -12, -16, -18 };
        for (int i = 0; i < 4; ++i) {
            label.SetPointSize(points[i]);
            EXPECT_EQ(heights[i], label.GetLogFont().lfHeight) << points[i] << " points";
            EXPECT_EQ(0, label.GetLogFont().lfWidth);
            EXPECT_STREQ("Ariel", label.GetLogFont().lfFaceName); // face kept
            LOGFONTA built = {};
            ::GetObjectA(label.GetLabelFont(), sizeof(built), &built);
            EXPECT_EQ(heights[i], built.lfHeight);
        }
        // The conversion reads no resolution: any device with the identity
        // mapping gives the same heights (Wine's DPI cannot be changed for
        // one running program, so a 120 dpi screen is not simulated here).
        HDC hdcMem = ::CreateCompatibleDC(nullptr);
        EXPECT_EQ(-10, CLinkLabel::PointSizeToHeight(8, hdcMem));
        EXPECT_EQ(-18, CLinkLabel::PointSizeToHeight(14, hdcMem));
        ::DeleteDC(hdcMem);
    });
}

TEST(LinkLabel, ShorterCaptionLeavesNoTraceOfTheLongerOne)
{
    RunDialog([](CTestSkinDlg& d) {
        RECT rc = d.ChildRect(d.m_lblCaption);
        int before = 0;
        d.FindColor(rc, RGB(255, 255, 255), &before);
        ASSERT_GT(before, 20); // the long template text in white

        d.m_lblCaption.SetCaption("Hi");
        RECT text = d.FindColor(rc, RGB(255, 255, 255));
        EXPECT_GT(text.right, text.left);
        EXPECT_LT(text.right - rc.left, 30); // only the short text is left
        RECT beyond = { rc.left + 30, rc.top, rc.right, rc.bottom };
        int trace = -1;
        d.FindColor(beyond, RGB(255, 255, 255), &trace);
        EXPECT_EQ(0, trace);
        EXPECT_EQ(kAzure, d.Pixel(rc.left + 60, (rc.top + rc.bottom) / 2));
    });
}

TEST(LinkLabel, LinkReportsClicksAndPlainLabelTakesNoMouseInput)
{
    RunDialog([](CTestSkinDlg& d) {
        EXPECT_TRUE(d.m_lblLink.GetStyle() & SS_NOTIFY);
        EXPECT_TRUE(d.m_lblLink.GetExStyle() & WS_EX_TRANSPARENT);
        d.m_lblLink.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        d.m_lblLink.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        EXPECT_EQ(1, d.m_nLinkNotifies);
        EXPECT_EQ(1, d.m_nLinkClicks);
        EXPECT_EQ(TRUE, d.m_lblLink.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(d.m_lblLink.m_hWnd),
                                                MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));

        EXPECT_FALSE(d.m_lblPlain.GetStyle() & SS_NOTIFY);
        EXPECT_EQ(HTTRANSPARENT, d.m_lblPlain.SendMessage(WM_NCHITTEST, 0, 0));
        d.m_lblLink.SetLinkMode(false, false);
        EXPECT_FALSE(d.m_lblLink.GetStyle() & SS_NOTIFY);
    });
}

TEST(LinkLabel, CentreImageStyleCentresOneLine)
{
    RunDialog([](CTestSkinDlg& d) {
        RECT rc = d.ChildRect(d.m_lblCentred);
        RECT text = d.FindColor(rc, ::GetSysColor(COLOR_WINDOWTEXT));
        ASSERT_GT(text.right, text.left);
        const int midY = (rc.top + rc.bottom) / 2, midX = (rc.left + rc.right) / 2;
        EXPECT_LE(std::abs((text.top + text.bottom) / 2 - midY), 2);
        // Glyph side bearings shift the inked box a little from the advance box.
        EXPECT_LE(std::abs((text.left + text.right) / 2 - midX), 5);

        // With a CR LF pair: several lines, centred horizontally only.
        d.m_lblCentred.SetCaption("One line\r\nand two");
        RECT lines = d.FindColor(rc, ::GetSysColor(COLOR_WINDOWTEXT));
        EXPECT_GT(lines.bottom - lines.top, 2 * (text.bottom - text.top));
        EXPECT_LE(lines.top - rc.top, 6); // top-aligned, not centred
        EXPECT_LE(std::abs((lines.left + lines.right) / 2 - midX), 5);
    });
}

TEST(IconButton, NormalAndPressedFaces)
{
    RunDialog([](CTestSkinDlg& d) {
        RECT rc = d.ChildRect(d.m_btnNext);
        EXPECT_TRUE((d.m_btnNext.GetStyle() & 0x1F) == BS_OWNERDRAW);
        // Raised border runs, the skin behind, a cyan caption.
        EXPECT_EQ(::GetSysColor(COLOR_BTNHIGHLIGHT), d.Pixel(rc.left, rc.top + 5));
        EXPECT_EQ(::GetSysColor(COLOR_3DLIGHT), d.Pixel(rc.left + 1, rc.top + 5));
        EXPECT_EQ(::GetSysColor(COLOR_3DDKSHADOW), d.Pixel(rc.right - 1, rc.top + 5));
        EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), d.Pixel(rc.right - 2, rc.top + 5));
        EXPECT_EQ(::GetSysColor(COLOR_3DDKSHADOW), d.Pixel(rc.left + 5, rc.bottom - 1));
        EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), d.Pixel(rc.left + 5, rc.bottom - 2));
        EXPECT_EQ(kAzure, d.Pixel(rc.left + 3, rc.top + 3));
        int cyan = 0;
        RECT normal = d.FindColor(rc, kCyan, &cyan);
        EXPECT_GT(cyan, 10);

        d.m_btnNext.SendMessage(BM_SETSTATE, TRUE);
        d.m_btnNext.UpdateWindow();
        EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), d.Pixel(rc.left, rc.top + 5));
        EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), d.Pixel(rc.right - 1, rc.top + 5));
        EXPECT_EQ(kAzure, d.Pixel(rc.left + 1, rc.top + 5));
        int magenta = 0;
        RECT pressed = d.FindColor(rc, kMagenta, &magenta);
        EXPECT_EQ(cyan, magenta);
        EXPECT_EQ(normal.left + 1, pressed.left);
        EXPECT_EQ(normal.top + 1, pressed.top);
        d.m_btnNext.SendMessage(BM_SETSTATE, FALSE);
    });
}

TEST(IconButton, WideCaptionWrapsAndStaysCentred)
{
    RunDialog([](CTestSkinDlg& d) {
        RECT rc = d.ChildRect(d.m_btnWide);
        RECT text = d.FindColor(rc, kCyan);
        ASSERT_GT(text.bottom, text.top);
        EXPECT_GT(text.bottom - text.top, 20); // more than one line
        EXPECT_LE(std::abs((text.top + text.bottom) - (rc.top + rc.bottom)), 4);
        EXPECT_LE(std::abs((text.left + text.right) - (rc.left + rc.right)), 4);
    });
}

TEST(IconButton, DoubleClickCountsAsTwoClicks)
{
    RunDialog([](CTestSkinDlg& d) {
        HWND h = d.m_btnNext.m_hWnd;
        const LPARAM pt = MAKELPARAM(5, 5);
        ::PostMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, pt);
        ::PostMessageA(h, WM_LBUTTONUP, 0, pt);
        ::PostMessageA(h, WM_LBUTTONDBLCLK, MK_LBUTTON, pt);
        ::PostMessageA(h, WM_LBUTTONUP, 0, pt);
        MSG msg;
        while (::PeekMessageA(&msg, h, 0, 0, PM_REMOVE)) {
            if (!AfxPreTranslateMessage(&msg, d.m_hWnd))
                ::DispatchMessageA(&msg);
        }
        EXPECT_EQ(2, d.m_nNextClicks);
        EXPECT_EQ(h, ::GetFocus()); // the click gave it the focus
    });
}

TEST(IconButton, SystemColourChangeBringsBackSystemCaptionColours)
{
    RunDialog([](CTestSkinDlg& d) {
        d.SendMessage(WM_SYSCOLORCHANGE);
        d.RedrawAll();
        EXPECT_EQ(::GetSysColor(COLOR_BTNTEXT), d.m_btnNext.GetColor(3));
        EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), d.m_btnNext.GetColor(0));
        RECT rc = d.ChildRect(d.m_btnNext);
        int cyan = -1, text = 0;
        d.FindColor(rc, kCyan, &cyan);
        d.FindColor(rc, ::GetSysColor(COLOR_BTNTEXT), &text);
        EXPECT_EQ(0, cyan);
        EXPECT_GT(text, 10);
    });
}

TEST(IconButton, DefaultButtonStateFollowsSetStyle)
{
    RunDialog([](CTestSkinDlg& d) {
        CIconButton& b = d.m_btnReload;
        EXPECT_TRUE(b.IsDefault());
        EXPECT_TRUE(b.SendMessage(WM_GETDLGCODE) & DLGC_DEFPUSHBUTTON);
        b.SendMessage(BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        EXPECT_FALSE(b.IsDefault());
        EXPECT_EQ(static_cast<DWORD>(BS_OWNERDRAW), b.GetStyle() & 0x1F);
        EXPECT_TRUE(b.SendMessage(WM_GETDLGCODE) & DLGC_UNDEFPUSHBUTTON);
        b.SendMessage(BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
        EXPECT_TRUE(b.IsDefault());
        EXPECT_EQ(static_cast<DWORD>(BS_OWNERDRAW), b.GetStyle() & 0x1F);
        EXPECT_FALSE(d.m_btnNext.IsDefault());
        EXPECT_EQ(TRUE, b.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(b.m_hWnd),
                                      MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
        EXPECT_EQ(reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)),
                  d.SendMessage(WM_CTLCOLORBTN, 0, reinterpret_cast<LPARAM>(b.m_hWnd)));
    });
}

TEST(IconButton, SettersRepaintOnlyWhenAsked)
{
    RunDialog([](CTestSkinDlg& d) {
        CIconButton& b = d.m_btnNext;
        ::ValidateRect(b.m_hWnd, nullptr);
        EXPECT_EQ(0, b.SetColor(3, kCyan, FALSE));
        EXPECT_EQ(0, b.SetButtonCursor(IDC_TEST_CURSOR, FALSE));
        EXPECT_FALSE(::GetUpdateRect(b.m_hWnd, nullptr, FALSE));
        // A cursor that does not load still replaced the old one: repaint.
        EXPECT_EQ(1, b.SetButtonCursor(9999, TRUE));
        EXPECT_TRUE(::GetUpdateRect(b.m_hWnd, nullptr, FALSE));
        EXPECT_EQ(0, b.SetButtonCursor(IDC_TEST_CURSOR, FALSE));
        b.UpdateWindow();
    });
}

TEST(IconButton, ColourSettersWorkedValuesAndRefusals)
{
    CIconButton b;
    EXPECT_EQ(0, b.SetColor(0, RGB(200, 240, 100), FALSE));
    EXPECT_EQ(0, b.ShiftColor(0, 30, FALSE));
    EXPECT_EQ(RGB(215, 255, 115), b.GetColor(0));
    EXPECT_EQ(0, b.SetColor(2, RGB(10, 100, 200), FALSE));
    EXPECT_EQ(0, b.ShiftColor(2, -30, FALSE));
    EXPECT_EQ(RGB(0, 90, 190), b.GetColor(2));

    const COLORREF before[] = { b.GetColor(0), b.GetColor(5) };
    EXPECT_EQ(3, b.SetColor(6, RGB(1, 2, 3), FALSE));
    EXPECT_EQ(3, b.SetColor(-1, RGB(1, 2, 3), FALSE));
    EXPECT_EQ(3, b.ShiftColor(6, 10, FALSE));
    EXPECT_EQ(5, b.ShiftColor(0, 256, FALSE));
    EXPECT_EQ(5, b.ShiftColor(0, -256, FALSE));
    EXPECT_EQ(before[0], b.GetColor(0));
    EXPECT_EQ(before[1], b.GetColor(5));

    EXPECT_EQ(1, b.SetButtonCursor(9999, FALSE));
    EXPECT_EQ(0, b.SetButtonCursor(IDC_TEST_CURSOR, FALSE));
    EXPECT_EQ(0, b.SetButtonCursor(0, FALSE));
    EXPECT_EQ(0, b.ResetColors(FALSE));
    EXPECT_EQ(::GetSysColor(COLOR_BTNTEXT), b.GetColor(1));
}

} // namespace
