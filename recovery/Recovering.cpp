// Recovering: copying the ticked pictures into the save folder, one per tick
// of TIMER_COPY, with a progress bar, then the summary and the way back to
// the drive-selection view.
#include "RecoveryDlg.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "FileUtils.h"

namespace {

// One picture per tick keeps the window responsive between copies.
const UINT kCopyIntervalMs = 100;
// The analysis timers re-arm themselves at this interval.
const UINT kAnalysisIntervalMs = 200;

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
    // taking in its last files after a cancel, must not start a run: the
    // intake and the copy share the batch counters.
    if (TimerArmed(m_hWnd, TIMER_COPY, kCopyIntervalMs))
        return;
    if (TimerArmed(m_hWnd, TIMER_RESCAN, kAnalysisIntervalMs) ||
        TimerArmed(m_hWnd, TIMER_INTAKE, kAnalysisIntervalMs)) {
        MessageBox("Please wait until the last pictures found have been listed, then press 'Recover' again.",
                   "Quorvane", MB_OK);
        return;
    }

    m_checkedItems.clear();
    const int count = m_listPictures.GetItemCount();
    for (int item = 0; item < count; ++item) {
        if (m_listPictures.GetCheck(item))
            m_checkedItems.push_back(item);
    }
    if (m_checkedItems.empty()) {
        MessageBox("Please tick at least one picture to recover.", "Quorvane", MB_OK);
        return;
    }

    // During a recovery m_newFiles collects the pictures that could not be
    // copied (the intake, its other user, is over).
    m_newFiles.clear();
    m_nBatchIndex = 0;
    m_nBatchCount = static_cast<int>(m_checkedItems.size());

    m_btnRecover.ShowWindow(SW_HIDE);
    m_lblSelectAll.ShowWindow(SW_HIDE);

    m_progress.SetRange32(0, m_nBatchCount);
    m_progress.SetPos(0);
    m_progress.ShowWindow(SW_SHOW);

    CString text;
    text.Format("Recovering photo %d of %d", 0, m_nBatchCount);
    m_lblProgress.MoveWindow(m_rcProgressText, FALSE);
    m_lblProgress.ShowWindow(SW_SHOW);
    m_lblProgress.SetCaption(text);

    SetTimer(TIMER_COPY, kCopyIntervalMs);
}

void CRecoveryDlg::CopyNextPicture()
{
    if (m_nBatchIndex >= m_nBatchCount) {
        KillTimer(TIMER_COPY);
        FinishRecovery();
        return;
    }
    // Timers keep ticking while a message box is open: stop first, then say.
    if (m_nBatchIndex >= static_cast<int>(m_checkedItems.size())) {
        KillTimer(TIMER_COPY);
        MessageBox("Internal error, photo index goes out of boundry.", "Quorvane", MB_OK);
        AbortRecovery();
        return;
    }

    const CString source = GetPicturePath(m_checkedItems[static_cast<size_t>(m_nBatchIndex)]);
    if (source.IsEmpty() || !PathFileExistsA(source)) {
        m_newFiles.push_back(CString());
        ++m_nBatchIndex;
        return;
    }

    const CString folder = m_editSaveDir.GetWindowText();
    if (!IsFolder(folder) && !CreateDirectoryA(folder, nullptr)) {
        KillTimer(TIMER_COPY);
        MessageBox("Output directory \"" + folder + "\" does not exists.", "Quorvane", MB_OK);
        AbortRecovery();
        return;
    }

    const int slash = source.ReverseFind('\\');
    const CString name = slash < 0 ? source : source.Mid(slash + 1);

    // A folder and name too long for a path count as a refused copy.
    char target[MAX_PATH] = {};
    bool copied = false;
    if (folder.GetLength() < MAX_PATH) {
        lstrcpynA(target, folder, MAX_PATH);
        copied = PathAppendA(target, name) && CopyFileA(source, target, FALSE);
    }
    if (!copied)
        m_newFiles.push_back(source);

    ++m_nBatchIndex;
    CString text;
    text.Format("Recovering photo %d of %d", m_nBatchIndex, m_nBatchCount);
    m_lblProgress.SetCaption(text);
    m_progress.SetPos(m_nBatchIndex);
}

void CRecoveryDlg::FinishRecovery()
{
    // Only the pictures that really reached the save folder count as
    // recovered; the others are named with the reason.
    const int failed = static_cast<int>(m_newFiles.size());
    const int recovered = m_nBatchCount - failed;
    CString text;
    if (failed == 0) {
        text.Format("%d files recovered.\n\nDo you want to view recovered files?", recovered);
    } else {
        text.Format("%d files recovered.\n\n%s\n\nDo you want to view recovered files?", recovered,
                    NotCopiedSentence(m_newFiles).GetString());
    }
    m_newFiles.clear();

    if (MessageBox(text, "Quorvane", MB_YESNO | MB_ICONQUESTION) == IDYES)
        OpenSaveFolder(m_editSaveDir.GetWindowText());

    m_progress.SetPos(0);

    m_progress.ShowWindow(SW_HIDE);
    m_lblProgress.ShowWindow(SW_HIDE);
    m_lblStatus.ShowWindow(SW_HIDE);
    m_listPictures.ShowWindow(SW_HIDE);
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
    m_newFiles.clear();
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
