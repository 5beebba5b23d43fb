// The search's run, from Next to the engine's end: the save folder checked
// against the work folder, the work folder chosen (with the question when
// it is on the disk searched) and prepared, the analysing view entered and
// the engine started (EngineLaunch), its end taken from the message its
// waiter posts, and its stop by the user's Cancel or by the window's end.
// Contract: Start is Next's work once a drive is chosen and the copy of
// the disk prepared; every failure is told in a box, in the order the
// window always told them, and ends the search. OnEngineEnded takes the
// message posted to the window given to Attach; an end posted before a
// stop, or by an earlier run, is no news. Cancel asks first; Stop asks
// nothing and waits for the engine's run to be over. Every box is shown
// through the window (IWindowHost), on its thread.
// Limits: one run at a time; the window's thread only.
#pragma once

#include <windows.h>

#include "AnalysisMonitor.h"
#include "DriveDiscovery.h"
#include "EngineSearch.h"
#include "FindsIntake.h"
#include "MainView.h"
#include "ResultsView.h"
#include "SearchProgressView.h"
#include "WindowHost.h"
#include "WindowState.h"
#include "WorkFolders.h"

class CSearchRunView {
public:
    CSearchRunView(IWindowHost& host, CWindowState& state, CMainView& view, CWorkFolders& workFolders,
                   CSearchProgressView& searchView, CFindsIntake& intake, CResultsView& results,
                   CAnalysisMonitor& monitor);
    CSearchRunView(const CSearchRunView&) = delete;
    CSearchRunView& operator=(const CSearchRunView&) = delete;

    // The window the engine's end is posted to, as endedMessage.
    void Attach(HWND window, UINT endedMessage);
    // Next on drive (chosen, as the drive list names it): the search of its
    // device, the copy of the disk kept in copyPath (empty: none). Refused
    // with a box when the save folder lies in the work folder, or when the
    // work folder cannot be made; nothing when the user declines to search
    // the disk the work folder is on.
    void Start(IDriveSystem& drives, const DriveEntry& chosen, const CString& drive,
               const CString& copyPath = CString());
    // The message the engine's waiter posted.
    void OnEngineEnded(WPARAM wParam, LPARAM lParam);
    // The search's Cancel (the button or Escape): asks, and on Yes stops
    // the engine and shows what was found.
    void Cancel();
    // Ends the engine, also one still being started, and waits for its run
    // to be over; asks nothing.
    void Stop();

private:
    void Launch(const CString& device, const CString& copyPath);
    void NotStarted();

    IWindowHost& m_host;
    CWindowState& m_state;
    CMainView& m_view;
    CWorkFolders& m_workFolders;
    CSearchProgressView& m_searchView;
    CFindsIntake& m_intake;
    CResultsView& m_results;
    CAnalysisMonitor& m_monitor;
    HWND m_window = nullptr;
    UINT m_endedMessage = 0;
    CEngineSearch m_search;
};
