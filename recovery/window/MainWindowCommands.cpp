// The main window's commands and messages, and where each goes: the
// start-up tick and the parts' timers, Browse, Next's drive checks, F1, the
// commands the parts take (each asked in turn), the messages the parts'
// threads post, and the keys that stand for commands.
#include "RecoveryDlg.h"

#include "FolderPicker.h"
#include "SettingsFiles.h"

namespace {

const char kCaption[] = "Quorvane";

}  // namespace

void CRecoveryDlg::OnTimer(UINT_PTR nIDEvent)
{
    // The parts' timers go back to the part that started them.
    if (nIDEvent == TIMER_STARTUP) {
        KillTimer(TIMER_STARTUP);
        m_copyOption.Restore();
        m_view.SetSaveFolder(ReadSaveFolder());
        m_state.view = WindowView::Ready;
        m_results.ShowReady();
        m_view.FocusDrives();
    } else if (!m_monitor.OnTimer(nIDEvent) && !m_recovering.OnTimer(nIDEvent)) {
        Default();
    }
}

bool CRecoveryDlg::OnCommand(UINT id, UINT code)
{
    return m_copyOption.OnCommand(id, code) || m_finds.OnCommand(id, code) || m_results.OnCommand(id, code) ||
           m_recovering.OnCommand(id, code) || m_links.OnCommand(id, code);
}

LRESULT CRecoveryDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (message == WM_NOTIFY && m_list.OnNotify(reinterpret_cast<NMHDR*>(lParam), result))
        return result;
    // Posted by the engine's waiter (see CEngineSearch::Read) and by the
    // remover of earlier work folders, from their own threads.
    if (message == WM_ENGINE_ENDED) {
        m_run.OnEngineEnded(wParam, lParam);
        return 0;
    }
    if (message == WM_WORK_FOLDER_CLEARED) {
        m_monitor.WorkFolderCleared();
        return 0;
    }
    return CSkinDialog::WindowProc(message, wParam, lParam);
}

BOOL CRecoveryDlg::PreTranslateMessage(MSG* pMsg)
{
    if (m_list.PreTranslate(*pMsg) || m_view.PressAccessKey(*pMsg) || m_finds.OnKey(*pMsg))
        return TRUE;
    return CSkinDialog::PreTranslateMessage(pMsg);
}

bool CRecoveryDlg::PickFolder(CString& path)
{
    return PickFolderFrom(m_hWnd, m_view.SaveFolder(), path);
}

bool CRecoveryDlg::PickDiskCopy(CString& path)
{
    return PickDiskCopyFrom(m_hWnd, m_copyOption.Folder(), path);
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

BOOL CRecoveryDlg::OnHelpInfo(HELPINFO* info)
{
    (void)info;
    m_links.OpenHelp();
    return TRUE;
}

void CRecoveryDlg::OnNext()
{
    // A second click while the search it started runs (a click queued
    // behind the first) must not start another.
    if (m_state.searching)
        return;
    CString drive;
    if (!m_view.SelectedDrive(drive)) {
        MessageBox("Please select drive from where to recover photos.", kCaption, MB_OK);
        return;
    }
    const DriveEntry* chosen = m_view.Drive(drive);
    if (!chosen) {
        MessageBox("Error. Failed to find the disk.", kCaption, MB_OK);
        return;
    }
    // Not while a copy runs (Next is hidden then): a stray command does nothing.
    if (m_recovering.Running())
        return;
    // The search's run (m_run) takes it from there: the work folder, the
    // engine's start, its end and its stop.
    CString copyPath;
    if (!m_copyOption.Prepare(*chosen, copyPath))
        return;
    m_run.Start(DriveSystem(), *chosen, drive, copyPath);
}
