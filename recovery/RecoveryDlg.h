// The program's main window: drive list, analysis with thumbnails, recovery.
// The operations are spread over one source file per feature:
//   RecoveryDlg.cpp        construction, controls, layout, admin check
//   window/ShowState.cpp   the views: every control as the window's state says
//   MainWindowCommands.cpp start-up tick, timer dispatch, Browse, Reload, Help, Select all
//   EngineRun.cpp          Next, work folder, engine files and arguments, its end
//   AnalysisMonitor.cpp    rescan and intake ticks, analysed state
//   SearchProgressView.cpp the search's progress bar, line and taskbar button
//   PictureList.cpp        thumbnails and the picture list (the control asks,
//                          the window answers from its own items)
//   PictureFilters.cpp     the filter bar, the count line, what the list shows
//   FindRecords.cpp        what the engine says of each find (folder, deleted)
//   PicturePreviewLink.cpp the large preview of a picture
//   Recovering.cpp         copying the ticked pictures
//   ResultsView.cpp        the results kept after Recover, New search, the
//                          last search offered again at start
// with what the window shows and what runs as values (WindowState), and
// the work that runs off the window's thread in objects of their own:
//   EngineSearch           the engine's process and the thread that waits for it
//   FolderWalk             the data folder's walk, a little per tick
//   ThumbnailMaker         decoding and scaling the found files
//   PictureCopier          copying into the save folder
//   FolderRemover          deleting an earlier search's work folder
//   SearchProgress         the engine's progress file, time left, the line
//   TaskbarProgress        the taskbar button's progress
// and the picture list's items in objects of their own:
//   PictureItems           paths, ticks, thumbnails and details of the pictures
//   PictureView            which of them the list shows, in what order
//   FilterBar              the controls that choose it
//   ThumbnailSlots         the few thumbnails the list control draws from
//   CancelExit.cpp         Cancel/Recover button, Enter and Escape, every end of the window
//   SettingsLink.cpp       the Settings link
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Framework.h"
#include "DriveDiscovery.h"
#include "EngineSearch.h"
#include "FilterBar.h"
#include "FolderRemover.h"
#include "FolderWalk.h"
#include "IconButton.h"
#include "LastSearch.h"
#include "LinkLabel.h"
#include "PictureCopier.h"
#include "PictureItems.h"
#include "PicturePreview.h"
#include "PictureView.h"
#include "RecoveredPictures.h"
#include "SearchProgress.h"
#include "SkinDialog.h"
#include "Thumbnail.h"
#include "TaskbarProgress.h"
#include "ThumbnailMaker.h"
#include "ThumbnailSlots.h"
#include "WindowPlaces.h"
#include "WindowState.h"

enum : UINT_PTR {
    TIMER_RESCAN = 1025,
    TIMER_INTAKE = 1026,
    TIMER_COPY = 1027,
    TIMER_STARTUP = 1028,
};

// The folder remover has deleted everything it was given.
const UINT WM_WORK_FOLDER_CLEARED = WM_APP + 41;
// The engine's run is over (see CEngineSearch::Read).
const UINT WM_ENGINE_ENDED = WM_APP + 42;

// How often each timer ticks.
const UINT kRescanIntervalMs = 200;
const UINT kIntakeIntervalMs = 40;
const UINT kCopyIntervalMs = 50;
// The copy's time left is shown once it has been measured for this long.
const double kCopyLeastSeconds = 2.0;

class CWorkFolderPlace;

class CRecoveryDlg : public CSkinDialog, private IPreviewHost {
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
    // The disk queries of the drive list and of the work folder's place
    // (under Wine every drive is on disk 0).
    virtual IDriveSystem& DriveSystem();

    // Set-up, layout and views.
    void InitControls();
    void InitLayout();
    void InitDriveListColumns();
    // Every control's text and visibility as m_state says.
    void ShowState();
    void SetLabelText(CLinkLabel& label, const char* text);
    void PlaceListAboveSaveFolder();
    bool CheckAdministrator();

    // Main window commands.
    void OnStartupTick();
    void FillDriveList();
    void LoadSaveFolder();

    // Engine run.
    // Keeps the work folder off the searched disk: movedFolder is set when
    // it goes to the save folder's drive; false when the user said No.
    bool ChooseWorkFolder(const DriveEntry& chosen, CString& movedFolder);
    bool PrepareWorkFolder();
    bool PrepareMovedWorkFolder(const CString& folder);
    void UseWorkFolder(const CString& folder);
    // An earlier search's work folder: renamed aside at once and deleted
    // off the window's thread, so that Next never waits for it.
    void PutAsideWorkFolder(const CString& folder);
    void RemoveMovedWorkFolder(const CWorkFolderPlace& place, const CString& ownFolder);
    // workfolder.ini forgets the moved work folder once nothing of it is left.
    void ForgetRemovedWorkFolder();
    LRESULT OnWorkFolderCleared(WPARAM, LPARAM);
    // Starts the engine with the enabled formats; every failure is told
    // and ends the search.
    void LaunchEngine();
    bool CheckEngineFiles(CString& enginePath);
    void EngineNotStarted();
    void EnterAnalysisView();
    LRESULT OnEngineEnded(WPARAM wParam, LPARAM lParam);

    // Analysis monitor.
    void OnRescanTick();
    void OnIntakeTick();
    void TakeIn(CThumbnailMaker::Result& result);
    // Keeps the list control in step with what the list shows now.
    // Tells the list control of the items taken in since it last heard,
    // and scrolls to the last.
    void ScrollToLastPicture();
    void EndIntake();
    void StepStatusLine();
    // The status line says whether the last search's files are still
    // being deleted.
    void ShowClearingInStatus();
    void EnterAnalysedState();

    // Search progress.
    void InitSearchProgressLayout();
    // Shows the engine's latest progress, if it writes any.
    void ShowSearchProgress();
    // The bar goes back to the Recovering view's place, the line goes.
    void HideSearchProgress();

    // Picture list.
    void AddPicture(const CString& source, const CString& itemPath);
    void AddThumbnail(const ThumbnailPixels& pixels, const CString& itemPath);
    void AddThumbnail(const ThumbnailPixels& pixels, const CString& itemPath, const ::PictureDetails& details,
                      bool decodes);
    HBITMAP MakeThumbnail(const CString& source);
    bool CanDecodePicture(const CString& path);
    // The placeholder's thumbnail, drawn once per analysis; false when
    // icon.png is not beside the program.
    bool PlaceholderThumbnail(ThumbnailPixels& pixels);
    void ClearPictureList();
    // The path of the picture at this place of the list as shown.
    CString GetPicturePath(int position);
    // The list control's questions and the user's ticks.
    void OnPictureDispInfo(NMHDR* header, LRESULT* result);
    void OnPictureFindItem(NMHDR* header, LRESULT* result);
    void OnPictureClick(NMHDR* header, LRESULT* result);
    void OnPictureDoubleClick(NMHDR* header, LRESULT* result);
    // The details of the picture under the pointer, in a tooltip of the
    // window's own (not every list control offers info tips).
    void InitPictureTip();
    void TrackPictureTip(const MSG& msg);
    void OnPictureTipText(NMHDR* header, LRESULT* result);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPictureKeyDown(NMHDR* header, LRESULT* result);
    // Ticks or unticks the pictures at these places of the list.
    void SetPictureTicks(const std::vector<int>& positions, bool ticked);
    // Tells the list control how many items there are now.
    void ShowPictureCount();

    // Filters, sorting and the count line.
    void InitFilterBar();
    void PlaceFilterBar();
    void OnFilterChanged();
    // Shows what the filter bar now asks for, keeping the selection's
    // picture in view.
    void ApplyFilter();
    // The count line, at most every few ticks unless now is set.
    void ShowCountLine(bool now);
    void ResetFilters();

    // What the engine says of its finds.
    void BeginFindRecords();
    void ReadFindRecords();
    // Gives the item its record if one came; the caller places it in the view.
    void ApplyFindRecord(int item);

    // The preview: opened on the picture at this place of the list; it
    // asks the window for the pictures around it.
    void OpenPreview(int position);
    BOOL PreTranslateMessage(MSG* pMsg) override;
    int ShownCount() override;
    int ItemAt(int position) override;
    int PositionOf(int item) override;
    CString PicturePath(int item) override;
    CString PictureTitle(int item) override;
    CString PictureDetails(int item) override;
    bool IsTicked(int item) override;
    void SetTicked(int item, bool ticked) override;
    void OnPreviewStep(int item) override;

    // Recovering.
    void StartRecovery();
    void OnCopyTick();
    void FinishRecovery();
    // Copies one picture into the folder; runs on the copier's thread.
    virtual CPictureCopier::Outcome CopyPicture(const CString& source, const CString& folder);
    // Leaves a recovery that cannot go on for the analysed view, so that
    // Recover can be tried again.
    void AbortRecovery();
    // Opens the save folder for the user (a seam: tests record the call).
    virtual void OpenSaveFolder(const CString& folder);
    // Stops a running copy after the picture being copied; the summary says
    // what was copied.
    void CancelRecovery();
    // The Recover button at its own place, or beside the copy's progress
    // bar as its Cancel.
    void PlaceRecoverButton(bool copying);

    // The results kept: the New search button, the recovered marks, the
    // record of the last search and its link in the Ready view.
    void InitResultsControls();
    void OnNewSearch();
    // The Ready view's link, when a work folder holds the finds of a search.
    void ShowLastSearchLink();
    void OnLastSearchLink();
    // A search of this drive starts: it is recorded when it ends.
    void BeginSearchRecord(const CString& drive);
    // Writes lastsearch.ini for the search once its engine has ended; a
    // cancelled search is written again, with every find, by its last pass
    // (final), and not after.
    void RememberLastSearch(bool final = true);
    // Finds recovered in this session (the rest are found, not recovered).
    int RecoveredCount() const { return m_recovered.Count(); }

    // Cancel, exit and clean-up.
    void CancelAnalysis();
    // Ends the engine and waits for its run to be over.
    void StopEngine();
    // Enter and Escape: never the end of the window.
    void OnOK() override;
    void OnCancel() override;
    // Finds listed that were not recovered in this session: what closing
    // the window asks about.
    int UnrecoveredFindCount();
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

    DECLARE_MESSAGE_MAP()

protected:
    // What the window shows and what runs, and the engine's run.
    CWindowState m_state;
    CEngineSearch m_search;

    CLinkLabel m_lblSelectAll;
    CLinkLabel m_lblLoading;
    CLinkLabel m_lblSettings;
    CLinkLabel m_lblHelp;
    CLinkLabel m_lblStatus;
    CLinkLabel m_lblProgress;
    CProgressCtrl m_progress;
    CListCtrl m_listPictures;
    CEdit m_editSaveDir;
    CLinkLabel m_lblSaveDir;
    CLinkLabel m_lblSelectDrive;
    CIconButton m_btnNext;
    CIconButton m_btnReload;
    CIconButton m_btnBrowse;
    CIconButton m_btnRecover;
    CIconButton m_btnNewSearch;
    CLinkLabel m_lblLastSearch;
    CListCtrl m_listDrives;
    HICON m_hIcon;
    CString m_strTempDir;
    CString m_strDataDir;
    CString m_strDevice;
    std::vector<DriveEntry> m_drives;
    CLinkLabel m_lblSearchProgress;
    CSearchProgress m_searchProgress;
    CTaskbarProgress m_taskbar;
    bool m_bSearchProgressShown;
    CPictureItems m_pictures;
    CPictureView m_view;
    CFilterBar m_filterBar;
    // Where the controls go in each view.
    CWindowPlaces m_places;
    CLinkLabel m_lblCount;
    CPicturePreview m_preview;
    HWND m_hPictureTip;
    int m_nTipItem;  // the picture the tooltip tells of, -1 for none
    CString m_strTip;
    std::wstring m_wideTip;
    // Items placed elsewhere than at the list's end since the list control
    // was last told: it must draw everything.
    bool m_bListReordered;
    DWORD m_dwLastCountStep;
    // The engine's finds file: where, how far it has been read, and the
    // records by the find's path below the output folder.
    CString m_strFindsPath;
    uint64_t m_nFindsRead;
    struct FindRecord {
        std::string folder;
        bool deleted;
        bool damaged;
        int decodes;
        bool found;  // found by its contents: stays Found, damaged
    };
    std::unordered_map<std::string, FindRecord> m_findRecords;
    std::unordered_map<std::string, int> m_itemOfFind;
    CThumbnailSlots m_thumbSlots;
    CFolderWalk m_walk;
    bool m_bWalkAfterEnd;
    CThumbnailMaker m_thumbnails;
    CPictureCopier m_copier;
    // Every file the walks have dealt with: listed, with the workers, or
    // no picture. A later walk passes over them at the cost of a lookup.
    std::unordered_set<std::string> m_knownFiles;
    ThumbnailPixels m_placeholder;
    bool m_bPlaceholderDrawn;
    bool m_bIntakeArmed;
    // The last walk was made after the engine had ended.
    bool m_bLastPass;
    int m_nNextItem;
    int m_nCopyShown;
    DWORD m_dwLastStatusStep;
    DWORD m_dwLastListStep;
    // The list has been told of new items and scrolls to them next tick.
    bool m_bScrollPending;
    // Recovered in this session, and the item of each picture being copied.
    CRecoveredPictures m_recovered;
    std::vector<int> m_copyItems;
    uint64_t m_nCopyBytes;
    ULONGLONG m_copyStartTick;
    CTimeLeftEstimate m_copyEstimate;
    // The drive of the search shown, whether it still has to be recorded,
    // and the last search offered at start.
    CString m_strSearchDrive;
    bool m_bSearchUnrecorded;
    LastSearch m_lastSearch;
    bool m_bLastSearchKnown;
    // The close question is open.
    bool m_bCloseAsking;
    // The moved work folder of an earlier search being deleted.
    CString m_strRemovingMoved;
    // Earlier searches' work folders, deleted off the window's thread.
    CFolderRemover m_remover;
};
