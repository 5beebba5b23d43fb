// Next: the drive chosen and the copy of the disk prepared, then the
// search's run (m_run, SearchRunView.h) takes it from there: the work
// folder, the engine's start, its end and its stop.
#include "RecoveryDlg.h"

namespace {

const char kCaption[] = "Quorvane";

}  // namespace

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
    CString copyPath;
    if (!PrepareDiskCopy(*chosen, chosen->strDevice, copyPath))
        return;
    m_run.Start(DriveSystem(), *chosen, drive, copyPath);
}

LRESULT CRecoveryDlg::OnWorkFolderCleared(WPARAM, LPARAM)
{
    m_monitor.ShowClearing();
    m_workFolders.Cleared();
    return 0;
}

LRESULT CRecoveryDlg::OnEngineEnded(WPARAM wParam, LPARAM lParam)
{
    m_run.OnEngineEnded(wParam, lParam);
    return 0;
}
