// The layout's anchors against a real window resized, the crackers it is
// used with, and the combo box and tip wrappers.
#include <gtest/gtest.h>

#include "Framework.h"

namespace {

RECT PlaceIn(HWND parent, HWND child)
{
    RECT rc;
    ::GetWindowRect(child, &rc);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

void ExpectPlace(HWND parent, HWND child, LONG left, LONG top, LONG right, LONG bottom, const char* what)
{
    const RECT rc = PlaceIn(parent, child);
    EXPECT_EQ(left, rc.left) << what;
    EXPECT_EQ(top, rc.top) << what;
    EXPECT_EQ(right, rc.right) << what;
    EXPECT_EQ(bottom, rc.bottom) << what;
}

// A resizable top-level window that places its children again on WM_SIZE,
// keeps a least size and notes its activations.
class CResizingWnd : public CWnd {
public:
    CLayout m_layout;
    POINT m_minTrack = {0, 0};
    UINT m_activeState = 99;
    HWND m_activeOther = nullptr;
    BOOL m_activeMinimized = -1;

    // Client width x height at the start.
    bool Create(int width, int height)
    {
        RECT frame = {0, 0, width, height};
        ::AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
        HWND wnd = ::CreateWindowExA(0, "STATIC", "layout", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 40, 40,
                                     frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                     ::GetModuleHandleA(nullptr), nullptr);
        return wnd && SubclassWindow(wnd);
    }
    HWND Child(const RECT& rc)
    {
        return ::CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE, rc.left, rc.top, rc.right - rc.left,
                                 rc.bottom - rc.top, m_hWnd, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    }
    // Client area of width x height.
    void SizeClient(int width, int height)
    {
        RECT frame = {0, 0, width, height};
        ::AdjustWindowRectEx(&frame, GetStyle(), FALSE, GetExStyle());
        SetWindowPos(nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

protected:
    void OnSize(UINT type, int cx, int cy)
    {
        if (type != SIZE_MINIMIZED)
            m_layout.Resize(cx, cy);
    }
    void OnGetMinMaxInfo(MINMAXINFO* info) { info->ptMinTrackSize = m_minTrack; }
    void OnActivate(UINT state, HWND other, BOOL minimized)
    {
        m_activeState = state;
        m_activeOther = other;
        m_activeMinimized = minimized;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CResizingWnd, CWnd)
    ON_WM_SIZE()
    ON_WM_GETMINMAXINFO()
    ON_WM_ACTIVATE()
END_MESSAGE_MAP()

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_wnd.Create(400, 300)); }
    void TearDown() override { m_wnd.DestroyWindow(); }
    CResizingWnd m_wnd;
};

TEST_F(LayoutTest, ChildrenFollowTheEdgesTheyAreAnchoredToAndComeBack)
{
    CLayout& layout = m_wnd.m_layout;
    layout.Init(m_wnd);
    HWND fixed = m_wnd.Child({10, 10, 60, 30});
    HWND corner = m_wnd.Child({300, 260, 390, 290});
    HWND strip = m_wnd.Child({10, 40, 390, 60});
    HWND area = m_wnd.Child({10, 70, 250, 250});
    HWND panel = m_wnd.Child({260, 70, 390, 250});
    HWND bottom = m_wnd.Child({10, 260, 290, 290});
    layout.Add(fixed);
    layout.Add(corner, anchor::Move);
    layout.Add(strip, anchor::SizeX);
    layout.Add(area, anchor::Size);
    layout.Add(panel, anchor::MoveX | anchor::SizeY);
    layout.Add(bottom, anchor::MoveY | anchor::SizeX);

    m_wnd.SizeClient(520, 380);  // 120 wider, 80 taller
    ExpectPlace(m_wnd, fixed, 10, 10, 60, 30, "fixed");
    ExpectPlace(m_wnd, corner, 420, 340, 510, 370, "corner");
    ExpectPlace(m_wnd, strip, 10, 40, 510, 60, "strip");
    ExpectPlace(m_wnd, area, 10, 70, 370, 330, "area");
    ExpectPlace(m_wnd, panel, 380, 70, 510, 330, "panel");
    ExpectPlace(m_wnd, bottom, 10, 340, 410, 370, "bottom");
    const RECT expected = PlaceIn(m_wnd, panel);
    const RECT told = layout.Place(panel);
    EXPECT_TRUE(::EqualRect(&expected, &told));

    // Smaller than at the start, then back: no drift on the way.
    m_wnd.SizeClient(350, 280);
    ExpectPlace(m_wnd, corner, 250, 240, 340, 270, "corner, smaller");
    ExpectPlace(m_wnd, area, 10, 70, 200, 230, "area, smaller");
    m_wnd.SizeClient(400, 300);
    ExpectPlace(m_wnd, corner, 300, 260, 390, 290, "corner, back");
    ExpectPlace(m_wnd, strip, 10, 40, 390, 60, "strip, back");
    ExpectPlace(m_wnd, area, 10, 70, 250, 250, "area, back");
    ExpectPlace(m_wnd, bottom, 10, 260, 290, 290, "bottom, back");
}

TEST_F(LayoutTest, AStretchedChildNeverTurnsInsideOut)
{
    CLayout& layout = m_wnd.m_layout;
    layout.Init(m_wnd);
    HWND area = m_wnd.Child({10, 10, 110, 60});
    layout.Add(area, anchor::Size);
    m_wnd.SizeClient(200, 150);  // 200 narrower and 150 lower than the start
    const RECT rc = PlaceIn(m_wnd, area);
    EXPECT_EQ(10, rc.left);
    EXPECT_EQ(10, rc.top);
    EXPECT_EQ(rc.left, rc.right);
    EXPECT_EQ(rc.top, rc.bottom);
}

TEST_F(LayoutTest, PlacesGivenLaterFollowFromTheReferenceSize)
{
    CLayout& layout = m_wnd.m_layout;
    layout.Init(m_wnd);
    m_wnd.SizeClient(500, 350);  // 100 wider, 50 taller

    // A place for the reference size lands where the size now puts it.
    HWND button = m_wnd.Child({0, 0, 10, 10});
    layout.Add(button, RECT{300, 260, 390, 290}, anchor::Move);
    ExpectPlace(m_wnd, button, 400, 310, 490, 340, "given");

    // One where it stands now is taken back to the reference size first.
    HWND strip = m_wnd.Child({10, 10, 490, 30});
    layout.Add(strip, anchor::SizeX);
    m_wnd.SizeClient(400, 300);
    ExpectPlace(m_wnd, strip, 10, 10, 390, 30, "taken where it stood");

    // A child given a new place keeps only that one.
    layout.Add(button, RECT{5, 5, 25, 25}, anchor::None);
    m_wnd.SizeClient(600, 400);
    ExpectPlace(m_wnd, button, 5, 5, 25, 25, "moved to a fixed place");
    EXPECT_TRUE(layout.Has(button));

    HWND stranger = m_wnd.Child({1, 2, 3, 4});
    EXPECT_FALSE(layout.Has(stranger));
    const RECT none = layout.Place(stranger);
    EXPECT_TRUE(::IsRectEmpty(&none));
}

TEST(Row, PlacesFollowOneAnotherWithTheirGaps)
{
    CRow row(6, 30);
    const RECT first = row.Next(240, 200, 6);
    const RECT label = row.Next(30, 16, 2, 4);
    const RECT last = row.Next(108, 21);
    EXPECT_EQ(6, first.left);
    EXPECT_EQ(230, first.bottom);
    EXPECT_EQ(252, label.left);
    EXPECT_EQ(34, label.top);
    EXPECT_EQ(50, label.bottom);
    EXPECT_EQ(284, last.left);
    EXPECT_EQ(392, last.right);
    EXPECT_EQ(392, row.X());
}

TEST_F(LayoutTest, CrackersHandTheirArgumentsOver)
{
    m_wnd.m_minTrack = {321, 123};
    MINMAXINFO info = {};
    m_wnd.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(321, info.ptMinTrackSize.x);
    EXPECT_EQ(123, info.ptMinTrackSize.y);

    HWND other = m_wnd.Child({0, 0, 5, 5});
    m_wnd.SendMessage(WM_ACTIVATE, MAKEWPARAM(WA_CLICKACTIVE, 1), reinterpret_cast<LPARAM>(other));
    EXPECT_EQ(static_cast<UINT>(WA_CLICKACTIVE), m_wnd.m_activeState);
    EXPECT_EQ(other, m_wnd.m_activeOther);
    EXPECT_TRUE(m_wnd.m_activeMinimized);
    m_wnd.SendMessage(WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(static_cast<UINT>(WA_INACTIVE), m_wnd.m_activeState);
    EXPECT_EQ(nullptr, m_wnd.m_activeOther);
    EXPECT_FALSE(m_wnd.m_activeMinimized);
}

TEST_F(LayoutTest, ComboBoxAndTipWrappers)
{
    HWND comboWnd = ::CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 200, m_wnd, nullptr,
                                      ::GetModuleHandleA(nullptr), nullptr);
    CComboBox combo;
    ASSERT_TRUE(combo.SubclassWindow(comboWnd));
    EXPECT_EQ(CB_ERR, combo.GetCurSel());
    EXPECT_EQ(0, combo.AddString("Order found"));
    EXPECT_EQ(1, combo.AddString("Name, A to Z"));
    EXPECT_EQ(2, combo.GetCount());
    combo.SetCurSel(1);
    EXPECT_EQ(1, combo.GetCurSel());
    EXPECT_EQ(CString("Name, A to Z"), combo.GetLBText(1));
    EXPECT_TRUE(combo.GetLBText(2).IsEmpty());
    EXPECT_TRUE(combo.GetLBText(-1).IsEmpty());

    CToolTipCtrl tip;
    ASSERT_TRUE(tip.Create(m_wnd, TTS_NOPREFIX));
    EXPECT_EQ(static_cast<HWND>(m_wnd), ::GetWindow(tip, GW_OWNER));
    EXPECT_TRUE(tip.AddWindowTool(m_wnd, comboWnd));
    TOOLINFOA info = {};
    info.cbSize = sizeof info;
    info.hwnd = m_wnd;
    info.uId = reinterpret_cast<UINT_PTR>(comboWnd);
    EXPECT_TRUE(tip.SendMessage(TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&info)));
    EXPECT_TRUE(info.uFlags & TTF_IDISHWND);
    EXPECT_EQ(1, static_cast<int>(tip.SendMessage(TTM_GETTOOLCOUNT)));
    tip.DestroyWindow();
}

}  // namespace
