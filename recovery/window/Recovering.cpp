// Recovering: copying the ticked pictures into the save folder on the
// copier's thread, with a progress bar and the time left kept current by
// TIMER_COPY and a Cancel that stops after the picture being copied, then
// the summary and the results again, the recovered pictures marked.
#include "RecoveryDlg.h"

#include <shellapi.h>

void CRecoveryDlg::StartRecovery()
{
    // A second press while copying, or a press while the analysis is still
    // taking in its last files after a cancel (the walk after the engine's
    // end not made yet, or its pictures still with the workers), must not
    // start a run.
    if (m_state.copying)
        return;
    if (!m_intake.LastPass() || m_pacer.Armed()) {
        MessageBox("Please wait until the last pictures found have been listed, then press 'Recover' again.",
                   "Quorvane", MB_OK);
        return;
    }

    // What the list shows and is ticked; pictures a filter hides stay.
    const std::vector<int> ticked = m_list.TickedShown();
    if (ticked.empty()) {
        MessageBox("Please tick at least one picture to recover.", "Quorvane", MB_OK);
        return;
    }
    if (m_view.SaveFolder().IsEmpty()) {
        MessageBox("Please choose a folder to save the recovered pictures in with 'Browse', then press "
                   "'Recover' again.",
                   "Quorvane", MB_OK);
        return;
    }
    // The button becomes the copy's Cancel, beside the bar; the progress
    // text takes the save folder's place.
    m_state.view = WindowView::Recovering;
    m_state.copying = true;
    m_state.copyStopping = false;
    m_view.PlaceRecoverButton(true);
    m_preview.Close();
    m_run.Start(
        m_list.Items(), ticked, m_view.SaveFolder(),
        [this](const CString& source, const CString& folder) { return CopyPicture(source, folder); },
        GetTickCount64());
    m_view.BeginCopy(m_run.Total(), m_run.FirstLine());
    ShowState();
    SetTimer(TIMER_COPY, kCopyIntervalMs);
}

CPictureCopier::Outcome CRecoveryDlg::CopyPicture(const CString& source, const CString& folder)
{
    return CopyIntoFolder(source, folder);
}

void CRecoveryDlg::OnCopyTick()
{
    const CRecoveryRun::Shown shown = m_run.Tick(GetTickCount64());
    m_view.ShowCopyStep(shown.line, shown.moved, shown.done);
    if (!shown.finished)
        return;

    // Timers keep ticking while a message box is open: stop first, then say.
    // The copy's Cancel has nothing left to stop from here on.
    KillTimer(TIMER_COPY);
    m_state.copyStopping = true;
    ShowState();
    if (m_run.FolderMissing()) {
        MessageBox("Output directory \"" + m_view.SaveFolder() + "\" does not exists.", "Quorvane",
                   MB_OK);
    } else {
        // Only the pictures that really reached the save folder count as
        // recovered: they are marked, and unticked so that the next Recover
        // copies only what is ticked anew. The copy's last step stays in
        // view while the question is open.
        m_list.MarkRecovered(m_run.RecoveredItems());
        if (MessageBox(m_run.Summary(), "Quorvane", MB_YESNO | MB_ICONQUESTION) == IDYES)
            OpenSaveFolder(m_view.SaveFolder());
    }

    // Then the results again, the bar and line gone; Recover can be tried
    // again.
    m_state.copying = false;
    m_view.EndCopy();
    EnterAnalysedState();
    m_state.selectAllTicks = !m_list.AnyShownTicked();
    ShowState();
}

void CRecoveryDlg::OpenSaveFolder(const CString& folder)
{
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = "open";
    info.lpFile = folder;
    info.nShow = SW_SHOW;
    ShellExecuteExA(&info);
}
