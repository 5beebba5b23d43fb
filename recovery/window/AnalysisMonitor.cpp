// The analysis monitor: the rescan ticks step the intake's walks of the
// data folder, and the intake ticks have it hand the finished thumbnails
// to the picture list, within a time budget per tick, until a walk made
// after the engine's end has been taken in.
#include "AnalysisMonitor.h"

#include <chrono>

namespace {

// Longest an intake tick, or a step of a walk, works before the window
// answers again; a walk that is not done goes on after kWalkStepMs.
const std::chrono::milliseconds kIntakeBudget(25);
const std::chrono::milliseconds kWalkBudget(15);
const UINT kWalkStepMs = 10;
// How often the rescan and intake timers tick; the first walk waits a
// little longer after the view is entered.
const UINT kRescanIntervalMs = 200;
const UINT kFirstRescanMs = 500;
const UINT kIntakeIntervalMs = 40;

}  // namespace

CAnalysisMonitor::CAnalysisMonitor(IWindowHost& host, CWindowState& state, CMainView& view,
                                   CSearchProgressView& searchView, CWorkFolders& workFolders, CFindsIntake& intake,
                                   CPictureList& list, CFindsView& finds, CPicturePreview& preview)
    : m_host(host),
      m_state(state),
      m_view(view),
      m_searchView(searchView),
      m_workFolders(workFolders),
      m_intake(intake),
      m_list(list),
      m_finds(finds),
      m_preview(preview)
{
}

void CAnalysisMonitor::Enter()
{
    // The drive selection goes first, while nothing of the analysis is
    // there to take the focus it leaves.
    m_view.PlaceTipLine();
    m_state.view = WindowView::Analysing;
    // The last search listed again says so from the start; a search keeps
    // the line's last text until its first step.
    if (m_state.reopening)
        m_state.SetStatus(StatusLine::Reopening);
    m_host.ShowState();

    // The select-all label, the count line after it, the filter bar and
    // the list under them.
    m_view.PlaceFinds();

    // A fresh start for the intake: nothing listed, nothing with the
    // workers, the placeholder drawn anew.
    m_host.StopTimer(kIntakeTimer);
    m_pacer.Disarm();
    m_intake.Restart();
    m_preview.Close();
    ClearList();
    // Thumbnails let go of come back from a file on the work folder's disk.
    m_list.KeepThumbnailsIn(m_workFolders.CacheFolder());
    m_finds.ResetFilters();
    m_finds.ShowCountLine(true);
    ShowClearing();
    m_host.StartTimer(kRescanTimer, kFirstRescanMs);
}

bool CAnalysisMonitor::OnTimer(UINT_PTR timer)
{
    if (timer == kRescanTimer)
        OnRescanTick();
    else if (timer == kIntakeTimer)
        OnIntakeTick();
    else
        return false;
    return true;
}

void CAnalysisMonitor::OnRescanTick()
{
    m_host.StopTimer(kRescanTimer);
    if (m_state.searching)
        m_searchView.Update();
    ShowClearing();
    const CFindsIntake::Walk walk = m_intake.WalkStep(m_workFolders.Folder(), m_state.searching, kWalkBudget, m_list);
    // Records of listed finds may have moved them; between intakes nobody
    // else tells the list.
    if (m_list.Reordered() && !m_pacer.Armed())
        m_list.ShowCount();
    if (m_pacer.Arm(m_intake.Waiting()))
        m_host.StartTimer(kIntakeTimer, kIntakeIntervalMs);
    if (walk == CFindsIntake::Walk::Going)
        m_host.StartTimer(kRescanTimer, kWalkStepMs);
    else if (walk == CFindsIntake::Walk::Ended)
        m_host.StartTimer(kRescanTimer, kRescanIntervalMs);
    else if (!m_pacer.Armed())
        EnterAnalysed();
}

void CAnalysisMonitor::OnIntakeTick()
{
    switch (m_pacer.Next(m_intake.Waiting(), GetTickCount())) {
    case CIntakePacer::Step::End:
        EndIntake();
        return;
    case CIntakePacer::Step::Scroll:
        // In the order found the newest find is the last; sorted, new finds
        // join anywhere and the user's place in the list is kept.
        m_list.ScrollToLast();
        return;
    case CIntakePacer::Step::StatusLine:
        m_state.StepStatus(m_workFolders.Clearing());
        m_host.ShowState();
        return;
    case CIntakePacer::Step::TakeIn:
        break;
    }
    // The results are out of the workers' queue before a box: it lets
    // further ticks run, and they must not take these files in again.
    for (int outOfStep = m_intake.TakeIn(kIntakeBudget, m_list); outOfStep > 0; --outOfStep)
        m_host.Ask("Photo items count error", nullptr, MB_OK);
    if (m_pacer.ListStepDue(GetTickCount()) && m_list.CountChanged()) {
        m_pacer.ListStepped(GetTickCount());
        m_list.ShowCount();
        m_view.Filters().SetTypeCounts(m_list.Items());
        m_finds.ShowCountLine(false);
        m_finds.PicturesChanged();
    }
    // The intake ends on the next tick, which finds nothing waiting: the
    // last step of the status line stays for a tick like the others.
}

void CAnalysisMonitor::EndIntake()
{
    const bool countChanged = m_list.CountChanged();
    if (countChanged)
        m_list.ShowCount();
    if (m_pacer.ScrollAtEnd(countChanged))
        m_list.ScrollToLast();
    m_view.Filters().SetTypeCounts(m_list.Items());
    m_finds.ShowCountLine(true);
    m_finds.PicturesChanged();
    m_host.StopTimer(kIntakeTimer);
    m_pacer.Disarm();
    if (m_intake.LastPass())
        EnterAnalysed();
}

void CAnalysisMonitor::ShowClearing()
{
    // The intake steps the line as pictures come; without them it changes
    // here when the deletion starts or ends.
    if (m_state.ClearingNews(m_workFolders.Clearing(), m_pacer.Armed())) {
        m_state.StepStatus(m_workFolders.Clearing());
        m_host.ShowState();
    }
}

void CAnalysisMonitor::WorkFolderCleared()
{
    ShowClearing();
    m_workFolders.Cleared();
}

void CAnalysisMonitor::EnterAnalysed()
{
    m_searchView.Hide();
    // After the last walk every record is in. The file stays with the work
    // folder, for the last search to be listed again at a later start.
    if (m_intake.LastPass()) {
        m_intake.ReadRecords(m_list);
        // Between intakes nobody else tells the list.
        if (m_list.Reordered() && !m_pacer.Armed())
            m_list.ShowCount();
        m_state.reopening = false;
    }
    // A search cancelled is recorded at once, should the window end before
    // its last pass, and again with every find after it.
    if (m_onAnalysed)
        m_onAnalysed(m_intake.LastPass());
    m_view.ResetProgressLine();

    m_state.view = WindowView::Analysed;
    m_state.SetStatus(StatusLine::Analysed);
    m_state.selectAllTicks = false;
    m_view.Filters().SetTypeCounts(m_list.Items());
    m_finds.ShowCountLine(true);
    m_view.PlaceListAboveSaveFolder();
    m_host.ShowState();
}

void CAnalysisMonitor::SearchStopped()
{
    // One more walk, now that the engine is gone, takes in what it wrote
    // last; the intake goes on with what the workers still have, and the
    // analysed state is entered again when both are done.
    if (!m_intake.LastPass())
        m_host.StartTimer(kRescanTimer, kRescanIntervalMs);
    EnterAnalysed();
}

void CAnalysisMonitor::StopTimers()
{
    m_host.StopTimer(kRescanTimer);
    m_host.StopTimer(kIntakeTimer);
    m_pacer.Disarm();
}

void CAnalysisMonitor::Leave()
{
    StopTimers();
    m_intake.Pause();
    m_preview.Close();
    m_searchView.Hide();
}

void CAnalysisMonitor::Stop()
{
    StopTimers();
    m_intake.Stop();
    m_preview.Close();
}

void CAnalysisMonitor::ClearList()
{
    m_list.Clear();
    m_pacer.ListCleared();
    m_intake.ForgetListed();
}
