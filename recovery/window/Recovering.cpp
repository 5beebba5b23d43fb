// Recovering: copying the ticked pictures into the search's recovery folder
// inside the save folder on the copier's thread, with a progress bar and
// the time left kept current by the copy's timer and a Cancel that stops
// after the picture being copied, then the summary and the results again,
// the recovered pictures marked.
#include "Recovering.h"

#include "SafeCopy.h"
#include "SettingsFiles.h"
#include "resource.h"

namespace {

// How often the copy's line and bar are brought up to date.
const UINT kCopyIntervalMs = 50;

}  // namespace

CRecoveringView::CRecoveringView(IWindowHost& host, CWindowState& state, CMainView& view, CPictureList& list,
                                 CPicturePreview& preview, CAnalysisMonitor& monitor, CSearchRecord& record,
                                 CPictureCopier::CopyOne copy, OpenFolder open)
    : m_host(host),
      m_state(state),
      m_view(view),
      m_list(list),
      m_preview(preview),
      m_monitor(monitor),
      m_record(record),
      m_copy(std::move(copy)),
      m_open(std::move(open))
{
}

void CRecoveringView::Start()
{
    // A second press while copying, or a press while the analysis is still
    // taking in its last files after a cancel (the walk after the engine's
    // end not made yet, or its pictures still with the workers), must not
    // start a run.
    if (m_state.copying)
        return;
    if (!m_monitor.AllListed()) {
        m_host.Ask("Please wait until the last pictures found have been listed, then press 'Recover' again.",
                   "Quorvane", MB_OK);
        return;
    }

    // What the list shows and is ticked; pictures a filter hides stay.
    const std::vector<int> ticked = m_list.TickedShown();
    if (ticked.empty()) {
        m_host.Ask("Please tick at least one picture to recover.", "Quorvane", MB_OK);
        return;
    }
    if (m_view.SaveFolder().IsEmpty()) {
        m_host.Ask("Please choose a folder to save the recovered pictures in with 'Browse', then press "
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
    m_record.KeepRecoveryFolder(m_recoveryFolder);
    m_run.Start(m_list.Items(), ticked, m_recoveryFolder, arrangement, m_copy, GetTickCount64());
    m_view.BeginCopy(m_run.Total(), m_run.FirstLine());
    m_host.ShowState();
    m_host.StartTimer(kCopyTimer, kCopyIntervalMs);
}

void CRecoveringView::Cancel()
{
    // What was copied stays; the tick after the picture being copied ends
    // the run and shows the summary. The window answers meanwhile. A copy
    // that is done, or told to stop, has nothing left to cancel.
    if (!m_state.CancelsCopy())
        return;
    m_run.RequestStop();
    m_state.copyStopping = true;
    m_host.ShowState();
}

bool CRecoveringView::OnTimer(UINT_PTR timer)
{
    if (timer != kCopyTimer)
        return false;
    OnCopyTick();
    return true;
}

CString CRecoveringView::ChooseRecoveryFolder(const CString& saveFolder) const
{
    CString save = saveFolder;
    while (save.GetLength() > 1 && save.Right(1) == "\\")
        save = save.Left(save.GetLength() - 1);
    // Recovering more from the same results adds to the same folder, as
    // long as it is in the save folder chosen now.
    const CString kept = m_record.RecoveryFolder();
    const int slash = kept.ReverseFind('\\');
    if (slash > 0 && lstrcmpiA(kept.Left(slash), save) == 0)
        return kept;
    // A new folder, never one that is there already: the user's own, or an
    // earlier search's of the same drive and day.
    const CString name = RecoveryFolderName(m_record.Day(), m_record.Drive());
    CString folder = save + "\\" + name;
    for (int n = 2; n < 10000 && GetFileAttributesA(folder) != INVALID_FILE_ATTRIBUTES; ++n)
        folder = save + "\\" + NumberedName(name, n);
    return folder;
}

bool CRecoveringView::OnCommand(UINT id, UINT code)
{
    if (id != IDC_ARRANGEMENT || code != CBN_SELCHANGE)
        return false;
    OnArrangementChanged();
    return true;
}

void CRecoveringView::OnArrangementChanged()
{
    const CString chosen = m_view.ArrangementChoice();
    if (!chosen.IsEmpty())
        WriteArrangement(chosen);
}

void CRecoveringView::OnCopyTick()
{
    const CRecoveryRun::Shown shown = m_run.Tick(GetTickCount64());
    m_view.ShowCopyStep(shown.line, shown.moved, shown.done);
    if (!shown.finished)
        return;

    // Timers keep ticking while a message box is open: stop first, then say.
    // The copy's Cancel has nothing left to stop from here on.
    m_host.StopTimer(kCopyTimer);
    m_state.copyStopping = true;
    m_host.ShowState();
    if (m_run.FolderMissing()) {
        m_host.Ask("Output directory \"" + m_view.SaveFolder() + "\" does not exists.", "Quorvane", MB_OK);
    } else {
        // Only the pictures that really reached the save folder count as
        // recovered: they are marked, and unticked so that the next Recover
        // copies only what is ticked anew. The copy's last step stays in
        // view while the question is open.
        m_list.MarkRecovered(m_run.RecoveredItems());
        if (m_host.Ask(m_run.Summary(), "Quorvane", MB_YESNO | MB_ICONQUESTION) == IDYES)
            m_open(m_recoveryFolder);
    }

    // Then the results again, the bar and line gone; Recover can be tried
    // again.
    m_state.copying = false;
    m_view.EndCopy();
    m_monitor.EnterAnalysed();
    m_state.selectAllTicks = !m_list.AnyShownTicked();
    m_host.ShowState();
}

void CRecoveringView::Stop()
{
    // The copy dies with the window; its ticks must not reach a list that
    // is being emptied.
    m_host.StopTimer(kCopyTimer);
    m_run.Stop();
    m_state.copying = false;
}
