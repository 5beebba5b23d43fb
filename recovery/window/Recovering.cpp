// Recovering: copying the ticked pictures into the search's recovery folder
// inside the save folder on the copier's thread, arranged as the choice
// beside Recover says, with a progress bar and the time left kept current
// by TIMER_COPY and a Cancel that stops after the picture being copied,
// then the summary and the results again, the recovered pictures marked.
#include "RecoveryDlg.h"

#include <shellapi.h>

#include "SafeCopy.h"
#include "SettingsFiles.h"

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
    Arrangement arrangement = Arrangement::OriginalFolders;
    ArrangementFromText(m_view.ArrangementChoice(), arrangement);
    m_recoveryFolder = ChooseRecoveryFolder(m_view.SaveFolder());
    m_searchRecord.KeepRecoveryFolder(m_recoveryFolder);
    m_run.Start(
        m_list.Items(), ticked, m_recoveryFolder, arrangement,
        [this](const CString& source, const CString& folder, const CString& name, CString& copied) {
            return CopyPicture(source, folder, name, copied);
        },
        GetTickCount64());
    m_view.BeginCopy(m_run.Total(), m_run.FirstLine());
    ShowState();
    SetTimer(TIMER_COPY, kCopyIntervalMs);
}

CPictureCopier::Outcome CRecoveryDlg::CopyPicture(const CString& source, const CString& folder, const CString& name,
                                                  CString& copied)
{
    return CopyIntoFolder(source, folder, name, copied);
}

CString CRecoveryDlg::ChooseRecoveryFolder(const CString& saveFolder)
{
    CString save = saveFolder;
    while (save.GetLength() > 1 && save.Right(1) == "\\")
        save = save.Left(save.GetLength() - 1);
    // Recovering more from the same results adds to the same folder, as
    // long as it is in the save folder chosen now.
    const CString kept = m_searchRecord.RecoveryFolder();
    const int slash = kept.ReverseFind('\\');
    if (slash > 0 && lstrcmpiA(kept.Left(slash), save) == 0)
        return kept;
    // A new folder, never one that is there already: the user's own, or an
    // earlier search's of the same drive and day.
    const CString name = RecoveryFolderName(m_searchRecord.Day(), m_searchRecord.Drive());
    CString folder = save + "\\" + name;
    for (int n = 2; n < 10000 && GetFileAttributesA(folder) != INVALID_FILE_ATTRIBUTES; ++n)
        folder = save + "\\" + NumberedName(name, n);
    return folder;
}

void CRecoveryDlg::OnArrangementChanged()
{
    const CString chosen = m_view.ArrangementChoice();
    if (!chosen.IsEmpty())
        WriteArrangement(chosen);
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
            OpenSaveFolder(m_recoveryFolder);
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
