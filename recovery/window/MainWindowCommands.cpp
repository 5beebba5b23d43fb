// The main window's commands that do not run an analysis: the start-up tick,
// the timer dispatch, Browse, Reload, Help (the link and F1) and Select all.
#include "RecoveryDlg.h"

#include <objbase.h>
#include <shlobj.h>

#include "FileUtils.h"
#include "FolderPicker.h"
#include "HelpFile.h"
#include "SettingsFiles.h"
#include "SizeFormat.h"

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
    FillDriveList();
    LoadSaveFolder();
    m_state.view = WindowView::Ready;
    ShowLastSearchLink();
}

void CRecoveryDlg::FillDriveList()
{
    m_drives = EnumerateDrives(DriveSystem());
    m_listDrives.DeleteAllItems();

    for (size_t i = 0; i < m_drives.size(); ++i) {
        const DriveEntry& drive = m_drives[i];
        const int row = static_cast<int>(i);

        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<char*>(drive.strDrive.GetString());
        m_listDrives.InsertItem(&item);

        m_listDrives.SetItemText(row, 0, drive.strDrive);
        m_listDrives.SetItemText(row, 1, drive.strFileSystem);
        m_listDrives.SetItemText(row, 2, FormatSize(drive.nTotalBytes));
        m_listDrives.SetItemText(row, 3, drive.strInfo);
    }
}

void CRecoveryDlg::LoadSaveFolder()
{
    m_editSaveDir.SetWindowText(ReadSaveFolder());
}

bool CRecoveryDlg::PickFolder(CString& path)
{
    return PickFolderFrom(m_hWnd, m_editSaveDir.GetWindowText(), path);
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

    m_editSaveDir.SetWindowText(folder);
    WriteSaveFolder(folder);
}

void CRecoveryDlg::OnReload()
{
    const HCURSOR previous = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    FillDriveList();
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
    ShowCountLine(true);
    if (m_preview.IsOpen())
        m_preview.OnPicturesChanged();

    m_state.selectAllTicks = !tick;
    ShowState();
}
