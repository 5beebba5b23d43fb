// The main window's keyboard: the links among the tab stops, every command's
// access key, Tab's order along the rows, where the keyboard starts, and
// the keys that stand for commands.
#include "MainView.h"

#include <cctype>

void CMainView::MakeKeyboardReachable()
{
    for (CLinkLabel* link : {&m_lblSettings, &m_lblHelp, &m_lblSelectAll, &m_lblLastSearch}) {
        if (link->IsWindow())
            link->ModifyStyle(0, WS_TABSTOP);
    }
    // Every letter once, whichever view shows: no two commands share one.
    m_btnReload.SetAccessKey('L');
    m_lblSettings.SetAccessKey('S');
    m_lblHelp.SetAccessKey('H');
    m_btnBrowse.SetAccessKey('B');
    m_btnNext.SetAccessKey('N');
    m_lblLastSearch.SetAccessKey('P');
    m_lblSelectAll.SetAccessKey('A');
    m_btnRecover.SetAccessKey('R');
    m_btnNewSearch.SetAccessKey('W');
    m_btnOpenCopy.SetAccessKey('O');
    m_btnCopyBrowse.SetAccessKey('E');

    // Tab follows the window's rows, top to bottom and left to right; a
    // view that hides some of them keeps the others' order. Next and
    // Recover take one place and never show together.
    CWnd* const order[] = {
        &m_btnReload,    &m_btnOpenCopy,    &m_lblSettings,  &m_lblHelp,  &m_lblSelectAll,
        &m_filterBar,    &m_listDrives,     &m_listPictures, &m_editSaveDir, &m_btnBrowse,
        &m_btnNext,      &m_btnRecover,     &m_btnNewSearch, &m_comboArrangement, &m_lblLastSearch,
        &m_chkCopy,      &m_editCopyPlace,  &m_btnCopyBrowse,
    };
    HWND after = HWND_TOP;
    for (CWnd* control : order) {
        if (!control->IsWindow())
            continue;
        ::SetWindowPos(control->m_hWnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
        after = control->m_hWnd;
    }
}

void CMainView::FocusDrives()
{
    // The window gives its first tab stop the focus as it opens: Reload,
    // or the Settings link while the loading text hides Reload.
    const HWND focus = ::GetFocus();
    if (focus && (focus == m_dialog || focus == m_btnReload.m_hWnd || focus == m_lblSettings.m_hWnd))
        FocusOn(m_listDrives.m_hWnd);
}

void CMainView::FocusOn(HWND control)
{
    if (control && ::IsWindowVisible(control))
        ::SetFocus(control);
}

HWND CMainView::AccessKeyTarget(char key) const
{
    const int wanted = std::toupper(static_cast<unsigned char>(key));
    auto usable = [](HWND control) {
        return control && ::IsWindowVisible(control) && ::IsWindowEnabled(control);
    };
    const CIconButton* const buttons[] = {&m_btnReload, &m_btnOpenCopy,    &m_btnBrowse,    &m_btnNext,
                                          &m_btnRecover, &m_btnNewSearch, &m_btnCopyBrowse};
    for (const CIconButton* button : buttons) {
        if (button->GetAccessKey() == wanted && usable(button->m_hWnd))
            return button->m_hWnd;
    }
    const CLinkLabel* const links[] = {&m_lblSettings, &m_lblHelp, &m_lblLastSearch, &m_lblSelectAll};
    for (const CLinkLabel* link : links) {
        if (link->GetAccessKey() == wanted && usable(link->m_hWnd))
            return link->m_hWnd;
    }
    return nullptr;
}

bool CMainView::PressAccessKey(const MSG& msg)
{
    const bool letter = msg.wParam >= 'A' && msg.wParam <= 'Z';
    if (msg.message != WM_SYSKEYDOWN || !letter || !(msg.lParam & (1 << 29)))
        return false;
    HWND target = AccessKeyTarget(static_cast<char>(msg.wParam));
    if (!target)
        return false;
    char cls[16] = {};
    ::GetClassNameA(target, cls, sizeof cls);
    const WORD code = lstrcmpiA(cls, "Button") == 0 ? BN_CLICKED : STN_CLICKED;
    ::SendMessageA(m_dialog, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(target), code), reinterpret_cast<LPARAM>(target));
    return true;
}

bool CMainView::TicksByKeyboard(const CWindowState& state) const
{
    const WindowView view = state.view;
    if (view != WindowView::Analysing && view != WindowView::Analysed)
        return false;
    if (!::IsWindowVisible(m_listPictures.m_hWnd))
        return false;
    // Ctrl+A in a text box selects its text.
    char cls[32] = {};
    ::GetClassNameA(::GetFocus(), cls, sizeof cls);
    return lstrcmpiA(cls, "Edit") != 0;
}
