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
#include "WorkFolderPlace.h"

namespace {

const char kCaption[] = "Quorvane";
const char kLaunchFailed[] =
    "Failed to load engine, error code -1009. Installation may be corrupted, please try to re-install Quorvane";
const char kEngineFolderName[] = "tarnwick-software";
const char kOwnDiskQuestion[] =
    "The drive you chose is on the same disk as Quorvane's work folder, where the pictures it finds are kept "
    "during the search. Writing them there can overwrite deleted pictures that have not been found yet, and "
    "those would then be lost for good.\n\n"
    "To avoid this, answer No, press Browse and choose a save folder on another drive, such as a USB stick or "
    "an external disk, then press Next again. Quorvane then keeps its work folder there.\n\n"
    "Search this disk anyway?";
// The longest name the engine writes below its output folder:
// "\temp_1\d0001\f0123456789.jpg.part".
const int kLongestOutputName = 34;

// Exactly one backslash between the parts.
CString JoinPath(const CString& folder, const char* name)
{
    CString path = folder;
    if (!path.IsEmpty() && path.GetAt(path.GetLength() - 1) != '\\')
        path += '\\';
    path += name;
    return path;
}

// False when the folder neither could be made nor was there already. An
// unknown application-data folder would otherwise make a relative path.
bool MakeFolder(const CString& folder, const CString& parent)
{
    if (parent.IsEmpty())
        return false;
    return CreateDirectoryA(folder, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

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
    const CString workFolder = JoinPath(JoinPath(GetAppDataFolder(), kEngineFolderName), "data");
    if (IsWithinFolder(m_editSaveDir.GetWindowText(), workFolder)) {
        MessageBox("The save folder lies inside Quorvane's work folder, which every search empties.\n\n"
                   "Please choose another save folder with 'Browse'.",
                   kCaption, MB_OK);
        return;
    }

    CString movedFolder;
    if (!ChooseWorkFolder(*chosen, movedFolder))
        return;
    if (!(movedFolder.IsEmpty() ? PrepareWorkFolder() : PrepareMovedWorkFolder(movedFolder)))
        return;

    // An earlier search's progress and finds files go before this engine
    // starts.
    m_searchView.Begin(m_strTempDir);
    m_intake.UseFindsFile(m_strTempDir, true);
    m_state.searching = true;
    BeginSearchRecord(drive);
    EnterAnalysisView();
    LaunchEngine();
}

bool CRecoveryDlg::PrepareWorkFolder()
{
    const CString appData = GetAppDataFolder();
    const CString engineFolder = JoinPath(appData, kEngineFolderName);
    if (!MakeFolder(engineFolder, appData)) {
        MessageBox("Failed to initialize data", kCaption, MB_OK);
        return false;
    }
    const CString dataFolder = JoinPath(engineFolder, "data");
    PutAsideWorkFolder(dataFolder);
    if (!MakeFolder(dataFolder, engineFolder)) {
        MessageBox("Failed to initialize data", kCaption, MB_OK);
        return false;
    }
    UseWorkFolder(dataFolder);
    return true;
}

bool CRecoveryDlg::ChooseWorkFolder(const DriveEntry& chosen, CString& movedFolder)
{
    const CString engineFolder = JoinPath(GetAppDataFolder(), kEngineFolderName);
    const CWorkFolderPlace place(DriveSystem(), chosen, FindDeviceImage(engineFolder, m_strDevice));
    const CString saveFolder = m_editSaveDir.GetWindowText();
    switch (place.Choose(JoinPath(engineFolder, "data"), saveFolder)) {
    case WorkFolderPlace::Default:
        break;
    case WorkFolderPlace::SaveDrive:
        movedFolder = JoinPath(saveFolder, kMovedWorkFolderName);
        break;
    case WorkFolderPlace::Ask:
        // No is the default: Enter pressed by habit must not write to the disk.
        if (MessageBox(kOwnDiskQuestion, "Confirm", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
            return false;
        break;
    }
    RemoveMovedWorkFolder(place, movedFolder);
    return true;
}

void CRecoveryDlg::RemoveMovedWorkFolder(const CWorkFolderPlace& place, const CString& ownFolder)
{
    // The work folder an earlier search made on a save folder's drive goes,
    // unless it is this search's own or lies on the disk searched now
    // (deleting writes too; it goes at a later search). Only a folder of
    // that name is ever removed, whatever the remembered path says.
    const CString left = ReadMovedWorkFolder();
    if (left.IsEmpty() || left == ownFolder)
        return;
    if (left.Mid(left.ReverseFind('\\') + 1) != kMovedWorkFolderName) {
        ForgetMovedWorkFolder();
        return;
    }
    if (!place.KeepsClearOfSearch(left))
        return;
    // Put aside at once and deleted in the background; one that cannot be
    // put aside now (a file in it is in use) is tried again next time.
    // The name is remembered until nothing of it is left, so that what a
    // closed or crashed program leaves half deleted goes at a later search.
    PutAsideWorkFolder(left);
    m_strRemovingMoved = left;
    ForgetRemovedWorkFolder();
}

void CRecoveryDlg::ForgetRemovedWorkFolder()
{
    if (m_strRemovingMoved.IsEmpty() || m_remover.Busy())
        return;
    const CString folder = m_strRemovingMoved;
    m_strRemovingMoved = "";
    if (PathFileExistsA(folder) || CFolderRemover::LeftoversOf(folder.str()))
        return;
    // A search since may have moved its own work folder elsewhere.
    if (ReadMovedWorkFolder() == folder)
        ForgetMovedWorkFolder();
}

LRESULT CRecoveryDlg::OnWorkFolderCleared(WPARAM, LPARAM)
{
    ShowClearingInStatus();
    ForgetRemovedWorkFolder();
    return 0;
}

void CRecoveryDlg::PutAsideWorkFolder(const CString& folder)
{
    // Nothing may be reading the old finds while they go.
    m_preview.Close();
    m_intake.Stop();
    m_remover.NotifyWhenIdle(m_hWnd, WM_WORK_FOLDER_CLEARED);
    m_remover.Remove(folder.str());
}

bool CRecoveryDlg::PrepareMovedWorkFolder(const CString& folder)
{
    // The save folder may not exist yet; the copy would make it anyway.
    const CString saveFolder = folder.Left(folder.ReverseFind('\\'));
    CreateDirectoryA(saveFolder, nullptr);
    if (folder.GetLength() + kLongestOutputName >= MAX_PATH) {
        MessageBox("Failed to initialize data", kCaption, MB_OK);
        return false;
    }
    PutAsideWorkFolder(folder);
    if (!MakeFolder(folder, saveFolder)) {
        MessageBox("Failed to initialize data", kCaption, MB_OK);
        return false;
    }
    // Hidden, so that the save folder shows only the recovered pictures.
    const DWORD attributes = GetFileAttributesA(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesA(folder, attributes | FILE_ATTRIBUTE_HIDDEN);
    // Remembered before anything is written into it, so that a later
    // search removes it even if this one never ends. The file is most
    // likely on the searched disk: it is written only when it changes.
    if (ReadMovedWorkFolder() != folder)
        WriteMovedWorkFolder(folder);
    UseWorkFolder(folder);
    return true;
}

void CRecoveryDlg::UseWorkFolder(const CString& folder)
{
    m_strDataDir = folder;
    // Normally new and empty: the last search's folder was put aside. One
    // that could not be (a file in it in use) is emptied here, which takes
    // its time.
    if (IsFolder(m_strDataDir))
        DeleteFolderTree(m_strDataDir, false);

    m_strTempDir = m_strDataDir + "\\temp";
    if (PathFileExistsA(m_strTempDir)) {
        MessageBox("Internal error, error code: -1008", kCaption, MB_OK);
        m_strTempDir += "_1";
    }
}

void CRecoveryDlg::LaunchEngine()
{
    CString enginePath;
    if (!CheckEngineFiles(enginePath)) {
        EngineNotStarted();
        return;
    }

    const CString formats = ReadEngineFormats();
    CString arguments = "/d \"" + m_strTempDir + "\" /cmd " + m_strDevice + " fileopt,everything,disable,";
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

bool CRecoveryDlg::CheckEngineFiles(CString& enginePath)
{
    const CString appData = GetAppDataFolder();
    const CString engineFolder = JoinPath(appData, kEngineFolderName);
    if (!MakeFolder(engineFolder, appData)) {
        MessageBox("Failed to load engine, error code -1007", kCaption, MB_OK);
        return false;
    }
    enginePath = JoinPath(engineFolder, "photo.exe");
    if (!PathFileExistsA(enginePath)) {
        MessageBox("Failed to load engine, error code -1003. Installation may be corrupted, please try to "
                   "re-install Quorvane",
                   kCaption, MB_OK);
        return false;
    }
    if (!PathFileExistsA(JoinPath(engineFolder, "cygwin1.dll"))) {
        MessageBox("Failed to load engine, error code -1004. Installation may be corrupted, please try to "
                   "re-install Quorvane",
                   kCaption, MB_OK);
        return false;
    }
    if (!PathFileExistsA(JoinPath(JoinPath(engineFolder, "63"), "cygwin"))) {
        MessageBox("Failed to load engine, error code -1005. Installation may be corrupted, please try to "
                   "re-install Quorvane",
                   kCaption, MB_OK);
        return false;
    }
    return true;
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
