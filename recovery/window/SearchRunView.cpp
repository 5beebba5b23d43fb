// The search's run: the work folder, the engine's start, the analysing
// view, and the end of the engine (or its stop by the user). The engine's
// files and arguments are EngineLaunch's; its run itself, its process and
// waiter thread, is m_search's (EngineSearch.h): it posts the window's
// message, and every box is shown from here, on the window's thread.
#include "SearchRunView.h"

#include "EngineLaunch.h"
#include "FileUtils.h"

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

// The engine's exit code when the copy of the disk cannot be made.
const DWORD kEngineCopyFailed = 5;
const char kCopyFailed[] =
    "The copy of the disk could not be made in the folder chosen for it, so the disk was not searched.\n\n"
    "Please choose another folder for the copy with its 'Browse', or untick \"Save a copy of the disk while "
    "searching\", then press Next again.";

}  // namespace

CSearchRunView::CSearchRunView(IWindowHost& host, CWindowState& state, CMainView& view, CWorkFolders& workFolders,
                               CSearchProgressView& searchView, CFindsIntake& intake, CResultsView& results,
                               CAnalysisMonitor& monitor)
    : m_host(host),
      m_state(state),
      m_view(view),
      m_workFolders(workFolders),
      m_searchView(searchView),
      m_intake(intake),
      m_results(results),
      m_monitor(monitor)
{
}

void CSearchRunView::Attach(HWND window, UINT endedMessage)
{
    m_window = window;
    m_endedMessage = endedMessage;
}

void CSearchRunView::Start(IDriveSystem& drives, const DriveEntry& chosen, const CString& drive,
                           const CString& copyPath)
{
    // Every search empties the per-user work folder: a save folder inside it
    // would go with it, and every picture recovered there.
    if (IsWithinFolder(m_view.SaveFolder(), CWorkFolders::DefaultFolder())) {
        m_host.Ask("The save folder lies inside Quorvane's work folder, which every search empties.\n\n"
                   "Please choose another save folder with 'Browse'.",
                   kCaption, MB_OK);
        return;
    }

    const CString device = chosen.strDevice;
    CString movedFolder;
    // No is the default: Enter pressed by habit must not write to the disk.
    const auto searchOwnDisk = [this] {
        return m_host.Ask(kOwnDiskQuestion, "Confirm", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
    };
    if (!m_workFolders.Choose(drives, chosen, device, m_view.SaveFolder(), searchOwnDisk, movedFolder))
        return;
    switch (m_workFolders.Prepare(movedFolder)) {
    case CWorkFolders::Prepared::Failed:
        m_host.Ask("Failed to initialize data", kCaption, MB_OK);
        return;
    case CWorkFolders::Prepared::OutFolderTaken:
        m_host.Ask("Internal error, error code: -1008", kCaption, MB_OK);
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
    m_results.Record().Begin(drive);
    m_state.reopening = false;
    m_monitor.Enter();
    Launch(device, copyPath);
}

void CSearchRunView::Launch(const CString& device, const CString& copyPath)
{
    CString missing;
    switch (LaunchEngine(m_search, m_window, m_endedMessage, m_workFolders.OutFolder(), device, missing, copyPath)) {
    case EngineLaunch::Started:
        return;
    case EngineLaunch::FilesMissing:
        m_host.Ask(missing, kCaption, MB_OK);
        break;
    case EngineLaunch::NoFormats:
        m_host.Ask("No file formats enabled.\n\nPlease go to 'Settings' to enable the type of file you wish to "
                   "recover.",
                   kCaption, MB_OK);
        break;
    case EngineLaunch::NotStarted:
        break;
    }
    NotStarted();
}

void CSearchRunView::NotStarted()
{
    // The search is over before its box: the monitor leaves the analysis
    // meanwhile, with nothing.
    m_state.searching = false;
    m_host.Ask(kLaunchFailed, kCaption, MB_OK);
}

void CSearchRunView::OnEngineEnded(WPARAM wParam, LPARAM lParam)
{
    // An end posted before a stop, or by an earlier run, is no news.
    const CEngineSearch::Ending ending = CEngineSearch::Read(wParam, lParam);
    if (!m_state.searching || ending.run != m_search.Run())
        return;
    // The run's handles go now that it is over.
    m_search.Stop();
    if (ending.started)
        m_state.searching = false;
    else
        NotStarted();
    m_host.ShowState();
    // The engine reads nothing from a disk it was to copy but could not.
    if (ending.started && ending.exitCode == kEngineCopyFailed)
        m_host.Ask(kCopyFailed, kCaption, MB_OK | MB_ICONEXCLAMATION);
}

void CSearchRunView::Cancel()
{
    if (m_host.Ask("Quorvane is currently analyzing disk, are you sure you want to cancel?", "Confirm",
                   MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;

    Stop();
    m_monitor.SearchStopped();
}

void CSearchRunView::Stop()
{
    // Also on close: an engine still being started is ended by the search
    // itself instead of being waited for.
    m_state.searching = false;
    m_search.Stop();
}
