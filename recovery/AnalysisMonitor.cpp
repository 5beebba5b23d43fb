// The analysis monitor: walks of the data folder hand each new file to the
// thumbnail workers, and the intake ticks put the finished thumbnails
// into the picture list in the order the walks found the files, within a
// time budget per tick, until a walk made after the engine's end has been
// taken in.
#include "RecoveryDlg.h"

#include <chrono>

#include "FileUtils.h"

namespace {

// Longest an intake tick, or a step of a walk, works before the window
// answers again; a walk that is not done goes on after kWalkStepMs.
const std::chrono::milliseconds kIntakeBudget(25);
const std::chrono::milliseconds kWalkBudget(15);
const UINT kWalkStepMs = 10;

// The status line's dots move at most this often, however short the
// intake's ticks.
const DWORD kStatusStepMs = 200;

// The list control hears of new items at most this often: each time it
// draws itself again and, on the next tick, scrolls to the last one.
const DWORD kListStepMs = 200;

bool IsPictureExtension(const CString& path)
{
    PictureType type;
    return PictureTypeOfExtension(path.str(), type);
}

}  // namespace

void CRecoveryDlg::OnRescanTick()
{
    KillTimer(TIMER_RESCAN);
    ShowSearchProgress();
    ShowClearingInStatus();
    // Before the walk: a find's record is written before its file appears.
    ReadFindRecords();
    if (!m_walk.Active()) {
        // Read before the walk starts: a walk that starts after the engine's
        // end sees every file it wrote, and so reads every folder.
        m_bWalkAfterEnd = !m_state.searching;
        m_walk.Start(m_strDataDir, !m_bWalkAfterEnd);
    }
    const bool ended = m_walk.Continue(kWalkBudget, [this](const CString& path) {
        // Known files cost a lookup; files that are no pictures are only
        // remembered.
        if (m_knownFiles.insert(path.str()).second && IsPictureExtension(path))
            m_thumbnails.Add(path);
    });
    if (m_thumbnails.Waiting() > 0 && !m_bIntakeArmed) {
        m_bIntakeArmed = true;
        SetTimer(TIMER_INTAKE, kIntakeIntervalMs);
    }
    if (!ended) {
        SetTimer(TIMER_RESCAN, kWalkStepMs);
        return;
    }

    m_bLastPass = m_bWalkAfterEnd;
    if (!m_bLastPass)
        SetTimer(TIMER_RESCAN, kRescanIntervalMs);
    else if (!m_bIntakeArmed)
        EnterAnalysedState();
}

void CRecoveryDlg::OnIntakeTick()
{
    if (m_thumbnails.Waiting() == 0) {
        EndIntake();
        return;
    }
    // Stepping the status line, telling the list of new items and
    // scrolling to them each draw at once: one of them per tick, so that
    // the window answers in between.
    if (m_bScrollPending) {
        ScrollToLastPicture();
        return;
    }
    if (GetTickCount() - m_dwLastStatusStep >= kStatusStepMs) {
        m_dwLastStatusStep = GetTickCount();
        StepStatusLine();
        return;
    }

    const auto start = std::chrono::steady_clock::now();
    CThumbnailMaker::Result result;
    while (std::chrono::steady_clock::now() - start < kIntakeBudget && m_thumbnails.TakeNext(result))
        TakeIn(result);
    if (GetTickCount() - m_dwLastListStep >= kListStepMs &&
        (m_listPictures.GetItemCount() != m_view.Count() || m_bListReordered)) {
        m_dwLastListStep = GetTickCount();
        ShowPictureCount();
        m_bScrollPending = true;
        m_filterBar.SetTypeCounts(m_pictures);
        ShowCountLine(false);
        // Its place among the pictures, and its Next button, may change.
        if (m_preview.IsOpen())
            m_preview.OnPicturesChanged();
    }
    // The intake ends on the next tick, which finds nothing waiting: the
    // last step of the status line stays for a tick like the others.
}

void CRecoveryDlg::TakeIn(CThumbnailMaker::Result& result)
{
    switch (result.outcome) {
    case CThumbnailMaker::Outcome::Picture:
        break;
    case CThumbnailMaker::Outcome::NotPicture:
        if (!PlaceholderThumbnail(result.pixels))
            return;
        break;
    case CThumbnailMaker::Outcome::NotReady:
    case CThumbnailMaker::Outcome::Gone:
        // Offered again by the next walk, if there is one.
        m_knownFiles.erase(result.path.str());
        m_walk.Forget(result.path.Left(result.path.ReverseFind('\\')));
        return;
    }

    AddThumbnail(result.pixels, result.path, result.details, result.outcome == CThumbnailMaker::Outcome::Picture);
    ++m_nNextItem;
    // The result is out of the workers' queue before the message: its box
    // lets further ticks run, and they must not take this file in again.
    if (m_pictures.Count() != m_nNextItem)
        MessageBox("Photo items count error", nullptr, MB_OK);
}

void CRecoveryDlg::ScrollToLastPicture()
{
    m_bScrollPending = false;
    // In the order found the newest find is the last; sorted, new finds
    // join anywhere and the user's place in the list is kept.
    if (m_view.Count() > 0 && m_view.Sort() == PictureSort::Found)
        m_listPictures.EnsureVisible(m_view.Count() - 1, TRUE);
}

void CRecoveryDlg::EndIntake()
{
    if (m_listPictures.GetItemCount() != m_view.Count() || m_bListReordered) {
        ShowPictureCount();
        m_bScrollPending = true;
    }
    if (m_bScrollPending)
        ScrollToLastPicture();
    m_filterBar.SetTypeCounts(m_pictures);
    ShowCountLine(true);
    if (m_preview.IsOpen())
        m_preview.OnPicturesChanged();
    KillTimer(TIMER_INTAKE);
    m_bIntakeArmed = false;
    if (m_bLastPass)
        EnterAnalysedState();
}

void CRecoveryDlg::StepStatusLine()
{
    // While the last search's files are still being deleted the line says so.
    if (m_state.reopening)
        m_state.StepReopening();
    else
        m_state.StepAnalysing(m_remover.Busy());
    ShowState();
}

void CRecoveryDlg::ShowClearingInStatus()
{
    // The intake steps the line as pictures come; without them it changes
    // here when the deletion starts or ends. After the search the line
    // says what to do next instead.
    if (!m_state.searching)
        return;
    const bool saysClearing = m_state.StatusSaysClearing();
    if (saysClearing != m_remover.Busy() && (saysClearing || !m_bIntakeArmed))
        StepStatusLine();
}

void CRecoveryDlg::EnterAnalysedState()
{
    HideSearchProgress();
    // After the last walk every record is in. The file stays with the work
    // folder, for the last search to be listed again at a later start.
    if (m_bLastPass) {
        if (!m_strFindsPath.IsEmpty())
            ReadFindRecords();
        m_state.reopening = false;
    }
    // A search cancelled is recorded at once, should the window end before
    // its last pass, and again with every find after it.
    RememberLastSearch(m_bLastPass);
    m_lblProgress.SetCaption("");
    m_places.Put(m_lblProgress, CWindowPlaces::ProgressText, FALSE);

    m_state.view = WindowView::Analysed;
    m_state.SetStatus(StatusLine::Analysed);
    m_state.selectAllTicks = false;
    m_filterBar.SetTypeCounts(m_pictures);
    ShowCountLine(true);
    PlaceListAboveSaveFolder();
    ShowState();
}
