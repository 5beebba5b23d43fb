// The main window's commands that do not run an analysis: the start-up tick,
// the timer dispatch, Browse, Reload, Help (the link and F1) and Select all.
#include "RecoveryDlg.h"

#include <objbase.h>
#include <shlobj.h>

#include "FileUtils.h"
#include "FolderPicker.h"
#include "HelpFile.h"
#include "SettingsFiles.h"

void CRecoveryDlg::OnTimer(UINT_PTR nIDEvent)
{
    switch (nIDEvent) {
    case TIMER_STARTUP:
        OnStartupTick();
        break;
    case TIMER_RESCAN:
        OnRescanTick();
        break;
    case TIMER_INTAKE:
        OnIntakeTick();
        break;
    case TIMER_COPY:
        OnCopyTick();
        break;
    default:
        Default();
        break;
    }
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
    ShowLastSearchLink();
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
