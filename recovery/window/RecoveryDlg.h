// The program's main window: drive list, analysis with thumbnails, recovery.
// The operations are spread over one source file per feature:
//   RecoveryDlg.cpp        construction, the views shown, admin check
//   MainWindowCommands.cpp start-up tick, timer dispatch, Browse, Reload, Help, Select all
//   EngineRun.cpp          Next's checks, the engine's end handed to m_run
//   PicturePreviewLink.cpp the picture list's messages and the filter bar's choice
//   CancelExit.cpp         Cancel/Recover button, Enter and Escape, every end of the window
//   SettingsLink.cpp       the Settings link
// with what the window shows and what runs as values (WindowState), and
// the controls in an object of their own:
//   MainView               the controls' styles, their places in each view
//                          (WindowPlaces) and which of them each view shows
// the window's parts that run on its timers and boxes (IWindowHost):
//   AnalysisMonitor        rescan and intake ticks, the analysing and
//                          analysed views
//   ResultsView            the results kept, New search, the last search
//                          offered again at start (SearchRecord)
//   RecoveringView         Recover: copying the ticked pictures (RecoveryRun)
//   SearchRunView          the search's run: the work folder, the engine's
//                          start (EngineLaunch), its end, Cancel and the stop
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
//                          asks it to show, the preview it opens
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Framework.h"
#include "AnalysisMonitor.h"
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

class CRecoveryDlg : public CSkinDialog, private IWindowHost {
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
    virtual bool PickFolder(CString& path);
    // A saved copy of a disk (.img) picked by hand; false when none is.
    virtual bool PickDiskCopy(CString& path);
    // The disk queries of the drive list and of the work folder's place
    // (under Wine every drive is on disk 0).
    virtual IDriveSystem& DriveSystem();

    // Every control's text and visibility as m_state says.
    void ShowState() override;
    bool CheckAdministrator();

    // Main window commands.
    void OnStartupTick();

    // Engine run (m_run).
    // An earlier search's work folder is gone (see CWorkFolders).
    LRESULT OnWorkFolderCleared(WPARAM, LPARAM);
    // The copy of the disk kept while searching (DiskCopyCommands.cpp): the
    // drives listed with the saved copies, the copy's file for a search of
    // chosen (empty: none wanted); false when its folder is refused (said).
    std::vector<DriveEntry> ListedDrives();
    bool PrepareDiskCopy(const DriveEntry& chosen, const CString& device, CString& copyPath);
    void OnCopyBrowse();
    void OnCopyChanged();
    void OnOpenCopy();
    LRESULT OnEngineEnded(WPARAM wParam, LPARAM lParam);

    // Picture list: the list's notifications and keys go to it, the filter
    // bar's choice to m_finds.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void ApplyFilter();

    // Recovering (m_recovering) and its seams: copies one picture into the
    // recovery folder under name (a path inside it), on the copier's
    // thread; opens the save folder for the user (tests record the call).
    virtual CPictureCopier::Outcome CopyPicture(const CString& source, const CString& folder, const CString& name,
                                                CString& copied);
    virtual void OpenSaveFolder(const CString& folder);
    void OnArrangementChanged();

    // The results kept (m_results): the New search button and the last
    // search's link in the Ready view.
    void OnNewSearch();
    void OnLastSearchLink();

    // Cancel, exit and clean-up.
    // Enter and Escape: never the end of the window.
    void OnOK() override;
    void OnCancel() override;
    // Stops the engine (and waits for it), the workers and the timers.
    void StopWork();
    void EndWindow(int result);

    // Message handlers.
    void OnPaint();
    void OnTimer(UINT_PTR nIDEvent);
    HCURSOR OnQueryDragIcon();
    void OnBrowse();
    void OnNext();
    void OnReload();
    void OnRecover();
    void OnClose();
    void OnDestroy();
    LRESULT OnEndSession(WPARAM ending, LPARAM);
    void OnHelpLink();
    BOOL OnHelpInfo(HELPINFO* info);
    void OnSettings();
    void OnSelectAll();
    // Alt with a command's access key, and Ctrl+A; true when the key was one.
    bool OnKeyboardCommand(const MSG& msg);
    void TickAllShown();
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
    // The count line, the filters and the preview: the list's host.
    CFindsView m_finds;
    // The results kept, New search and the last search offered at start,
    // with the record of the search shown.
    CResultsView m_results;
    // Recover: the copy of the ticked pictures into the save folder.
    CRecoveringView m_recovering;
    // The search's run: Next's work folder, the engine's start, its end
    // and its stop.
    CSearchRunView m_run;
    // The close question is open.
    bool m_bCloseAsking;
};
