// The results kept, and the last search offered again. After a search (or
// a Recover) the finds stay in the window until New search goes back to
// the drive list. The finds of the last search that ended stay in its work
// folder until a new search starts; its record (lastsearch.ini, see
// LastSearch.h, held by CSearchRecord) offers them again in the Ready view,
// through a link under the drive list, and the link lists them as the end
// of a search does, through the analysis monitor.
// Contract: OnCommand takes New search and the link, which act only from
// the views where they are shown (a stray command does nothing); every box is shown through the
// window (IWindowHost). Limits: on the window's thread; the record is
// written only while no engine runs.
#pragma once

#include "AnalysisMonitor.h"
#include "FindsIntake.h"
#include "MainView.h"
#include "PictureList.h"
#include "SearchRecord.h"
#include "WindowHost.h"
#include "WindowState.h"
#include "WorkFolders.h"

class CResultsView {
public:
    CResultsView(IWindowHost& host, CWindowState& state, CMainView& view, CWorkFolders& workFolders,
                 CFindsIntake& intake, CPictureList& list, CAnalysisMonitor& monitor);
    CResultsView(const CResultsView&) = delete;
    CResultsView& operator=(const CResultsView&) = delete;

    // A command of the window; true when it was New search or the link.
    bool OnCommand(UINT id, UINT code);
    // New search: from the results back to the drive list (Ready).
    void NewSearch();
    // The Ready view, with its link when a work folder holds the finds of
    // a search.
    void ShowReady();
    // The link pressed: the last search's finds listed again, or a box
    // when they are gone.
    void OnLastSearchLink();
    // Writes lastsearch.ini for the search once its engine has ended; a
    // cancelled search is written again, with every find, by its last pass
    // (final), and not after.
    void Remember(bool final = true);

    // The record of the search shown and of the last search offered.
    CSearchRecord& Record() { return m_record; }
    const CSearchRecord& Record() const { return m_record; }

private:
    IWindowHost& m_host;
    CWindowState& m_state;
    CMainView& m_view;
    CWorkFolders& m_workFolders;
    CFindsIntake& m_intake;
    CPictureList& m_list;
    CAnalysisMonitor& m_monitor;
    CSearchRecord m_record;
};
