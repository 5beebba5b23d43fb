// The main window's commands that do not run an analysis: the start-up tick,
// the timer dispatch, Browse, Reload, Help (the link and F1) and Select all.
#include "RecoveryDlg.h"

#include <objbase.h>
#include <shlobj.h>

#include "FileUtils.h"
#include "HelpFile.h"
#include "SettingsFiles.h"

namespace {

// BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE
const UINT kBrowseFlags = 0x59;

}  // namespace

void CRecoveryDlg::OnTimer(UINT_PTR nIDEvent)
{
    switch (nIDEvent) {
    case TIMER_STARTUP:
        OnStartupTick();
        break;
    case TIMER_RESCAN:
        OnRescanTick();
        break;
    case TIMER_INTAKE:
        OnIntakeTick();
        break;
    case TIMER_COPY:
        OnCopyTick();
        break;
    default:
        Default();
        break;
    }
}

void CRecoveryDlg::OnStartupTick()
{
    KillTimer(TIMER_STARTUP);
    m_view.ShowDrives(EnumerateDrives(DriveSystem()));
    m_view.SetSaveFolder(ReadSaveFolder());
    m_state.view = WindowView::Ready;
    ShowLastSearchLink();
}

bool CRecoveryDlg::PickFolder(CString& path)
{
    // The new-style picker is built from COM objects; balance our own
    // initialisation whether or not the thread had one already.
    const HRESULT comInit = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    char displayName[MAX_PATH] = {};
    BROWSEINFOA info = {};
    info.hwndOwner = m_hWnd;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = "";
    info.ulFlags = kBrowseFlags;
    info.lpfn = nullptr;

    bool picked = false;
    PIDLIST_ABSOLUTE pidl = SHBrowseForFolderA(&info);
    if (pidl) {
        char folder[MAX_PATH] = {};
        if (SHGetPathFromIDListA(pidl, folder)) {
            path = folder;
            picked = true;
        }
        CoTaskMemFree(pidl);
    }

    if (SUCCEEDED(comInit))
        CoUninitialize();
    return picked;
}

void CRecoveryDlg::OnBrowse()
{
    CString folder;
    if (!PickFolder(folder))
        return;

    // A drive root comes back as "D:\"; it is kept as "D:" like every other
    // folder, which never ends in a backslash.
    if (!folder.IsEmpty() && folder.GetAt(folder.GetLength() - 1) == '\\')
        folder = folder.Left(folder.GetLength() - 1);

    m_view.SetSaveFolder(folder);
    WriteSaveFolder(folder);
}

void CRecoveryDlg::OnReload()
{
    const HCURSOR previous = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    m_view.ShowDrives(EnumerateDrives(DriveSystem()));
    ::SetCursor(previous);
}

void CRecoveryDlg::OnHelpLink()
{
    OpenHelpFile(*this);
}

BOOL CRecoveryDlg::OnHelpInfo(HELPINFO* info)
{
    (void)info;
    OpenHelpFile(*this);
    return TRUE;
}

void CRecoveryDlg::OnSelectAll()
{
    // The pictures a filter hides keep their ticks.
    const bool tick = m_state.selectAllTicks;
    m_list.TickShown(tick);
    m_finds.ShowCountLine(true);
    m_finds.PicturesChanged();

    m_state.selectAllTicks = !tick;
    ShowState();
}
