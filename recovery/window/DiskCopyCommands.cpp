// The copy of the disk kept while searching: its check box and Browse, the
// saved copies in the drive list, and the checks on its folder before a
// search starts.
#include "RecoveryDlg.h"

#include <commdlg.h>

#include "DiskCopies.h"
#include "FileUtils.h"
#include "SettingsFiles.h"
#include "SizeFormat.h"
#include "WorkFolderPlace.h"

namespace {

const char kCaption[] = "Quorvane";
const char kNoCopyFolder[] =
    "Please choose a folder for the copy of the disk with the 'Browse' beside it, or untick \"Save a copy of "
    "the disk while searching\".";
const char kCopyFolderMissing[] =
    "The folder chosen for the copy of the disk is not there. Please choose another with the 'Browse' beside "
    "\"Save a copy of the disk while searching\".";
const char kCopyOnSearchedDisk[] =
    "The folder chosen for the copy of the disk is on the disk you are about to search. Writing the copy there "
    "would overwrite the deleted pictures it is meant to keep.\n\n"
    "Please choose a folder on another drive, such as an external disk, with the 'Browse' beside \"Save a copy "
    "of the disk while searching\", then press Next again.";

bool SamePath(CString a, CString b)
{
    a.MakeLower();
    b.MakeLower();
    return a == b;
}

unsigned long long FileBytes(const CString& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return 0;
    return static_cast<unsigned long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

}  // namespace

std::vector<DriveEntry> CRecoveryDlg::ListedDrives()
{
    std::vector<DriveEntry> drives = EnumerateDrives(DriveSystem());
    for (DriveEntry& copy : FindSavedCopies(m_view.CopyFolder()))
        drives.push_back(copy);
    return drives;
}

bool CRecoveryDlg::PrepareDiskCopy(const DriveEntry& chosen, const CString& device, CString& copyPath)
{
    copyPath = CString();
    // A saved copy is searched as it is: no copy of the copy.
    if (!m_view.CopyWanted() || !chosen.strImage.IsEmpty())
        return true;
    const CString folder = m_view.CopyFolder();
    const CString image = CWorkFolders::DeviceImage(device);
    const unsigned long long size = image.IsEmpty() ? static_cast<unsigned long long>(chosen.nTotalBytes) : FileBytes(image);
    const CWorkFolderPlace searched(DriveSystem(), chosen, image);
    switch (CheckCopyPlace(DriveSystem(), searched, folder, size)) {
    case CopyPlace::Fine:
        break;
    case CopyPlace::NotChosen:
        MessageBox(kNoCopyFolder, kCaption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    case CopyPlace::Missing:
        MessageBox(kCopyFolderMissing, kCaption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    case CopyPlace::OnSearchedDisk:
        MessageBox(kCopyOnSearchedDisk, kCaption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    case CopyPlace::NoRoom:
        MessageBox("There is not room enough for a copy of the disk in the folder chosen for it: the copy needs " +
                       FormatSize(static_cast<long long>(size)) +
                       ".\n\nPlease choose a folder on a drive with more free room with the 'Browse' beside \"Save "
                       "a copy of the disk while searching\", then press Next again.",
                   kCaption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    copyPath = folder + "\\" + DiskCopyName(chosen.strDrive, now);
    return true;
}

void CRecoveryDlg::OnCopyBrowse()
{
    CString folder;
    if (!PickFolder(folder))
        return;
    // "D:\" is kept as "D:", like the save folder.
    if (!folder.IsEmpty() && folder.GetAt(folder.GetLength() - 1) == '\\')
        folder = folder.Left(folder.GetLength() - 1);
    const bool moved = folder != m_view.CopyFolder();
    m_view.SetCopy(m_view.CopyWanted(), folder);
    WriteDiskCopy(m_view.CopyWanted(), folder);
    // The saved copies listed are the new folder's.
    if (moved)
        m_view.ShowDrives(ListedDrives());
}

bool CRecoveryDlg::PickDiskCopy(CString& path)
{
    char file[MAX_PATH] = {};
    const CString start = m_view.CopyFolder();
    OPENFILENAMEA open = {};
    open.lStructSize = sizeof open;
    open.hwndOwner = m_hWnd;
    open.lpstrFilter = "Copies of a disk (*.img)\0*.img\0";
    open.lpstrFile = file;
    open.nMaxFile = sizeof file;
    open.lpstrInitialDir = start.IsEmpty() ? nullptr : start.GetString();
    open.lpstrTitle = "Open a saved copy of a disk";
    open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameA(&open))
        return false;
    path = file;
    return true;
}

void CRecoveryDlg::OnOpenCopy()
{
    CString path;
    DriveEntry picked;
    if (!PickDiskCopy(path) || !SavedCopyEntry(path, picked))
        return;
    // Listed after the drives and selected, ready for Next; once is enough.
    std::vector<DriveEntry> drives = ListedDrives();
    bool listed = false;
    for (const DriveEntry& drive : drives)
        listed = listed || SamePath(drive.strImage, path);
    if (!listed)
        drives.push_back(picked);
    m_view.ShowDrives(drives);
    for (const DriveEntry& drive : m_view.Drives()) {
        if (SamePath(drive.strImage, path)) {
            m_view.SelectDrive(drive.strDrive);
            break;
        }
    }
}

void CRecoveryDlg::OnCopyChanged()
{
    WriteDiskCopy(m_view.CopyWanted(), m_view.CopyFolder());
    // Ticked without a folder: the folder is asked for at once.
    if (m_view.CopyWanted() && m_view.CopyFolder().IsEmpty())
        OnCopyBrowse();
}
