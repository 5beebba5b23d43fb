// The main window's commands that do not run an analysis: the start-up tick,
// the timer dispatch, Browse, Reload, Help (the link and F1), Select all, the
// keys that stand for the commands, and the results' and Recover's commands
// handed to their parts.
#include "RecoveryDlg.h"

#include <objbase.h>
#include <shlobj.h>

#include "FileUtils.h"
#include "FolderPicker.h"
#include "HelpFile.h"
#include "SettingsFiles.h"

void CRecoveryDlg::OnTimer(UINT_PTR nIDEvent)
{
    // The parts' timers go back to the part that started them.
    if (nIDEvent == TIMER_STARTUP)
        OnStartupTick();
    else if (!m_monitor.OnTimer(nIDEvent) && !m_recovering.OnTimer(nIDEvent))
        Default();
}

void CRecoveryDlg::OnStartupTick()
{
    KillTimer(TIMER_STARTUP);
    bool copyWanted = false;
    CString copyFolder;
    ReadDiskCopy(copyWanted, copyFolder);
    m_view.SetCopy(copyWanted, copyFolder);
    m_view.ShowDrives(ListedDrives());
    m_view.SetSaveFolder(ReadSaveFolder());
    m_state.view = WindowView::Ready;
    m_results.ShowReady();
    m_view.FocusDrives();
}

bool CRecoveryDlg::PickFolder(CString& path)
{
    return PickFolderFrom(m_hWnd, m_view.SaveFolder(), path);
}

void CRecoveryDlg::OnBrowse()
{
    CString folder;
    if (!PickFolder(folder))
        return;

    // A drive root comes back as "D:\"; it is kept as "D:" like every other
    // folder, which never ends in a backslash.
    if (!folder.IsEmpty() && folder.GetAt(folder.GetLength() - 1) == '\\')
        folder = folder.Left(folder.GetLength() - 1);

    m_view.SetSaveFolder(folder);
    WriteSaveFolder(folder);
}

void CRecoveryDlg::OnReload()
{
    const HCURSOR previous = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    m_view.ShowDrives(ListedDrives());
    ::SetCursor(previous);
}

void CRecoveryDlg::OnHelpLink()
{
    OpenHelpFile(*this);
}

BOOL CRecoveryDlg::OnHelpInfo(HELPINFO* info)
{
    (void)info;
    OpenHelpFile(*this);
    return TRUE;
}

void CRecoveryDlg::OnNewSearch()
{
    m_results.NewSearch();
}

void CRecoveryDlg::OnLastSearchLink()
{
    m_results.OnLastSearchLink();
}

void CRecoveryDlg::OnArrangementChanged()
{
    m_recovering.OnArrangementChanged();
}

void CRecoveryDlg::OnSelectAll()
{
    // The pictures a filter hides keep their ticks.
    const bool tick = m_state.selectAllTicks;
    m_list.TickShown(tick);
    m_finds.ShowCountLine(true);
    m_finds.PicturesChanged();

    m_state.selectAllTicks = !tick;
    ShowState();
}

void CRecoveryDlg::TickAllShown()
{
    // As Select All does when it ticks; the label then offers to untick.
    m_list.TickShown(true);
    m_finds.ShowCountLine(true);
    m_finds.PicturesChanged();
    m_state.selectAllTicks = false;
    ShowState();
}

bool CRecoveryDlg::OnKeyboardCommand(const MSG& msg)
{
    const bool letter = msg.wParam >= 'A' && msg.wParam <= 'Z';
    // Alt with a letter: the command that letter is underlined in.
    if (msg.message == WM_SYSKEYDOWN && letter && (msg.lParam & (1 << 29))) {
        HWND target = m_view.AccessKeyTarget(static_cast<char>(msg.wParam));
        if (!target)
            return false;
        char cls[16] = {};
        ::GetClassNameA(target, cls, sizeof cls);
        const WORD code = lstrcmpiA(cls, "Button") == 0 ? BN_CLICKED : STN_CLICKED;
        SendMessage(WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(target), code), reinterpret_cast<LPARAM>(target));
        return true;
    }
    // Ctrl+A ticks the pictures shown.
    if (msg.message == WM_KEYDOWN && msg.wParam == 'A' && ::GetKeyState(VK_CONTROL) < 0 && ::GetKeyState(VK_MENU) >= 0 &&
        m_view.TicksByKeyboard(m_state)) {
        TickAllShown();
        return true;
    }
    return false;
}
