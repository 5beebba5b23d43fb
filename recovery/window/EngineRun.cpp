// Next: the work folder, the engine's files and arguments, the analysing
// view, and the end of the engine (or its stop by the user). The engine's
// run itself, its process and waiter thread, is m_search's (EngineSearch.h):
// it posts WM_ENGINE_ENDED, and every message box is shown from here, on the
// window's thread.
#include "RecoveryDlg.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "FileUtils.h"
#include "SettingsFiles.h"

namespace {

const char kCaption[] = "Quorvane";
const char kLaunchFailed[] =
    "Failed to load engine, error code -1009. Installation may be corrupted, please try to re-install Quorvane";
const char kOwnDiskQuestion[] =
    "The drive you chose is on the same disk as Quorvane's work folder, where the pictures it finds are kept "
    "during the search. Writing them there can overwrite deleted pictures that have not been found yet, and "
    "those would then be lost for good.\n\n"
    "To avoid this, answer No, press Browse and choose a save folder on another drive, such as a USB stick or "
    "an external disk, then press Next again. Quorvane then keeps its work folder there.\n\n"
    "Search this disk anyway?";

}  // namespace

void CRecoveryDlg::OnNext()
{
    // A second click while the search it started runs (a click queued
    // behind the first) must not start another.
    if (m_state.searching)
        return;
    const int row = m_listDrives.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0) {
        MessageBox("Please select drive from where to recover photos.", kCaption, MB_OK);
        return;
    }
    const CString drive = m_listDrives.GetItemText(row, 0);
    const DriveEntry* chosen = nullptr;
    for (const DriveEntry& entry : m_drives) {
        if (entry.strDrive == drive) {
            chosen = &entry;
            break;
        }
    }
    if (!chosen) {
        MessageBox("Error. Failed to find the disk.", kCaption, MB_OK);
        return;
    }
    m_strDevice = chosen->strDevice;
    // Not while a copy runs (Next is hidden then): a stray command does nothing.
    if (m_run.Running())
        return;

    // Every search empties the per-user work folder: a save folder inside it
    // would go with it, and every picture recovered there.
    if (IsWithinFolder(m_editSaveDir.GetWindowText(), CWorkFolders::DefaultFolder())) {
        MessageBox("The save folder lies inside Quorvane's work folder, which every search empties.\n\n"
                   "Please choose another save folder with 'Browse'.",
                   kCaption, MB_OK);
        return;
    }

    CString movedFolder;
    // No is the default: Enter pressed by habit must not write to the disk.
    const auto searchOwnDisk = [this] {
        return MessageBox(kOwnDiskQuestion, "Confirm", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
    };
    if (!m_workFolders.Choose(DriveSystem(), *chosen, m_strDevice, m_editSaveDir.GetWindowText(), searchOwnDisk,
                              movedFolder))
        return;
    switch (m_workFolders.Prepare(movedFolder)) {
    case CWorkFolders::Prepared::Failed:
        MessageBox("Failed to initialize data", kCaption, MB_OK);
        return;
    case CWorkFolders::Prepared::OutFolderTaken:
        MessageBox("Internal error, error code: -1008", kCaption, MB_OK);
        break;
    case CWorkFolders::Prepared::Ready:
        break;
    }

    // An earlier search's progress and finds files go before this engine
    // starts.
    m_searchView.Begin(m_workFolders.OutFolder());
    m_intake.UseFindsFile(m_workFolders.OutFolder(), true);
    m_state.searching = true;
    // A search of this drive: it is recorded when it ends.
    m_searchRecord.Begin(drive);
    m_state.reopening = false;
    EnterAnalysisView();
    LaunchEngine();
}

LRESULT CRecoveryDlg::OnWorkFolderCleared(WPARAM, LPARAM)
{
    ShowClearingInStatus();
    m_workFolders.Cleared();
    return 0;
}

void CRecoveryDlg::LaunchEngine()
{
    CString enginePath;
    const CString missing = CWorkFolders::CheckEngineFiles(enginePath);
    if (!missing.IsEmpty()) {
        MessageBox(missing, kCaption, MB_OK);
        EngineNotStarted();
        return;
    }

    const CString formats = ReadEngineFormats();
    CString arguments = "/d \"" + m_workFolders.OutFolder() + "\" /cmd " + m_strDevice + " fileopt,everything,disable,";
    bool anyEnabled = false;
    for (int i = 0; i < kFormatTokenCount; ++i) {
        const char* token = g_formatTokens[i];
        if (IsFormatEnabled(formats, token)) {
            arguments += token;
            arguments += ",enable,";
            anyEnabled = true;
        }
    }
    if (!anyEnabled) {
        MessageBox("No file formats enabled.\n\nPlease go to 'Settings' to enable the type of file you wish to "
                   "recover.",
                   kCaption, MB_OK);
        EngineNotStarted();
        return;
    }
    arguments += "search";

    if (!m_search.Start(m_hWnd, WM_ENGINE_ENDED, enginePath, arguments))
        EngineNotStarted();
}

void CRecoveryDlg::EngineNotStarted()
{
    // The search is over before its box: the monitor leaves the analysis
    // meanwhile, with nothing.
    m_state.searching = false;
    MessageBox(kLaunchFailed, kCaption, MB_OK);
}

LRESULT CRecoveryDlg::OnEngineEnded(WPARAM wParam, LPARAM lParam)
{
    // An end posted before a stop, or by an earlier run, is no news.
    const CEngineSearch::Ending ending = CEngineSearch::Read(wParam, lParam);
    if (!m_state.searching || ending.run != m_search.Run())
        return 0;
    // The run's handles go now that it is over.
    m_search.Stop();
    if (ending.started)
        m_state.searching = false;
    else
        EngineNotStarted();
    ShowState();
    return 0;
}

void CRecoveryDlg::EnterAnalysisView()
{
    // The drive selection goes first, while nothing of the analysis is
    // there to take the focus it leaves.
    m_places.Put(m_lblProgress, CWindowPlaces::TipText);
    m_state.view = WindowView::Analysing;
    // The last search listed again says so from the start; a search keeps
    // the line's last text until its first step.
    if (m_state.reopening)
        m_state.SetStatus(StatusLine::Reopening);
    ShowState();

    // The select-all label as wide as its longer text, the count line after
    // it, the filter bar and the list under them.
    m_places.Put(m_lblSelectAll, CWindowPlaces::SelectAll);
    PlaceFilterBar();
    m_places.Put(m_listPictures, CWindowPlaces::PictureList);

    // A fresh start for the intake: nothing listed, nothing with the
    // workers, the placeholder drawn anew.
    KillTimer(TIMER_INTAKE);
    m_pacer.Disarm();
    m_intake.Restart();
    m_preview.Close();
    ClearPictureList();
    ResetFilters();
    ShowCountLine(true);
    ShowClearingInStatus();
    SetTimer(TIMER_RESCAN, 500);
}

void CRecoveryDlg::StopEngine()
{
    // Also on close: an engine still being started is ended by the search
    // itself instead of being waited for.
    m_state.searching = false;
    m_search.Stop();
}
