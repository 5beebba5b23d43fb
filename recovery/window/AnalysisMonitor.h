// The analysis monitor: from the analysing view to the analysed one. Its
// rescan ticks step the intake's walks of the data folder (and the search's
// progress line), its intake ticks have the intake hand the finished
// thumbnails to the picture list within a time budget per tick, paced by
// CIntakePacer, until a walk made after the engine's end has been taken in;
// then it enters the analysed view.
// Contract: it owns the rescan and intake timers, started and stopped
// through the window (IWindowHost), whose ticks the window hands to OnTimer;
// it changes the window's state and has the window show it. It never asks
// the engine anything: whether the search runs is the state's searching.
// Limits: one analysis at a time, on the window's thread.
#pragma once

#include <windows.h>

#include <functional>

#include "FindsIntake.h"
#include "FindsView.h"
#include "IntakePacer.h"
#include "MainView.h"
#include "PicturePreview.h"
#include "PictureList.h"
#include "SearchProgressView.h"
#include "WindowHost.h"
#include "WindowState.h"
#include "WorkFolders.h"

class CAnalysisMonitor {
public:
    // The monitor's timers, as the window's WM_TIMER carries them.
    static const UINT_PTR kRescanTimer = 1025;
    static const UINT_PTR kIntakeTimer = 1026;

    CAnalysisMonitor(IWindowHost& host, CWindowState& state, CMainView& view, CSearchProgressView& searchView,
                     CWorkFolders& workFolders, CFindsIntake& intake, CPictureList& list, CFindsView& finds,
                     CPicturePreview& preview);
    CAnalysisMonitor(const CAnalysisMonitor&) = delete;
    CAnalysisMonitor& operator=(const CAnalysisMonitor&) = delete;

    // Called each time the analysed view is entered; lastPass when every
    // find is in (the search recorded for good).
    void OnAnalysed(std::function<void(bool lastPass)> handler) { m_onAnalysed = std::move(handler); }

    // The analysing view, the list emptied, the walks of the work folder
    // started (the intake told of its finds file beforehand).
    void Enter();
    // The analysed view: the finds, Recover and the save folder.
    void EnterAnalysed();
    // The engine was stopped by the user: one more walk takes in what it
    // wrote last, and the analysed view comes at once.
    void SearchStopped();
    // True when the tick was one of the monitor's timers.
    bool OnTimer(UINT_PTR timer);
    // The status line says whether the last search's files are still being
    // deleted.
    void ShowClearing();
    // The work folders' remover says it has deleted all it was given: the
    // status line follows, and the remover is done with.
    void WorkFolderCleared();
    // New search: the timers stopped, the intake paused, the preview and
    // the search's bar gone; the list stays until the next Enter.
    void Leave();
    // The window ends: the timers stopped, the intake and the preview too.
    void Stop();
    // The list emptied with what the intake handed it.
    void ClearList();
    // Every find of the search listed: the walk after the engine's end made
    // and nothing left with the thumbnail workers.
    bool AllListed() const { return m_intake.LastPass() && !m_pacer.Armed(); }
    // The pace of the intake's ticks (the count line follows it too).
    CIntakePacer& Pacer() { return m_pacer; }

private:
    void OnRescanTick();
    void OnIntakeTick();
    void EndIntake();
    void StopTimers();

    IWindowHost& m_host;
    CWindowState& m_state;
    CMainView& m_view;
    CSearchProgressView& m_searchView;
    CWorkFolders& m_workFolders;
    CFindsIntake& m_intake;
    CPictureList& m_list;
    CFindsView& m_finds;
    CPicturePreview& m_preview;
    CIntakePacer m_pacer;
    std::function<void(bool)> m_onAnalysed;
};
