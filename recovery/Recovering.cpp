// Recovering: copying the ticked pictures into the save folder on the
// copier's thread, with a progress bar kept current by TIMER_COPY, then the
// summary and the way back to the drive-selection view.
#include "RecoveryDlg.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "FileUtils.h"
#include "SafeCopy.h"

namespace {

// Windows cannot be asked whether a timer is armed, but killing one that is
// not reports failure; one that was armed is put back at once.
bool TimerArmed(HWND hWnd, UINT_PTR id, UINT rearmMs)
{
    if (!::KillTimer(hWnd, id))
        return false;
    ::SetTimer(hWnd, id, rearmMs, nullptr);
    return true;
}

// The sentence about the pictures that could not be copied. An empty entry
// in failed stands for a picture whose file was gone, any other entry for a
// copy that the save folder refused.
CString NotCopiedSentence(const std::vector<CString>& failed)
{
    int gone = 0;
    for (const CString& path : failed) {
        if (path.IsEmpty())
            ++gone;
    }
    const int refused = static_cast<int>(failed.size()) - gone;

    CString sentence;
    if (refused == 0) {
        sentence.Format("%d files could not be copied because they have been deleted since the analysis.",
                        gone);
    } else if (gone == 0) {
        sentence.Format("%d files could not be copied because the save folder could not be written to "
                        "(it may be full or read-only).",
                        refused);
    } else {
        sentence.Format("%d files could not be copied because %d have been deleted since the analysis "
                        "and the save folder could not be written to for the other %d.",
                        gone + refused, gone, refused);
    }
    return sentence;
}

}  // namespace

void CRecoveryDlg::StartRecovery()
{
    // A second press while copying, or a press while the analysis is still
    // taking in its last files after a cancel, must not start a run.
    if (TimerArmed(m_hWnd, TIMER_COPY, kCopyIntervalMs))
        return;
    if (TimerArmed(m_hWnd, TIMER_RESCAN, kRescanIntervalMs) ||
        TimerArmed(m_hWnd, TIMER_INTAKE, kIntakeIntervalMs)) {
        MessageBox("Please wait until the last pictures found have been listed, then press 'Recover' again.",
                   "Quorvane", MB_OK);
        return;
    }

    // What the list shows and is ticked; pictures a filter hides stay.
    std::vector<CString> sources;
    for (int item : m_view.Items()) {
        if (m_pictures.Ticked(item))
            sources.push_back(m_pictures.Path(item));
    }
    if (sources.empty()) {
        MessageBox("Please tick at least one picture to recover.", "Quorvane", MB_OK);
        return;
    }
    if (m_editSaveDir.GetWindowText().IsEmpty()) {
        MessageBox("Please choose a folder to save the recovered pictures in with 'Browse', then press "
                   "'Recover' again.",
                   "Quorvane", MB_OK);
        return;
    }
    const int total = static_cast<int>(sources.size());

    m_btnRecover.ShowWindow(SW_HIDE);
    m_lblSelectAll.ShowWindow(SW_HIDE);
    // The choice of what to copy is made: it must not change while copying.
    m_filterBar.EnableWindow(FALSE);
    m_preview.Close();
    // The progress text takes the save folder's place, and the folder must
    // not change under a running copy.
    ShowSaveFolderChoice(FALSE);

    m_progress.SetRange32(0, total);
    m_progress.SetPos(0);
    m_progress.ShowWindow(SW_SHOW);

    CString text;
    text.Format("Recovering photo %d of %d", 0, total);
    m_lblProgress.MoveWindow(m_rcProgressText, FALSE);
    m_lblProgress.ShowWindow(SW_SHOW);
    m_lblProgress.SetCaption(text);
    m_nCopyShown = 0;

    m_copier.Start(std::move(sources), m_editSaveDir.GetWindowText(),
                   [this](const CString& source, const CString& folder) { return CopyPicture(source, folder); });
    SetTimer(TIMER_COPY, kCopyIntervalMs);
}

CPictureCopier::Outcome CRecoveryDlg::CopyPicture(const CString& source, const CString& folder)
{
    if (source.IsEmpty() || !PathFileExistsA(source))
        return CPictureCopier::Outcome::Gone;
    // An empty folder would put the pictures wherever the process happens
    // to be; Recover asks for a folder before it gets here.
    if (folder.IsEmpty() || (!IsFolder(folder) && !CreateDirectoryA(folder, nullptr)))
        return CPictureCopier::Outcome::FolderMissing;

    // A picture already there with the same bytes counts as recovered.
    return CopyWithoutReplacing(source, folder) == SafeCopyResult::Refused ? CPictureCopier::Outcome::Refused
                                                                           : CPictureCopier::Outcome::Copied;
}

void CRecoveryDlg::OnCopyTick()
{
    // Read before the count: a run seen finished has its last count in.
    const bool finished = m_copier.Finished();
    const int done = m_copier.Shown();
    if (done != m_nCopyShown) {
        m_nCopyShown = done;
        CString text;
        text.Format("Recovering photo %d of %d", done, m_copier.Total());
        m_lblProgress.SetCaption(text);
        m_progress.SetPos(done);
    }
    if (!finished)
        return;

    // Timers keep ticking while a message box is open: stop first, then say.
    KillTimer(TIMER_COPY);
    m_copier.Stop();
    if (m_copier.FolderMissing()) {
        MessageBox("Output directory \"" + m_editSaveDir.GetWindowText() + "\" does not exists.", "Quorvane",
                   MB_OK);
        AbortRecovery();
        return;
    }
    FinishRecovery();
}

void CRecoveryDlg::FinishRecovery()
{
    // Only the pictures that really reached the save folder count as
    // recovered; the others are named with the reason.
    const std::vector<CString> failures = m_copier.Failures();
    const int failed = static_cast<int>(failures.size());
    const int recovered = m_copier.Total() - failed;
    CString text;
    if (failed == 0) {
        text.Format("%d files recovered.\n\nDo you want to view recovered files?", recovered);
    } else {
        text.Format("%d files recovered.\n\n%s\n\nDo you want to view recovered files?", recovered,
                    NotCopiedSentence(failures).GetString());
    }

    if (MessageBox(text, "Quorvane", MB_YESNO | MB_ICONQUESTION) == IDYES)
        OpenSaveFolder(m_editSaveDir.GetWindowText());

    m_progress.SetPos(0);

    m_progress.ShowWindow(SW_HIDE);
    m_lblProgress.ShowWindow(SW_HIDE);
    m_lblStatus.ShowWindow(SW_HIDE);
    m_listPictures.ShowWindow(SW_HIDE);
    m_filterBar.ShowWindow(SW_HIDE);
    m_filterBar.EnableWindow(TRUE);
    m_lblCount.ShowWindow(SW_HIDE);
    m_btnRecover.ShowWindow(SW_HIDE);
    m_lblSelectAll.ShowWindow(SW_HIDE);

    m_editSaveDir.ShowWindow(SW_SHOW);
    m_lblSaveDir.ShowWindow(SW_SHOW);
    m_lblSelectDrive.ShowWindow(SW_SHOW);
    m_btnReload.ShowWindow(SW_SHOW);
    m_btnBrowse.ShowWindow(SW_SHOW);
    m_listDrives.ShowWindow(SW_SHOW);
    m_btnNext.ShowWindow(SW_SHOW);
}

void CRecoveryDlg::AbortRecovery()
{
    m_copier.Stop();
    m_filterBar.EnableWindow(TRUE);
    m_progress.SetPos(0);
    m_progress.ShowWindow(SW_HIDE);
    EnterAnalysedState();
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
