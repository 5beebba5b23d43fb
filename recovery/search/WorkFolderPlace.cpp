#include "WorkFolderPlace.h"

#include <cctype>
#include <string>

#include "device_name.h"

const char kMovedWorkFolderName[] = "Quorvane work folder";

namespace {

bool IsUnc(const CString& path)
{
    return path.GetLength() > 2 && path.GetAt(0) == '\\' && path.GetAt(1) == '\\';
}

bool SameRoot(const CString& a, const CString& b)
{
    CString rootA = PathRoot(a);
    CString rootB = PathRoot(b);
    rootA.MakeLower();
    rootB.MakeLower();
    return !rootA.IsEmpty() && rootA == rootB;
}

// The engine reads at most this much of its table.
const DWORD kMaxTable = 1 << 20;

std::string ReadTable(const CString& path)
{
    std::string text;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0 && text.size() < kMaxTable)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

}  // namespace

CString PathRoot(const CString& path)
{
    const unsigned char letter = static_cast<unsigned char>(path.IsEmpty() ? '\0' : path.GetAt(0));
    if (path.GetLength() >= 2 && std::isalpha(letter) && path.GetAt(1) == ':')
        return CString(std::string(1, static_cast<char>(std::toupper(letter))) + ":");
    // \\?\ and \\.\ name devices and long paths: not worth guessing.
    if (!IsUnc(path) || path.GetAt(2) == '?' || path.GetAt(2) == '.')
        return CString();
    const int serverEnd = path.Find('\\', 2);
    if (serverEnd < 0)
        return CString();
    const int shareEnd = path.Find('\\', serverEnd + 1);
    return shareEnd < 0 ? path : path.Left(shareEnd);
}

PathDisk FindPathDisk(IDriveSystem& system, const CString& path)
{
    PathDisk result;
    const CString root = PathRoot(path);
    if (root.IsEmpty())
        return result;
    if (IsUnc(root)) {
        result.kind = PathDisk::Network;
        return result;
    }
    if (system.DriveType(root + "\\") == DRIVE_REMOTE) {
        result.kind = PathDisk::Network;
        return result;
    }
    CString physical;
    DWORD disk = 0;
    if (QueryPhysicalDrive(system, root, physical, disk)) {
        result.kind = PathDisk::Local;
        result.nDisk = disk;
    }
    return result;
}

CWorkFolderPlace::CWorkFolderPlace(IDriveSystem& system, const DriveEntry& chosen, const CString& image)
    : m_system(system), m_image(image)
{
    if (image.IsEmpty()) {
        m_searched.kind = PathDisk::Local;
        m_searched.nDisk = chosen.nDisk;
    } else {
        m_searched = FindPathDisk(system, image);
    }
}

WorkFolderPlace CWorkFolderPlace::Choose(const CString& workFolder, const CString& saveFolder) const
{
    // An image is a copy: the search never reads the disk it came from, and
    // new files cannot land on an image's own clusters. Only an image on the
    // very drive the work folder is on is treated as the disk searched.
    if (!m_image.IsEmpty() && !SameRoot(m_image, workFolder))
        return WorkFolderPlace::Default;
    if (KeepsClearOfSearch(workFolder))
        return WorkFolderPlace::Default;
    if (KeepsClearOfSearch(saveFolder))
        return WorkFolderPlace::SaveDrive;
    return WorkFolderPlace::Ask;
}

bool CWorkFolderPlace::KeepsClearOfSearch(const CString& path) const
{
    if (m_searched.kind == PathDisk::Network)
        return true;
    const PathDisk disk = FindPathDisk(m_system, path);
    if (disk.kind == PathDisk::Network)
        return true;
    // A disk that cannot be told may be the searched one.
    return disk.kind == PathDisk::Local && m_searched.kind == PathDisk::Local && disk.nDisk != m_searched.nDisk;
}

CString FindDeviceImage(const CString& engineFolder, const CString& device)
{
    const std::string table = ReadTable(engineFolder + "\\63\\cygwin\\devices");
    const std::string image = qv::lookupDevice(qv::parseDeviceTable(table), device.str());
    if (image.empty())
        return CString();
    // The engine opens a relative path from the folder it inherits: ours.
    char full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameA(image.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return CString(image);
    return CString(full);
}
