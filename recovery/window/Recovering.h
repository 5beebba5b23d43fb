// Recover: the ticked pictures copied into the search's recovery folder
// inside the save folder (CRecoveryRun, on the copier's thread), arranged as
// the choice beside Recover says, with the bar and the time left kept
// current by the copy's timer and a Cancel that stops after the picture
// being copied; then the summary and the results again, the recovered
// pictures marked.
// Contract: Start refuses, with a box, while the last finds are still being
// listed, with nothing ticked or without a save folder; OnTimer takes the
// copy timer's ticks and OnCommand the arrangement's choice; every box is
// shown through the window (IWindowHost).
// The copy of one picture and the opening of the save folder are the
// window's (its test seams), handed in as functions.
// Limits: one run at a time, on the window's thread.
#pragma once

#include <windows.h>

#include <functional>

#include "AnalysisMonitor.h"
#include "MainView.h"
#include "PicturePreview.h"
#include "PictureList.h"
#include "RecoveryRun.h"
#include "SearchRecord.h"
#include "WindowHost.h"
#include "WindowState.h"

class CRecoveringView {
public:
    // The copy's timer, as the window's WM_TIMER carries it.
    static const UINT_PTR kCopyTimer = 1027;
    // Opens the save folder for the user.
    using OpenFolder = std::function<void(const CString& folder)>;

    CRecoveringView(IWindowHost& host, CWindowState& state, CMainView& view, CPictureList& list,
                    CPicturePreview& preview, CAnalysisMonitor& monitor, CSearchRecord& record,
                    CPictureCopier::CopyOne copy, OpenFolder open);
    CRecoveringView(const CRecoveringView&) = delete;
    CRecoveringView& operator=(const CRecoveringView&) = delete;

    // Recover pressed in the analysed view.
    void Start();
    // The copy's Cancel pressed: the run ends after the picture being
    // copied, at a later tick.
    void Cancel();
    // True when the tick was the copy timer's.
    bool OnTimer(UINT_PTR timer);
    // A command of the window; true when it was the choice beside Recover
    // changing, which is kept in settings.ini.
    bool OnCommand(UINT id, UINT code);
    // The window ends: the run stopped after the picture being copied.
    void Stop();
    // A run is going.
    bool Running() const { return m_run.Running(); }

private:
    void OnArrangementChanged();
    void OnCopyTick();
    // The folder inside the save folder that this search's pictures go to:
    // the one its earlier Recover used, else a new one named for it.
    CString ChooseRecoveryFolder(const CString& saveFolder) const;

    IWindowHost& m_host;
    CWindowState& m_state;
    CMainView& m_view;
    CPictureList& m_list;
    CPicturePreview& m_preview;
    CAnalysisMonitor& m_monitor;
    CSearchRecord& m_record;
    CPictureCopier::CopyOne m_copy;
    OpenFolder m_open;
    // Where the last Recover put its pictures.
    CString m_recoveryFolder;
    CRecoveryRun m_run;
};
