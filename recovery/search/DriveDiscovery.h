// The drives a recovery can scan: each mounted volume that maps to one
// physical disk, with what the drive list shows and the engine's name for
// that disk.
#pragma once

#include <windows.h>

#include <vector>

#include "String.h"

struct DriveEntry {
    CString strDrive;          // "C:": root without its trailing backslash
    CString strPhysicalDrive;  // "\\.\PhysicalDrive0"
    long long nTotalBytes = 0; // volume size (total, not free)
    CString strFileSystem;     // empty when the system reports none
    CString strInfo;           // drive-type text
    CString strDevice;         // engine-side disk name, "/dev/sda"
    DWORD nDisk = 0;           // the disk's number, as in strPhysicalDrive
    CString strImage;          // a saved copy of a disk: its file; empty for a drive
};

// The system calls drive discovery makes. The real one is the default; tests
// present any machine through their own.
class IDriveSystem {
public:
    virtual ~IDriveSystem() = default;
    // GetLogicalDriveStringsA
    virtual DWORD LogicalDriveStrings(DWORD nBufferLength, char* pBuffer) = 0;
    // GetDriveTypeA
    virtual UINT DriveType(const char* pszRoot) = 0;
    // GetDiskFreeSpaceExA
    virtual BOOL DiskFreeSpace(const char* pszRoot, ULARGE_INTEGER* pFreeToCaller,
                               ULARGE_INTEGER* pTotal, ULARGE_INTEGER* pTotalFree) = 0;
    // GetVolumeInformationA
    virtual BOOL VolumeInformation(const char* pszRoot, char* pszVolumeName, DWORD nVolumeNameSize,
                                   DWORD* pSerial, DWORD* pMaxComponent, DWORD* pFlags,
                                   char* pszFileSystem, DWORD nFileSystemSize) = 0;
    // CreateFileA for reading, shared read/write, existing only
    virtual HANDLE OpenVolume(const char* pszDevicePath) = 0;
    // DeviceIoControl(IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS), no input
    virtual BOOL VolumeDiskExtents(HANDLE hVolume, void* pOut, DWORD nOutSize, DWORD* pReturned) = 0;
    // CloseHandle
    virtual void CloseVolume(HANDLE hVolume) = 0;
};

IDriveSystem& GetRealDriveSystem();

std::vector<DriveEntry> EnumerateDrives();
std::vector<DriveEntry> EnumerateDrives(IDriveSystem& system);

// strDrive is a root without trailing backslash ("C:"). On failure both
// outputs are left as they were.
bool QueryPhysicalDrive(CString strDrive, CString& strPhysicalDrive, DWORD& nDiskNumber);
bool QueryPhysicalDrive(IDriveSystem& system, CString strDrive, CString& strPhysicalDrive,
                        DWORD& nDiskNumber);

// "/dev/sd" plus the disk's letters: a..z for 0..25, then aa, ab, ... as the
// engine counts them.
CString MakeEngineDeviceName(DWORD nDiskNumber);
