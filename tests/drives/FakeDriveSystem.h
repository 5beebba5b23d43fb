// A machine made of fake drives for the disk queries, and a way to build one.
#pragma once

#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "DriveDiscovery.h"

struct FakeDrive {
    std::string strRoot;               // "C:\"
    UINT nType = DRIVE_FIXED;
    bool bHasSize = true;              // false: no medium
    unsigned long long nTotal = 0;
    unsigned long long nFree = 0;
    bool bHasVolumeInfo = true;
    std::string strFileSystem = "NTFS";
    bool bOpens = true;
    std::vector<DWORD> disks = {0};    // one disk per extent
    bool bIoctlFails = false;
};

// A machine made of FakeDrives; it checks that every opened volume is closed.
class FakeSystem : public IDriveSystem {
public:
    explicit FakeSystem(std::vector<FakeDrive> drives) : m_drives(std::move(drives)) {}

    DWORD LogicalDriveStrings(DWORD nBufferLength, char* pBuffer) override
    {
        std::string list;
        for (const FakeDrive& d : m_drives)
            list += d.strRoot + '\0';
        if (list.size() + 1 > nBufferLength)
            return static_cast<DWORD>(list.size() + 1);
        std::memcpy(pBuffer, list.c_str(), list.size() + 1);
        return static_cast<DWORD>(list.size());
    }
    UINT DriveType(const char* pszRoot) override
    {
        const FakeDrive* d = Find(pszRoot);
        return d ? d->nType : DRIVE_NO_ROOT_DIR;
    }
    BOOL DiskFreeSpace(const char* pszRoot, ULARGE_INTEGER* pFreeToCaller, ULARGE_INTEGER* pTotal,
                       ULARGE_INTEGER* pTotalFree) override
    {
        const FakeDrive* d = Find(pszRoot);
        if (!d || !d->bHasSize)
            return FALSE;
        pFreeToCaller->QuadPart = d->nFree;
        pTotal->QuadPart = d->nTotal;
        pTotalFree->QuadPart = d->nFree;
        return TRUE;
    }
    BOOL VolumeInformation(const char* pszRoot, char* pszVolumeName, DWORD nVolumeNameSize, DWORD*, DWORD*,
                           DWORD*, char* pszFileSystem, DWORD nFileSystemSize) override
    {
        EXPECT_EQ(nVolumeNameSize, 260u);
        EXPECT_EQ(nFileSystemSize, 260u);
        const FakeDrive* d = Find(pszRoot);
        if (!d || !d->bHasVolumeInfo)
            return FALSE;
        std::strcpy(pszVolumeName, "LABEL");
        std::strcpy(pszFileSystem, d->strFileSystem.c_str());
        return TRUE;
    }
    HANDLE OpenVolume(const char* pszDevicePath) override
    {
        m_opened.push_back(pszDevicePath);
        std::string path(pszDevicePath);
        if (path.compare(0, 4, "\\\\.\\") != 0)
            return INVALID_HANDLE_VALUE;
        const FakeDrive* d = Find(path.substr(4) + "\\");
        if (!d || !d->bOpens)
            return INVALID_HANDLE_VALUE;
        HANDLE h = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x1000 + 4 * m_nNextHandle++));
        m_open[h] = d;
        return h;
    }
    BOOL VolumeDiskExtents(HANDLE hVolume, void* pOut, DWORD nOutSize, DWORD* pReturned) override
    {
        auto it = m_open.find(hVolume);
        EXPECT_NE(it, m_open.end()) << "request on a handle that is not open";
        if (it == m_open.end())
            return FALSE;
        const FakeDrive* d = it->second;
        if (d->bIoctlFails)
            return FALSE;
        const DWORD nNeeded = static_cast<DWORD>(sizeof(VOLUME_DISK_EXTENTS) +
                                                 (d->disks.size() - 1) * sizeof(DISK_EXTENT));
        auto* pExtents = static_cast<VOLUME_DISK_EXTENTS*>(pOut);
        if (nOutSize < nNeeded) {
            // As the system does: the count is given, the extents are not.
            pExtents->NumberOfDiskExtents = static_cast<DWORD>(d->disks.size());
            SetLastError(ERROR_MORE_DATA);
            return FALSE;
        }
        pExtents->NumberOfDiskExtents = static_cast<DWORD>(d->disks.size());
        for (size_t i = 0; i < d->disks.size(); ++i) {
            pExtents->Extents[i].DiskNumber = d->disks[i];
            pExtents->Extents[i].ExtentLength.QuadPart = static_cast<LONGLONG>(d->nTotal);
        }
        *pReturned = nNeeded;
        return TRUE;
    }
    void CloseVolume(HANDLE hVolume) override
    {
        EXPECT_EQ(m_open.erase(hVolume), 1u) << "closing a handle that is not open";
    }

    size_t OpenHandles() const { return m_open.size(); }
    std::vector<std::string> m_opened;

private:
    const FakeDrive* Find(const std::string& strRoot) const
    {
        for (const FakeDrive& d : m_drives)
            if (d.strRoot == strRoot)
                return &d;
        return nullptr;
    }
    std::vector<FakeDrive> m_drives;
    std::map<HANDLE, const FakeDrive*> m_open;
    int m_nNextHandle = 0;
};

inline FakeDrive Drive(const char* pszRoot, DWORD nDisk, unsigned long long nTotal = 1000)
{
    FakeDrive d;
    d.strRoot = pszRoot;
    d.disks = {nDisk};
    d.nTotal = nTotal;
    d.nFree = nTotal / 4;
    return d;
}
