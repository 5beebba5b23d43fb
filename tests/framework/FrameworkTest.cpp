// The framework against real windows: map chaining, reflection, modal runs.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Framework.h"
#include "FrameworkTestRes.h"

namespace {

const UINT WM_TEST_BASE_ONLY = WM_APP + 1;
const UINT WM_TEST_BOTH = WM_APP + 2;
const UINT WM_TEST_UNMAPPED = WM_APP + 3;
const UINT WM_TEST_RUN = WM_APP + 4;

std::vector<std::string> g_log;

class CLoggingButton : public CButton {
public:
    int m_nPreSubclass = 0;
    HBRUSH m_hBrush = nullptr;
    UINT m_nLastCtlType = 99;

protected:
    void PreSubclassWindow() override { ++m_nPreSubclass; }
    void OnReflectedClick() { g_log.push_back("child"); }
    HBRUSH CtlColor(HDC, UINT nCtlType)
    {
        m_nLastCtlType = nCtlType;
        return m_hBrush;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CLoggingButton, CButton)
    ON_CONTROL_REFLECT(BN_CLICKED, &CLoggingButton::OnReflectedClick)
    ON_WM_CTLCOLOR_REFLECT()
END_MESSAGE_MAP()

class CBaseTestDlg : public CDialog {
public:
    CBaseTestDlg() : CDialog(IDD_FRAMEWORK_TEST) {}

    CLoggingButton m_btn;
    CEdit m_edit;
    std::function<void(CBaseTestDlg&)> m_onRun;
    std::vector<UINT> m_keysSeen;
    int m_nSaves = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, IDC_EDIT, m_edit);
        DDX_Control(pDX, IDC_BUTTON, m_btn);
        if (pDX->m_bSaveAndValidate)
            ++m_nSaves;
    }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        PostMessage(WM_TEST_RUN);
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        if (pMsg->message == WM_KEYDOWN && pMsg->hwnd == m_edit.m_hWnd)
            m_keysSeen.push_back(static_cast<UINT>(pMsg->wParam));
        return CDialog::PreTranslateMessage(pMsg);
    }
    LRESULT OnBaseOnly(WPARAM, LPARAM) { g_log.push_back("base only"); return 11; }
    LRESULT OnBothInBase(WPARAM, LPARAM) { g_log.push_back("both in base"); return 12; }
    LRESULT OnRun(WPARAM, LPARAM)
    {
        if (m_onRun)
            m_onRun(*this);
        return 0;
    }
    void OnButton() { g_log.push_back("parent"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseTestDlg, CDialog)
    ON_MESSAGE(WM_TEST_BASE_ONLY, &CBaseTestDlg::OnBaseOnly)
    ON_MESSAGE(WM_TEST_BOTH, &CBaseTestDlg::OnBothInBase)
    ON_MESSAGE(WM_TEST_RUN, &CBaseTestDlg::OnRun)
    ON_BN_CLICKED(IDC_BUTTON, &CBaseTestDlg::OnButton)
END_MESSAGE_MAP()

class CDerivedTestDlg : public CBaseTestDlg {
protected:
    LRESULT OnBothInDerived(WPARAM, LPARAM) { g_log.push_back("both in derived"); return 22; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedTestDlg, CBaseTestDlg)
    ON_MESSAGE(WM_TEST_BOTH, &CDerivedTestDlg::OnBothInDerived)
END_MESSAGE_MAP()

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override { g_log.clear(); }
};

TEST_F(FrameworkTest, MapsChainToTheBaseAndThenToDefaultHandling)
{
    CDerivedTestDlg dlg;
    LRESULT baseOnly = 0, both = 0, unmapped = -5;
    dlg.m_onRun = [&](CBaseTestDlg& d) {
        baseOnly = d.SendMessage(WM_TEST_BASE_ONLY);
        both = d.SendMessage(WM_TEST_BOTH);
        unmapped = d.SendMessage(WM_TEST_UNMAPPED);
        // The base dialog map's Cancel entry is reached through both maps.
        d.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    };
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ(11, baseOnly);
    EXPECT_EQ(22, both);
    EXPECT_EQ(0, unmapped);
    EXPECT_EQ((std::vector<std::string>{ "base only", "both in derived" }), g_log);
    EXPECT_EQ(nullptr, dlg.m_hWnd);
    EXPECT_EQ(nullptr, dlg.m_btn.m_hWnd); // detached when the window went
}

TEST_F(FrameworkTest, ControlSeesItsNotificationBeforeTheParent)
{
    CBaseTestDlg dlg;
    HBRUSH brush = ::CreateSolidBrush(RGB(1, 2, 3));
    LRESULT answered = 0;
    dlg.m_onRun = [&](CBaseTestDlg& d) {
        d.m_btn.SendMessage(BM_CLICK);
        d.m_btn.m_hBrush = brush;
        HDC hdc = d.m_btn.GetDC();
        answered = d.SendMessage(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(hdc), reinterpret_cast<LPARAM>(d.m_btn.m_hWnd));
        d.m_btn.ReleaseDC(hdc);
        d.EndDialog(IDOK);
    };
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ((std::vector<std::string>{ "child", "parent" }), g_log);
    EXPECT_EQ(static_cast<UINT>(CTLCOLOR_BTN), dlg.m_btn.m_nLastCtlType);
    EXPECT_EQ(reinterpret_cast<LRESULT>(brush), answered);
    EXPECT_EQ(1, dlg.m_btn.m_nPreSubclass); // bound once, though data exchange ran again
    ::DeleteObject(brush);
}

// A window that hands the commands its map does not take to its parts.
class CPartsTestDlg : public CDialog {
public:
    CPartsTestDlg() : CDialog(IDD_FRAMEWORK_TEST) {}

    CLoggingButton m_btn;
    std::function<void(CPartsTestDlg&)> m_onRun;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_BUTTON, m_btn); }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        PostMessage(WM_TEST_RUN);
        return TRUE;
    }
    bool OnCommand(UINT id, UINT code) override
    {
        // The edit box's own news (focus, changes) is not this test's.
        if (id != IDC_EDIT)
            g_log.push_back("parts " + std::to_string(id) + " " + std::to_string(code));
        return id == IDC_BUTTON;
    }
    LRESULT OnRun(WPARAM, LPARAM)
    {
        m_onRun(*this);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CPartsTestDlg, CDialog)
    ON_MESSAGE(WM_TEST_RUN, &CPartsTestDlg::OnRun)
END_MESSAGE_MAP()

// A command no map entry takes reaches OnCommand after the control has seen
// it; one the maps take (Cancel, in the dialog's own map) never does.
TEST_F(FrameworkTest, CommandsTheMapsLeaveGoToOnCommandAfterTheControl)
{
    CPartsTestDlg dlg;
    dlg.m_onRun = [](CPartsTestDlg& d) {
        d.m_btn.SendMessage(BM_CLICK);
        d.SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    };
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ((std::vector<std::string>{"child", "parts " + std::to_string(IDC_BUTTON) + " 0"}), g_log);
}

TEST_F(FrameworkTest, EscapeCancelsAndEnterConfirmsWithDataExchange)
{
    {
        CBaseTestDlg dlg;
        dlg.m_onRun = [](CBaseTestDlg& d) {
            d.m_edit.SetFocus();
            d.m_edit.PostMessage(WM_KEYDOWN, VK_ESCAPE, 1);
        };
        EXPECT_EQ(IDCANCEL, dlg.DoModal());
        EXPECT_EQ(0, dlg.m_nSaves);
        EXPECT_EQ(std::vector<UINT>{ VK_ESCAPE }, dlg.m_keysSeen);
    }
    {
        CBaseTestDlg dlg;
        dlg.m_onRun = [](CBaseTestDlg& d) {
            d.m_edit.SetFocus();
            d.m_edit.PostMessage(WM_KEYDOWN, 'A', 1);
            d.m_edit.PostMessage(WM_KEYDOWN, VK_RETURN, 1);
        };
        EXPECT_EQ(IDOK, dlg.DoModal());
        EXPECT_EQ(1, dlg.m_nSaves);
        EXPECT_EQ((std::vector<UINT>{ 'A', VK_RETURN }), dlg.m_keysSeen);
    }
}

TEST_F(FrameworkTest, QuitInsideTheModalRunEndsItAndIsPassedOn)
{
    CBaseTestDlg dlg;
    HWND hDlg = nullptr;
    dlg.m_onRun = [&](CBaseTestDlg& d) {
        hDlg = d.m_hWnd;
        ::PostQuitMessage(18);
    };
    EXPECT_EQ(-1, dlg.DoModal());
    EXPECT_FALSE(::IsWindow(hDlg));
    MSG msg;
    ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(18u, msg.wParam);
}

TEST_F(FrameworkTest, NestedDialogDisablesItsOwnerAndClosingTheMainWindowEndsRun)
{
    CWinApp app("Framework test");
    CBaseTestDlg mainDlg;
    app.m_pMainWnd = &mainDlg;
    bool ownerDisabled = false;
    HWND nestedOwner = nullptr;
    INT_PTR nestedResult = 0;
    RECT outerRect = {}, innerRect = {};
    mainDlg.m_onRun = [&](CBaseTestDlg& outer) {
        CBaseTestDlg nested; // no parent: owned by the application's main window
        nested.m_onRun = [&](CBaseTestDlg& inner) {
            ownerDisabled = !outer.IsWindowEnabled();
            nestedOwner = ::GetWindow(inner.m_hWnd, GW_OWNER);
            ::GetWindowRect(outer.m_hWnd, &outerRect);
            ::GetWindowRect(inner.m_hWnd, &innerRect);
            inner.EndDialog(7);
        };
        nestedResult = nested.DoModal();
        outer.EndDialog(IDOK);
    };
    EXPECT_EQ(IDOK, mainDlg.DoModal());
    EXPECT_EQ(7, nestedResult);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_NE(nullptr, nestedOwner);
    EXPECT_EQ(nullptr, app.m_pMainWnd);
    EXPECT_EQ(0, app.Run()); // the main window's end posted the quit

    // Neither dialog places itself: the main one opens centred on the
    // screen's work area, the nested one centred on its owner.
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((outerRect.left + outerRect.right) / 2, (work.left + work.right) / 2, 1);
    EXPECT_NEAR((outerRect.top + outerRect.bottom) / 2, (work.top + work.bottom) / 2, 1);
    EXPECT_NEAR((innerRect.left + innerRect.right) / 2, (outerRect.left + outerRect.right) / 2, 1);
    EXPECT_NEAR((innerRect.top + innerRect.bottom) / 2, (outerRect.top + outerRect.bottom) / 2, 1);
}

// A window's object is found from its handle while bound, on any thread, and
// forgotten when its window ends or the object lets go of it; a window
// bound once cannot be bound to a second object.
TEST(WndBinding, ObjectsAreFoundWhileBoundAndForgottenAfter)
{
    auto makeWindow = [] {
        return ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 ::GetModuleHandleA(nullptr), nullptr);
    };
    HWND first = makeWindow();
    ASSERT_TRUE(first);
    CWnd object;
    ASSERT_TRUE(object.SubclassWindow(first));
    EXPECT_EQ(CWnd::FromHandlePermanent(first), &object);
    CWnd* seenElsewhere = nullptr;
    std::thread([&] { seenElsewhere = CWnd::FromHandlePermanent(first); }).join();
    EXPECT_EQ(seenElsewhere, &object);
    CWnd second;
    EXPECT_FALSE(second.SubclassWindow(first));
    EXPECT_EQ(CWnd::FromHandlePermanent(first), &object);

    // The window ends: the object is free and may be bound again.
    ::DestroyWindow(first);
    EXPECT_EQ(object.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(first), nullptr);
    HWND again = makeWindow();
    ASSERT_TRUE(object.SubclassWindow(again));
    EXPECT_EQ(CWnd::FromHandlePermanent(again), &object);

    // The object ends first: the window goes on with its own procedure.
    HWND outliving = makeWindow();
    {
        CWnd shortLived;
        ASSERT_TRUE(shortLived.SubclassWindow(outliving));
        EXPECT_EQ(CWnd::FromHandlePermanent(outliving), &shortLived);
    }
    EXPECT_EQ(CWnd::FromHandlePermanent(outliving), nullptr);
    ::SetWindowTextA(outliving, "still answers");
    char text[32] = "";
    ::GetWindowTextA(outliving, text, sizeof text);
    EXPECT_STREQ(text, "still answers");
    ::DestroyWindow(outliving);
    ::DestroyWindow(again);
    EXPECT_EQ(CWnd::FromHandlePermanent(again), nullptr);
}

TEST(Lock, GuardHoldsTheSectionForItsScope)
{
    CCriticalSection cs;
    CAtomicFlag flag(false);
    {
        CScopedLock lock(cs);
        flag = true;
        // Another thread cannot enter while the guard lives.
        HANDLE thread = ::CreateThread(nullptr, 0, [](LPVOID p) -> DWORD {
            CScopedLock inner(*static_cast<CCriticalSection*>(p));
            return 0;
        }, &cs, 0, nullptr);
        EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(thread, 100));
        cs.Unlock();
        EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(thread, 5000));
        cs.Lock();
        ::CloseHandle(thread);
    }
    EXPECT_TRUE(flag.load());
}

} // namespace
