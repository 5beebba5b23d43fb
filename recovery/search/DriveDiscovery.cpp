#include "DriveDiscovery.h"

#include <winioctl.h>

#include <cstring>

#include "FileUtils.h"

namespace {

class CRealDriveSystem : public IDriveSystem {
public:
    DWORD LogicalDriveStrings(DWORD nBufferLength, char* pBuffer) override
    {
        return GetLogicalDriveStringsA(nBufferLength, pBuffer);
    }
    UINT DriveType(const char* pszRoot) override { return GetDriveTypeA(pszRoot); }
    BOOL DiskFreeSpace(const char* pszRoot, ULARGE_INTEGER* pFreeToCaller, ULARGE_INTEGER* pTotal,
                       ULARGE_INTEGER* pTotalFree) override
    {
        return GetDiskFreeSpaceExA(pszRoot, pFreeToCaller, pTotal, pTotalFree);
    }
    BOOL VolumeInformation(const char* pszRoot, char* pszVolumeName, DWORD nVolumeNameSize,
                           DWORD* pSerial, DWORD* pMaxComponent, DWORD* pFlags, char* pszFileSystem,
                           DWORD nFileSystemSize) override
    {
        return GetVolumeInformationA(pszRoot, pszVolumeName, nVolumeNameSize, pSerial, pMaxComponent,
                                     pFlags, pszFileSystem, nFileSystemSize);
    }
    HANDLE OpenVolume(const char* pszDevicePath) override
    {
        return CreateFileA(pszDevicePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    BOOL VolumeDiskExtents(HANDLE hVolume, void* pOut, DWORD nOutSize, DWORD* pReturned) override
    {
        return DeviceIoControl(hVolume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, pOut, nOutSize,
                               pReturned, nullptr);
    }
    void CloseVolume(HANDLE hVolume) override { CloseHandle(hVolume); }
};

CString DriveTypeText(UINT nType)
{
    switch (nType) {
    case DRIVE_REMOVABLE: return "Removable Disk";
    case DRIVE_FIXED: return "Local Disk";
    case DRIVE_REMOTE: return "Network Drive";
    case DRIVE_CDROM: return "Compact Disc";
    default: return "";
    }
}

}  // namespace

IDriveSystem& GetRealDriveSystem()
{
    static CRealDriveSystem s_system;
    return s_system;
}

std::vector<DriveEntry> EnumerateDrives()
{
    return EnumerateDrives(GetRealDriveSystem());
}

std::vector<DriveEntry> EnumerateDrives(IDriveSystem& system)
{
    std::vector<DriveEntry> drives;

    char szRoots[1024] = {};
    DWORD nLength = system.LogicalDriveStrings(sizeof(szRoots), szRoots);
    // A length beyond the buffer means the list did not fit and nothing usable
    // was written; never walk past the buffer.
    if (nLength >= sizeof(szRoots))
        nLength = sizeof(szRoots) - 1;
    szRoots[sizeof(szRoots) - 1] = '\0';

    for (DWORD nPos = 0; nPos < nLength;) {
        const char* pszRoot = szRoots + nPos;
        const size_t nRootLength = std::strlen(pszRoot);
        nPos += static_cast<DWORD>(nRootLength) + 1;
        if (nRootLength == 0)
            continue;

        const UINT nType = system.DriveType(pszRoot);

        ULARGE_INTEGER freeToCaller, total, totalFree;
        freeToCaller.QuadPart = total.QuadPart = totalFree.QuadPart = 0;
        if (!system.DiskFreeSpace(pszRoot, &freeToCaller, &total, &totalFree))
            continue;

        char szVolumeName[MAX_PATH] = {};
        char szFileSystem[MAX_PATH] = {};
        DWORD nSerial = 0, nMaxComponent = 0, nFlags = 0;
        if (!system.VolumeInformation(pszRoot, szVolumeName, MAX_PATH, &nSerial, &nMaxComponent, &nFlags,
                                      szFileSystem, MAX_PATH))
            szFileSystem[0] = '\0';
        szFileSystem[MAX_PATH - 1] = '\0';

        CString strName(pszRoot);
        if (strName.GetAt(strName.GetLength() - 1) == '\\')
            strName = strName.Left(strName.GetLength() - 1);

        DriveEntry entry;
        entry.strFileSystem = szFileSystem;
        entry.nTotalBytes = static_cast<long long>(total.QuadPart);
        entry.strInfo = DriveTypeText(nType);

        DWORD nDiskNumber = 0;
        if (!QueryPhysicalDrive(system, strName, entry.strPhysicalDrive, nDiskNumber))
            continue;
        entry.strDevice = MakeEngineDeviceName(nDiskNumber);
        entry.nDisk = nDiskNumber;
        entry.strDrive = strName;
        drives.push_back(entry);
    }
    return drives;
}

bool QueryPhysicalDrive(CString strDrive, CString& strPhysicalDrive, DWORD& nDiskNumber)
{
    return QueryPhysicalDrive(GetRealDriveSystem(), strDrive, strPhysicalDrive, nDiskNumber);
}

bool QueryPhysicalDrive(IDriveSystem& system, CString strDrive, CString& strPhysicalDrive,
                        DWORD& nDiskNumber)
{
    HANDLE hVolume = system.OpenVolume(CString("\\\\.\\") + strDrive);
    if (hVolume == INVALID_HANDLE_VALUE)
        return false;

    // Room for exactly one extent: a volume over several extents fails here.
    static_assert(sizeof(VOLUME_DISK_EXTENTS) == 32, "one-extent answer is 32 bytes");
    VOLUME_DISK_EXTENTS extents;
    std::memset(&extents, 0, sizeof(extents));
    DWORD nReturned = 0;
    const BOOL bOk = system.VolumeDiskExtents(hVolume, &extents, sizeof(extents), &nReturned);
    system.CloseVolume(hVolume);
    if (!bOk)
        return false;

    nDiskNumber = extents.Extents[0].DiskNumber;
    strPhysicalDrive = CString("\\\\.\\PhysicalDrive") + IntToString(static_cast<int>(nDiskNumber));
    return true;
}

CString MakeEngineDeviceName(DWORD nDiskNumber)
{
    // Bijective base 26, as the sd naming goes: z is followed by aa.
    char szLetters[16];
    char* p = szLetters + sizeof(szLetters);
    *--p = '\0';
    long long nIndex = nDiskNumber;
    do {
        *--p = static_cast<char>('a' + nIndex % 26);
        nIndex = nIndex / 26 - 1;
    } while (nIndex >= 0);
    return CString("/dev/sd") + p;
}
