// Next: the work folder, the engine's start on a waiter thread of its own,
// the analysing view, and the end of the engine (or its stop by the user).
//
// Handles: m_hEngineProcess and m_hWaitThread change only under m_csState.
// Whoever takes a handle out of its member (leaving INVALID_HANDLE_VALUE)
// owns closing it, so each is closed once whichever side gets there first:
// the waiter when the engine ends, or StopEngine on cancel and close.
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

HANDLE TakeHandle(HANDLE& member)
{
    HANDLE handle = member;
    member = INVALID_HANDLE_VALUE;
    return handle;
}

void CloseIfValid(HANDLE handle)
{
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr)
        CloseHandle(handle);
}

// Waits for a thread to end while answering messages that other threads
// send to this one: the waiter's message boxes are owned by this thread's
// window and send it messages when they open and close.
void WaitForThreadEnd(HANDLE thread)
{
    for (;;) {
        const DWORD result = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (result != WAIT_OBJECT_0 + 1)
            return;
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

void CRecoveryDlg::OnNext()
{
    // A second click while the search it started runs (a click queued
    // behind the first) must not start another.
    if (m_bEngineRunning)
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
    if (m_copier.Running())
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
    m_searchProgress.Begin(m_strTempDir);
    m_intake.UseFindsFile(m_strTempDir, true);
    {
        CScopedLock lock(m_csState);
        m_bEngineRunning = true;
    }
    if (!StartWaiterThread()) {
        CScopedLock lock(m_csState);
        m_bEngineRunning = false;
        return;
    }
    BeginSearchRecord(drive);
    EnterAnalysisView();
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

bool CRecoveryDlg::StartWaiterThread()
{
    // The handle is stored before the thread can reach OnEngineEnded, which
    // takes the same lock to release it.
    CScopedLock lock(m_csState);
    HANDLE thread = CreateThread(nullptr, 0, WaiterThreadProc, this, 0, nullptr);
    if (!thread)
        return false;
    m_hWaitThread = thread;
    return true;
}

DWORD WINAPI CRecoveryDlg::WaiterThreadProc(LPVOID param)
{
    CRecoveryDlg* dlg = static_cast<CRecoveryDlg*>(param);
    const HWND owner = dlg->m_hWnd;

    if (dlg->LaunchEngine()) {
        HANDLE process;
        {
            CScopedLock lock(dlg->m_csState);
            process = dlg->m_hEngineProcess;
        }
        // If StopEngine takes the handle meanwhile, it keeps it open until
        // this thread has ended, so the wait stays on a live handle.
        if (process != INVALID_HANDLE_VALUE) {
            HANDLE waits[2] = {process, dlg->m_hWindowGone};
            const DWORD count = dlg->m_hWindowGone ? 2 : 1;
            if (WaitForMultipleObjects(count, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
                return 0;  // the window object is going away; the engine runs on
        }
        dlg->OnEngineEnded(true);
    } else {
        // The window may be closing by now: only its handle is used here.
        ::MessageBoxA(owner, kLaunchFailed, kCaption, MB_OK);
    }
    return 0;
}

bool CRecoveryDlg::LaunchEngine()
{
    CString enginePath;
    if (!CheckEngineFiles(enginePath)) {
        OnEngineEnded(false);
        return false;
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
        ::MessageBoxA(m_hWnd,
                    "No file formats enabled.\n\nPlease go to 'Settings' to enable the type of file you wish to "
                    "recover.",
                    kCaption, MB_OK);
        OnEngineEnded(false);
        return false;
    }
    arguments += "search";

    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = nullptr;
    info.lpVerb = nullptr;
    info.lpFile = enginePath;
    info.lpParameters = arguments;
    info.lpDirectory = nullptr;
    info.nShow = SW_HIDE;
    if (!ShellExecuteExA(&info) || !info.hProcess) {
        OnEngineEnded(false);
        return false;
    }

    {
        CScopedLock lock(m_csState);
        if (m_bEngineRunning) {
            m_hEngineProcess = info.hProcess;
            return true;
        }
    }
    // Stopped while the engine was starting: nobody else will ever see this
    // process, so it is ended here. Not a failure to report.
    TerminateProcess(info.hProcess, 0);
    CloseHandle(info.hProcess);
    return true;
}

bool CRecoveryDlg::CheckEngineFiles(CString& enginePath)
{
    const CString appData = GetAppDataFolder();
    const CString engineFolder = JoinPath(appData, kEngineFolderName);
    if (!MakeFolder(engineFolder, appData)) {
        ::MessageBoxA(m_hWnd, "Failed to load engine, error code -1007", kCaption, MB_OK);
        return false;
    }
    enginePath = JoinPath(engineFolder, "photo.exe");
    if (!PathFileExistsA(enginePath)) {
        ::MessageBoxA(m_hWnd,
                    "Failed to load engine, error code -1003. Installation may be corrupted, please try to "
                    "re-install Quorvane",
                    kCaption, MB_OK);
        return false;
    }
    if (!PathFileExistsA(JoinPath(engineFolder, "cygwin1.dll"))) {
        ::MessageBoxA(m_hWnd,
                    "Failed to load engine, error code -1004. Installation may be corrupted, please try to "
                    "re-install Quorvane",
                    kCaption, MB_OK);
        return false;
    }
    if (!PathFileExistsA(JoinPath(JoinPath(engineFolder, "63"), "cygwin"))) {
        ::MessageBoxA(m_hWnd,
                    "Failed to load engine, error code -1005. Installation may be corrupted, please try to "
                    "re-install Quorvane",
                    kCaption, MB_OK);
        return false;
    }
    return true;
}

void CRecoveryDlg::EnterAnalysisView()
{
    ShowDriveSelection(FALSE);
    m_lblStatus.ShowWindow(SW_SHOW);

    // The select-all label as wide as its longer text, the count line after
    // it, the filter bar and the list under them.
    m_places.Put(m_lblSelectAll, CWindowPlaces::SelectAll);
    PlaceFilterBar();
    m_places.Put(m_listPictures, CWindowPlaces::PictureList);
    m_listPictures.ShowWindow(SW_SHOW);
    m_lblSelectAll.ShowWindow(SW_HIDE);

    // A fresh start for the intake: nothing listed, nothing with the
    // workers, the placeholder drawn anew.
    KillTimer(TIMER_INTAKE);
    m_bIntakeArmed = false;
    m_intake.Restart();
    m_preview.Close();
    ClearPictureList();
    ResetFilters();
    ShowCountLine(true);

    m_btnRecover.SetWindowText("Cancel");
    m_btnRecover.ShowWindow(SW_SHOW);
    ShowNewSearch(false);

    m_places.Put(m_lblProgress, CWindowPlaces::TipText);
    m_lblProgress.SetCaption("<- Tips: click \"Cancel\" to stop analyzing and recover detected files.");
    m_lblProgress.ShowWindow(SW_SHOW);

    ShowClearingInStatus();
    SetTimer(TIMER_RESCAN, 500);
}

void CRecoveryDlg::EndRun(HANDLE& process, HANDLE& thread)
{
    CScopedLock lock(m_csState);
    m_bEngineRunning = false;
    process = TakeHandle(m_hEngineProcess);
    thread = TakeHandle(m_hWaitThread);
}

void CRecoveryDlg::OnEngineEnded(bool closeHandles)
{
    HANDLE process;
    HANDLE thread;
    EndRun(process, thread);
    if (closeHandles)
        CloseIfValid(process);
    // After a failed launch there is no process, but the thread handle is
    // still open and nobody else can reach it any more.
    CloseIfValid(thread);
}

void CRecoveryDlg::StopEngine()
{
    HANDLE process;
    HANDLE thread;
    // Also on close: a waiter that is still starting the engine sees the run
    // is over and ends the new process itself instead of waiting.
    EndRun(process, thread);
    if (process != INVALID_HANDLE_VALUE)
        TerminateProcess(process, 0);
    // The waiter is never killed (it may hold m_csState); with the engine
    // gone it ends by itself.
    if (thread != INVALID_HANDLE_VALUE) {
        WaitForThreadEnd(thread);
        CloseHandle(thread);
    }
    CloseIfValid(process);
}

void CRecoveryDlg::LetGoOfWaiter()
{
    if (m_hWindowGone)
        SetEvent(m_hWindowGone);
    // A copy of the thread handle, taken under the lock, stays valid even if
    // the waiter closes its own handle meanwhile.
    HANDLE waiter = nullptr;
    {
        CScopedLock lock(m_csState);
        if (m_hWaitThread != INVALID_HANDLE_VALUE)
            DuplicateHandle(GetCurrentProcess(), m_hWaitThread, GetCurrentProcess(), &waiter, SYNCHRONIZE,
                            FALSE, 0);
    }
    if (waiter) {
        WaitForThreadEnd(waiter);
        CloseHandle(waiter);
    }
}
