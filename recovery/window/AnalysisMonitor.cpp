// The analysis monitor: the rescan ticks step the intake's walks of the
// data folder, and the intake ticks have it hand the finished thumbnails
// to the picture list, within a time budget per tick, until a walk made
// after the engine's end has been taken in.
#include "RecoveryDlg.h"

#include <chrono>


namespace {

// Longest an intake tick, or a step of a walk, works before the window
// answers again; a walk that is not done goes on after kWalkStepMs.
const std::chrono::milliseconds kIntakeBudget(25);
const std::chrono::milliseconds kWalkBudget(15);
const UINT kWalkStepMs = 10;

}  // namespace

void CRecoveryDlg::OnRescanTick()
{
    KillTimer(TIMER_RESCAN);
    if (m_state.searching)
        m_searchView.Update();
    ShowClearingInStatus();
    const CFindsIntake::Walk walk = m_intake.WalkStep(m_workFolders.Folder(), m_state.searching, kWalkBudget, m_list);
    // Records of listed finds may have moved them; between intakes nobody
    // else tells the list.
    if (m_list.Reordered() && !m_pacer.Armed())
        m_list.ShowCount();
    if (m_pacer.Arm(m_intake.Waiting()))
        SetTimer(TIMER_INTAKE, kIntakeIntervalMs);
    if (walk == CFindsIntake::Walk::Going)
        SetTimer(TIMER_RESCAN, kWalkStepMs);
    else if (walk == CFindsIntake::Walk::Ended)
        SetTimer(TIMER_RESCAN, kRescanIntervalMs);
    else if (!m_pacer.Armed())
        EnterAnalysedState();
}

void CRecoveryDlg::OnIntakeTick()
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
        ShowState();
        return;
    case CIntakePacer::Step::TakeIn:
        break;
    }
    // The results are out of the workers' queue before a box: it lets
    // further ticks run, and they must not take these files in again.
    for (int outOfStep = m_intake.TakeIn(kIntakeBudget, m_list); outOfStep > 0; --outOfStep)
        MessageBox("Photo items count error", nullptr, MB_OK);
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

void CRecoveryDlg::EndIntake()
{
    const bool countChanged = m_list.CountChanged();
    if (countChanged)
        m_list.ShowCount();
    if (m_pacer.ScrollAtEnd(countChanged))
        m_list.ScrollToLast();
    m_view.Filters().SetTypeCounts(m_list.Items());
    m_finds.ShowCountLine(true);
    m_finds.PicturesChanged();
    KillTimer(TIMER_INTAKE);
    m_pacer.Disarm();
    if (m_intake.LastPass())
        EnterAnalysedState();
}

void CRecoveryDlg::ShowClearingInStatus()
{
    // The intake steps the line as pictures come; without them it changes
    // here when the deletion starts or ends.
    if (m_state.ClearingNews(m_workFolders.Clearing(), m_pacer.Armed())) {
        m_state.StepStatus(m_workFolders.Clearing());
        ShowState();
    }
}

void CRecoveryDlg::EnterAnalysedState()
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
    RememberLastSearch(m_intake.LastPass());
    m_view.ResetProgressLine();

    m_state.view = WindowView::Analysed;
    m_state.SetStatus(StatusLine::Analysed);
    m_state.selectAllTicks = false;
    m_view.Filters().SetTypeCounts(m_list.Items());
    m_finds.ShowCountLine(true);
    m_view.PlaceListAboveSaveFolder();
    ShowState();
}
