// Recovering: copying the ticked pictures into the save folder on the
// copier's thread, with a progress bar and the time left kept current by
// TIMER_COPY and a Cancel that stops after the picture being copied, then
// the summary and the results again, the recovered pictures marked.
#include "RecoveryDlg.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "FileUtils.h"
#include "PictureDescription.h"
#include "SafeCopy.h"

namespace {

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

// "Recovering photo 312 of 1240 - about 2 minutes left"; no time left while
// it is not known, nor after the last picture.
CString CopyLine(int done, int total, double secondsLeft)
{
    CString text;
    text.Format("Recovering photo %d of %d", done, total);
    if (secondsLeft >= 0 && done < total)
        text += " - " + TimeLeftText(secondsLeft) + " left";
    return text;
}

}  // namespace

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
    std::vector<CString> sources;
    std::vector<uint64_t> sizes;
    m_copyItems.clear();
    m_nCopyBytes = 0;
    const CPictureItems& pictures = m_list.Items();
    for (int item : m_list.TickedShown()) {
        sources.push_back(pictures.Path(item));
        m_copyItems.push_back(item);
        // A size not known counts as one byte: the time left then goes
        // by the count.
        sizes.push_back(pictures.Bytes(item) ? pictures.Bytes(item) : 1);
        m_nCopyBytes += sizes.back();
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

    // The button becomes the copy's Cancel, beside the bar; the progress
    // text takes the save folder's place.
    m_state.view = WindowView::Recovering;
    m_state.copying = true;
    m_state.copyStopping = false;
    PlaceRecoverButton(true);
    m_preview.Close();
    m_progress.SetRange32(0, total);
    m_progress.SetPos(0);
    m_places.Put(m_lblProgress, CWindowPlaces::ProgressText, FALSE);
    m_lblProgress.SetCaption(CopyLine(0, total, -1));
    ShowState();
    m_nCopyShown = 0;
    m_copyEstimate.Reset();
    m_copyStartTick = GetTickCount64();

    m_copier.Start(
        std::move(sources), m_editSaveDir.GetWindowText(),
        [this](const CString& source, const CString& folder) { return CopyPicture(source, folder); },
        std::move(sizes));
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
    m_copyEstimate.Add(static_cast<double>(GetTickCount64() - m_copyStartTick) / 1000.0, m_copier.BytesDone());
    const CString text = CopyLine(done, m_copier.Total(), m_copyEstimate.SecondsLeft(m_nCopyBytes));
    SetLabelText(m_lblProgress, text);
    if (done != m_nCopyShown) {
        m_nCopyShown = done;
        m_progress.SetPos(done);
    }
    if (!finished)
        return;

    // Timers keep ticking while a message box is open: stop first, then say.
    // The copy's Cancel has nothing left to stop from here on.
    KillTimer(TIMER_COPY);
    m_copier.Stop();
    m_state.copyStopping = true;
    ShowState();
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
    // recovered: they are marked, and unticked so that the next Recover
    // copies only what is ticked anew. The others are named with the reason.
    const std::vector<int> copied = m_copier.Copied();
    std::vector<int> recoveredItems;
    for (int at : copied)
        recoveredItems.push_back(m_copyItems[static_cast<size_t>(at)]);
    m_list.MarkRecovered(recoveredItems);
    const std::vector<CString> failures = m_copier.Failures();
    const int recovered = static_cast<int>(copied.size());
    const int notReached = m_copier.Total() - m_copier.Done();
    CString text;
    text.Format("%d files recovered.", recovered);
    if (m_copier.Cancelled() && notReached > 0) {
        CString cancelled;
        cancelled.Format("\n\nThe recovery was cancelled: %d of the %d ticked files were not copied.", notReached,
                         m_copier.Total());
        text += cancelled;
    }
    if (!failures.empty())
        text += "\n\n" + NotCopiedSentence(failures);
    text += "\n\nDo you want to view recovered files?";

    // The copy's last step stays in view while the question is open.
    if (MessageBox(text, "Quorvane", MB_YESNO | MB_ICONQUESTION) == IDYES)
        OpenSaveFolder(m_editSaveDir.GetWindowText());

    // Then the results again, the bar and line gone.
    m_state.copying = false;
    m_progress.SetPos(0);
    PlaceRecoverButton(false);
    EnterAnalysedState();
    m_state.selectAllTicks = !m_list.AnyShownTicked();
    ShowState();
}

void CRecoveryDlg::AbortRecovery()
{
    m_copier.Stop();
    m_state.copying = false;
    m_progress.SetPos(0);
    PlaceRecoverButton(false);
    EnterAnalysedState();
}

void CRecoveryDlg::CancelRecovery()
{
    // What was copied stays; the tick after the picture being copied ends
    // the run and shows the summary. The window answers meanwhile.
    m_copier.RequestStop();
    m_state.copyStopping = true;
    ShowState();
}

void CRecoveryDlg::PlaceRecoverButton(bool copying)
{
    // The place it leaves is drawn again with the window's background.
    const RECT from = m_places.Rect(copying ? CWindowPlaces::RecoverButton : CWindowPlaces::CopyCancel);
    m_places.Put(m_btnRecover, copying ? CWindowPlaces::CopyCancel : CWindowPlaces::RecoverButton, FALSE);
    InvalidateRect(&from, TRUE);
    m_btnRecover.Invalidate(TRUE);
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
