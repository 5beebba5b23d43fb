// The machine's drives as the main window's disk queries see them, with some
// drive letters put on disks of their own (under Wine every drive is on disk
// 0) and memory cards that exist only here. Every other question goes to the
// real system.
#pragma once

#include <windows.h>
#include <winioctl.h>

#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "DriveDiscovery.h"

namespace uitest {

class DiskLayout : public IDriveSystem {
public:
    // A drive letter ("K:") that is reported on this disk.
    void PutOnDisk(const std::string& drive, DWORD disk) { m_disks[Letter(drive)] = disk; }

    // A removable drive that only the drive list sees; nothing can be read
    // from it, which the scripted test engine never tries.
    void AddCard(const std::string& drive, DWORD disk, unsigned long long bytes)
    {
        m_cards[Letter(drive)] = bytes;
        PutOnDisk(drive, disk);
    }

    void Clear()
    {
        m_disks.clear();
        m_cards.clear();
    }

    DWORD LogicalDriveStrings(DWORD nBufferLength, char* pBuffer) override
    {
        char real[1024] = {};
        const DWORD length = GetLogicalDriveStringsA(sizeof real, real);
        std::set<char> letters;
        for (DWORD at = 0; at < length && at < sizeof real; at += static_cast<DWORD>(std::strlen(real + at)) + 1)
            letters.insert(Letter(real + at));
        for (const auto& card : m_cards)
            letters.insert(card.first);
        std::string list;
        for (char letter : letters)
            list += std::string(1, letter) + ":\\" + '\0';
        if (list.size() + 1 > nBufferLength)
            return static_cast<DWORD>(list.size() + 1);
        std::memcpy(pBuffer, list.c_str(), list.size() + 1);
        return static_cast<DWORD>(list.size());
    }
    UINT DriveType(const char* pszRoot) override
    {
        return IsCard(pszRoot) ? DRIVE_REMOVABLE : GetDriveTypeA(pszRoot);
    }
    BOOL DiskFreeSpace(const char* pszRoot, ULARGE_INTEGER* pFreeToCaller, ULARGE_INTEGER* pTotal,
                       ULARGE_INTEGER* pTotalFree) override
    {
        if (!IsCard(pszRoot))
            return GetDiskFreeSpaceExA(pszRoot, pFreeToCaller, pTotal, pTotalFree);
        pTotal->QuadPart = m_cards[Letter(pszRoot)];
        pFreeToCaller->QuadPart = pTotalFree->QuadPart = pTotal->QuadPart / 2;
        return TRUE;
    }
    BOOL VolumeInformation(const char* pszRoot, char* pszVolumeName, DWORD nVolumeNameSize, DWORD* pSerial,
                           DWORD* pMaxComponent, DWORD* pFlags, char* pszFileSystem,
                           DWORD nFileSystemSize) override
    {
        if (!IsCard(pszRoot))
            return GetVolumeInformationA(pszRoot, pszVolumeName, nVolumeNameSize, pSerial, pMaxComponent, pFlags,
                                         pszFileSystem, nFileSystemSize);
        lstrcpynA(pszVolumeName, "CARD", static_cast<int>(nVolumeNameSize));
        lstrcpynA(pszFileSystem, "FAT32", static_cast<int>(nFileSystemSize));
        return TRUE;
    }
    HANDLE OpenVolume(const char* pszDevicePath) override
    {
        const std::string path = pszDevicePath;
        if (path.size() == 6 && path.compare(0, 4, "\\\\.\\") == 0 && m_disks.count(Letter(path.substr(4))))
            return FakeHandle(Letter(path.substr(4)));
        return CreateFileA(pszDevicePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    BOOL VolumeDiskExtents(HANDLE hVolume, void* pOut, DWORD nOutSize, DWORD* pReturned) override
    {
        const char letter = FakeLetter(hVolume);
        if (!letter)
            return DeviceIoControl(hVolume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, pOut, nOutSize,
                                   pReturned, nullptr);
        if (nOutSize < sizeof(VOLUME_DISK_EXTENTS))
            return FALSE;
        auto* extents = static_cast<VOLUME_DISK_EXTENTS*>(pOut);
        extents->NumberOfDiskExtents = 1;
        extents->Extents[0].DiskNumber = m_disks[letter];
        *pReturned = sizeof(VOLUME_DISK_EXTENTS);
        return TRUE;
    }
    void CloseVolume(HANDLE hVolume) override
    {
        if (!FakeLetter(hVolume))
            CloseHandle(hVolume);
    }

private:
    static char Letter(const std::string& drive)
    {
        return drive.empty() ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(drive[0])));
    }
    bool IsCard(const char* root) const { return m_cards.count(Letter(root)) != 0; }

    // Handles no real object has: far above what the system hands out.
    static constexpr INT_PTR kFakeBase = 0x7FFF0000;
    static HANDLE FakeHandle(char letter) { return reinterpret_cast<HANDLE>(kFakeBase + letter * 4); }
    static char FakeLetter(HANDLE handle)
    {
        const INT_PTR value = reinterpret_cast<INT_PTR>(handle) - kFakeBase;
        return value >= 'A' * 4 && value <= 'Z' * 4 && value % 4 == 0 ? static_cast<char>(value / 4) : '\0';
    }

    std::map<char, DWORD> m_disks;
    std::map<char, unsigned long long> m_cards;
};

}  // namespace uitest
