// The program's main window: drive list, analysis with thumbnails, recovery.
// A thin dialog that owns its parts and wires them together; its own work
// is spread over a few source files:
//   RecoveryDlg.cpp        construction, the views shown, the parts' timers
//                          and boxes, the seams tests answer, the window's
//                          size, resolution and minimised icon, admin check
//   MainWindowCommands.cpp the start-up tick, where each tick, command and
//                          posted message goes, Browse, Next's drive checks
//   CancelExit.cpp         Cancel/Recover button, Enter and Escape, every end of the window
// with what the window shows and what runs as values (WindowState), and
// the controls in an object of their own:
//   MainView               the controls' styles, their places in each view
//                          (WindowPlaces), which of them each view shows,
//                          and the access keys (MainViewKeys)
// the window's parts, which take their own commands (OnCommand, asked in
// turn) and run on its timers and boxes (IWindowHost):
//   AnalysisMonitor        rescan and intake ticks, the analysing and
//                          analysed views, the cleared work folder's news
//   ResultsView            the results kept, New search, the last search
//                          offered again at start (SearchRecord)
//   RecoveringView         Recover: copying the ticked pictures (RecoveryRun)
//                          and the arrangement's choice
//   SearchRunView          the search's run: the work folder, the engine's
//                          start (EngineLaunch), its end, Cancel and the stop
//   DiskCopyOption         the copy of the disk kept while searching, the
//                          drives listed with the saved copies, Reload and
//                          Open a copy (its pickers through IDiskCopyHost)
//   WindowLinks            the Help and Settings links
// and the work that runs off the window's thread in objects of their own:
//   EngineLaunch           the engine's files, its arguments and its start
//   EngineSearch           the engine's process and the thread that waits for it
//   FindsIntake            the data folder's walks, the thumbnail workers and
//                          the engine's finds file, a step per tick
//   RecoveryRun            copying into the save folder, its line and summary
//   WorkFolders            each search's work folder, and deleting an earlier
//                          search's (FolderRemover) off the window's thread
//   SearchRecord           the record of the search shown, the last search offered
//   SearchProgress         the engine's progress file, time left, the line
//   TaskbarProgress        the taskbar button's progress
//   SearchProgressView     the search's progress bar, line and taskbar button
//   IntakePacer            whether the intake ticks, and what each tick does
// and the picture list in an object of its own:
//   PictureList            the owner-data list control, its tooltip and ticks,
//                          the pictures (PictureItems), which of them it shows
//                          (PictureView) and the thumbnails it draws from
//   FilterBar              the controls that choose what it shows
//   FindsView              the list's host: the count line, what the filter bar
//                          asks it to show, Select All and Ctrl+A, the
//                          preview it opens
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Framework.h"
#include "AnalysisMonitor.h"
#include "DiskCopyOption.h"
#include "DriveDiscovery.h"
#include "FindsIntake.h"
#include "FindsView.h"
#include "IntakePacer.h"
#include "MainView.h"
#include "PicturePreview.h"
#include "PictureList.h"
#include "Recovering.h"
#include "ResultsView.h"
#include "SearchProgressView.h"
#include "SearchRunView.h"
#include "SkinDialog.h"
#include "Thumbnail.h"
#include "WindowHost.h"
#include "WindowLinks.h"
#include "WindowPlacement.h"
#include "WindowState.h"
#include "WorkFolders.h"

// The window's own timer; the parts' timers are theirs (1025 to 1027).
enum : UINT_PTR {
    TIMER_STARTUP = 1028,
};

// The folder remover has deleted everything it was given.
const UINT WM_WORK_FOLDER_CLEARED = WM_APP + 41;
// The engine's run is over (see CEngineSearch::Read).
const UINT WM_ENGINE_ENDED = WM_APP + 42;

class CRecoveryDlg : public CSkinDialog, private IWindowHost, private IDiskCopyHost {
public:
    CRecoveryDlg();
    ~CRecoveryDlg() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    // Platform questions that tests answer differently from the machine
    // they run on (Wine always reports an administrator, and the folder
    // picker needs a person).
    virtual BOOL IsAdministrator();
    virtual bool QueryWindowsVersion(int& code, CString& servicePack);
    bool PickFolder(CString& path) override;
    // A saved copy of a disk (.img) picked by hand; false when none is.
    bool PickDiskCopy(CString& path) override;
    // The disk queries of the drive list and of the work folder's place
    // (under Wine every drive is on disk 0).
    IDriveSystem& DriveSystem() override;
    // Recovering's seams: copies one picture into the recovery folder
    // under name (a path inside it), on the copier's thread; opens the
    // save folder for the user (tests record the call).
    virtual CPictureCopier::Outcome CopyPicture(const CString& source, const CString& folder, const CString& name,
                                                CString& copied);
    virtual void OpenSaveFolder(const CString& folder);

    // Every control's text and visibility as m_state says.
    void ShowState() override;
    bool CheckAdministrator();

    // The parts' messages: the list's notifications, the engine's end and
    // the cleared work folder go to their part (MainWindowCommands.cpp).
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The commands the message map leaves go to the parts, each asked in turn.
    bool OnCommand(UINT id, UINT code) override;
    // The list's keys, the access keys and Ctrl+A.
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // Cancel, exit and clean-up (CancelExit.cpp).
    // Enter and Escape: never the end of the window.
    void OnOK() override;
    void OnCancel() override;
    // Stops the engine (and waits for it), the workers and the timers.
    void StopWork();

    // Message handlers.
    void OnPaint();
    void OnTimer(UINT_PTR nIDEvent);
    HCURSOR OnQueryDragIcon();
    void OnBrowse();
    void OnNext();
    void OnRecover();
    void OnClose();
    void OnDestroy();
    LRESULT OnEndSession(WPARAM ending, LPARAM);
    BOOL OnHelpInfo(HELPINFO* info);
    // The window changes size: the controls follow its edges; never
    // smaller than the template.
    void OnSize(UINT type, int cx, int cy);
    void OnGetMinMaxInfo(MINMAXINFO* info);
    LRESULT OnDpiChanged(WPARAM dpi, LPARAM suggested);
    LRESULT OnShowWindow(WPARAM shown, LPARAM);

    DECLARE_MESSAGE_MAP()

private:
    // The parts' timers, boxes and state shown (IWindowHost).
    void StartTimer(UINT_PTR timer, UINT ms) override;
    void StopTimer(UINT_PTR timer) override;
    int Ask(const char* text, const char* caption, UINT type) override;

protected:
    // What the window shows and what runs.
    CWindowState m_state;
    // The controls, their places and what each view shows of them.
    CMainView m_view;
    HICON m_hIcon;
    // The search's work folder and the clearing out of earlier ones.
    CWorkFolders m_workFolders;
    // The search's progress bar, line and taskbar button.
    CSearchProgressView m_searchView;
    // The pictures found, as the list control shows them.
    CPictureList m_list;
    // The window's size and place from the last run, and for the next.
    CWindowPlacement m_placement;
    CPicturePreview m_preview;
    // The walks, the thumbnail workers and the finds file of the search.
    CFindsIntake m_intake;
    // The rescan and intake ticks, from the analysing view to the analysed
    // one; the pace of the intake is its own.
    CAnalysisMonitor m_monitor;
    // The count line, the filters, Select All and the preview: the list's
    // host.
    CFindsView m_finds;
    // The results kept, New search and the last search offered at start,
    // with the record of the search shown.
    CResultsView m_results;
    // Recover: the copy of the ticked pictures into the save folder.
    CRecoveringView m_recovering;
    // The search's run: Next's work folder, the engine's start, its end
    // and its stop.
    CSearchRunView m_run;
    // The copy of the disk kept while searching, and the drives listed
    // with the saved copies.
    CDiskCopyOption m_copyOption;
    // The Help and Settings links.
    CWindowLinks m_links;
    // The close question is open.
    bool m_bCloseAsking;
};
