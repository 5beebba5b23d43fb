#include "DiskCopyOption.h"

#include "DiskCopies.h"
#include "SettingsFiles.h"
#include "SizeFormat.h"
#include "WorkFolderPlace.h"
#include "WorkFolders.h"
#include "resource.h"

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

CDiskCopyOption::CDiskCopyOption(IWindowHost& host, IDiskCopyHost& machine, CMainView& view)
    : m_host(host), m_machine(machine), m_view(view)
{
}

void CDiskCopyOption::Restore()
{
    ReadDiskCopy(m_wanted, m_folder);
    m_view.SetCopy(m_wanted, m_folder);
    m_view.ShowDrives(ListedDrives());
}

bool CDiskCopyOption::OnCommand(UINT id, UINT code)
{
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_RELOAD:
        ListDrives();
        return true;
    case IDC_COPY_DISK:
        OnTicked();
        return true;
    case IDC_COPY_BROWSE:
        OnBrowse();
        return true;
    case IDC_OPEN_COPY:
        OnOpenCopy();
        return true;
    default:
        return false;
    }
}

std::vector<DriveEntry> CDiskCopyOption::ListedDrives()
{
    std::vector<DriveEntry> drives = EnumerateDrives(m_machine.DriveSystem());
    for (DriveEntry& copy : FindSavedCopies(m_folder))
        drives.push_back(copy);
    return drives;
}

void CDiskCopyOption::ListDrives()
{
    const HCURSOR previous = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    m_view.ShowDrives(ListedDrives());
    ::SetCursor(previous);
}

bool CDiskCopyOption::Prepare(const DriveEntry& chosen, CString& copyPath)
{
    copyPath = CString();
    // A saved copy is searched as it is: no copy of the copy.
    if (!m_wanted || !chosen.strImage.IsEmpty())
        return true;
    const CString image = CWorkFolders::DeviceImage(chosen.strDevice);
    const unsigned long long size = image.IsEmpty() ? static_cast<unsigned long long>(chosen.nTotalBytes) : FileBytes(image);
    IDriveSystem& disks = m_machine.DriveSystem();
    const CWorkFolderPlace searched(disks, chosen, image);
    switch (CheckCopyPlace(disks, searched, m_folder, size)) {
    case CopyPlace::Fine:
        break;
    case CopyPlace::NotChosen:
        m_host.Ask(kNoCopyFolder, kCaption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    case CopyPlace::Missing:
        m_host.Ask(kCopyFolderMissing, kCaption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    case CopyPlace::OnSearchedDisk:
        m_host.Ask(kCopyOnSearchedDisk, kCaption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    case CopyPlace::NoRoom:
        m_host.Ask("There is not room enough for a copy of the disk in the folder chosen for it: the copy needs " +
                       FormatSize(static_cast<long long>(size)) +
                       ".\n\nPlease choose a folder on a drive with more free room with the 'Browse' beside \"Save "
                       "a copy of the disk while searching\", then press Next again.",
                   kCaption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    copyPath = m_folder + "\\" + DiskCopyName(chosen.strDrive, now);
    return true;
}

void CDiskCopyOption::OnTicked()
{
    // The tick box ticks itself; what it shows now is the choice.
    m_wanted = m_view.CopyWanted();
    WriteDiskCopy(m_wanted, m_folder);
    // Ticked without a folder: the folder is asked for at once.
    if (m_wanted && m_folder.IsEmpty())
        OnBrowse();
}

void CDiskCopyOption::OnBrowse()
{
    CString folder;
    if (!m_machine.PickFolder(folder))
        return;
    // "D:\" is kept as "D:", like the save folder.
    if (!folder.IsEmpty() && folder.GetAt(folder.GetLength() - 1) == '\\')
        folder = folder.Left(folder.GetLength() - 1);
    const bool moved = folder != m_folder;
    m_folder = folder;
    m_view.SetCopy(m_wanted, m_folder);
    WriteDiskCopy(m_wanted, m_folder);
    // The saved copies listed are the new folder's.
    if (moved)
        m_view.ShowDrives(ListedDrives());
}

void CDiskCopyOption::OnOpenCopy()
{
    CString path;
    DriveEntry picked;
    if (!m_machine.PickDiskCopy(path) || !SavedCopyEntry(path, picked))
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
