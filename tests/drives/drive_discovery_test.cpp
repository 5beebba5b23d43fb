#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "DriveDiscovery.h"

namespace {

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

FakeDrive Drive(const char* pszRoot, DWORD nDisk, unsigned long long nTotal = 1000)
{
    FakeDrive d;
    d.strRoot = pszRoot;
    d.disks = {nDisk};
    d.nTotal = nTotal;
    d.nFree = nTotal / 4;
    return d;
}

std::vector<std::string> Names(const std::vector<DriveEntry>& drives)
{
    std::vector<std::string> names;
    for (const DriveEntry& e : drives)
        names.push_back(e.strDrive.str());
    return names;
}

}  // namespace

TEST(DriveDiscovery, FillsEveryFieldOfAnEntry)
{
    FakeDrive c = Drive("C:\\", 2, 1073741825ULL);
    FakeSystem system({c});
    std::vector<DriveEntry> drives = EnumerateDrives(system);
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_EQ(drives[0].strDrive, "C:");
    EXPECT_EQ(drives[0].strPhysicalDrive, "\\\\.\\PhysicalDrive2");
    EXPECT_EQ(drives[0].nTotalBytes, 1073741825LL);  // total, not free
    EXPECT_EQ(drives[0].strFileSystem, "NTFS");
    EXPECT_EQ(drives[0].strInfo, "Local Disk");
    EXPECT_EQ(drives[0].strDevice, "/dev/sdc");
    EXPECT_EQ(system.m_opened, (std::vector<std::string>{"\\\\.\\C:"}));
    EXPECT_EQ(system.OpenHandles(), 0u);
}

TEST(DriveDiscovery, TwoVolumesOnOneDiskShareTheDiskNames)
{
    FakeSystem system({Drive("C:\\", 0), Drive("D:\\", 1), Drive("E:\\", 0)});
    std::vector<DriveEntry> drives = EnumerateDrives(system);
    ASSERT_EQ(Names(drives), (std::vector<std::string>{"C:", "D:", "E:"}));
    EXPECT_EQ(drives[0].strDevice, "/dev/sda");
    EXPECT_EQ(drives[2].strDevice, "/dev/sda");
    EXPECT_EQ(drives[0].strPhysicalDrive, drives[2].strPhysicalDrive);
    EXPECT_EQ(drives[1].strDevice, "/dev/sdb");
    EXPECT_EQ(drives[1].strPhysicalDrive, "\\\\.\\PhysicalDrive1");
}

TEST(DriveDiscovery, UnusableVolumesAreLeftOutAndTheWalkGoesOn)
{
    FakeDrive spanned = Drive("D:\\", 1);
    spanned.disks = {1, 2};
    FakeDrive noMedium = Drive("E:\\", 3);
    noMedium.nType = DRIVE_CDROM;
    noMedium.bHasSize = false;
    FakeDrive noOpen = Drive("F:\\", 4);
    noOpen.bOpens = false;
    FakeDrive noExtents = Drive("G:\\", 5);
    noExtents.bIoctlFails = true;
    FakeSystem system({Drive("C:\\", 0), spanned, noMedium, noOpen, noExtents, Drive("H:\\", 6)});

    std::vector<DriveEntry> drives = EnumerateDrives(system);
    EXPECT_EQ(Names(drives), (std::vector<std::string>{"C:", "H:"}));
    EXPECT_EQ(system.OpenHandles(), 0u);
    // The drive without a medium is not even opened.
    for (const std::string& path : system.m_opened)
        EXPECT_NE(path, "\\\\.\\E:");
}

TEST(DriveDiscovery, DriveTypeTextsAndMissingVolumeInformation)
{
    const struct {
        UINT nType;
        const char* pszInfo;
    } rows[] = {{DRIVE_REMOVABLE, "Removable Disk"}, {DRIVE_FIXED, "Local Disk"}, {DRIVE_REMOTE, "Network Drive"},
                {DRIVE_CDROM, "Compact Disc"},       {DRIVE_RAMDISK, ""},         {DRIVE_UNKNOWN, ""},
                {77, ""}};
    std::vector<FakeDrive> fakes;
    char szRoot[] = "A:\\";
    for (const auto& row : rows) {
        FakeDrive d = Drive(szRoot, 0);
        d.nType = row.nType;
        fakes.push_back(d);
        ++szRoot[0];
    }
    fakes.back().bHasVolumeInfo = false;
    FakeSystem system(fakes);
    std::vector<DriveEntry> drives = EnumerateDrives(system);
    ASSERT_EQ(drives.size(), fakes.size());
    for (size_t i = 0; i < drives.size(); ++i)
        EXPECT_EQ(drives[i].strInfo, rows[i].pszInfo) << i;
    EXPECT_EQ(drives[0].strFileSystem, "NTFS");
    EXPECT_EQ(drives.back().strFileSystem, "");
}

TEST(DriveDiscovery, MachineWhereEveryProbeFailsGivesAnEmptyList)
{
    FakeSystem none({});
    EXPECT_TRUE(EnumerateDrives(none).empty());

    FakeDrive c = Drive("C:\\", 0);
    c.bHasSize = false;
    c.bHasVolumeInfo = false;
    c.bOpens = false;
    c.nType = DRIVE_NO_ROOT_DIR;
    FakeDrive d = c;
    d.strRoot = "D:\\";
    FakeSystem failing({c, d});
    EXPECT_TRUE(EnumerateDrives(failing).empty());
}

TEST(DriveDiscovery, QueryPhysicalDriveLeavesOutputsOnFailure)
{
    FakeDrive spanned = Drive("D:\\", 1);
    spanned.disks = {1, 2};
    FakeSystem system({Drive("C:\\", 7), spanned});

    CString strPath = "unchanged";
    DWORD nDisk = 99;
    EXPECT_FALSE(QueryPhysicalDrive(system, "D:", strPath, nDisk));
    EXPECT_FALSE(QueryPhysicalDrive(system, "Q:", strPath, nDisk));
    EXPECT_EQ(strPath, "unchanged");
    EXPECT_EQ(nDisk, 99u);

    EXPECT_TRUE(QueryPhysicalDrive(system, "C:", strPath, nDisk));
    EXPECT_EQ(strPath, "\\\\.\\PhysicalDrive7");
    EXPECT_EQ(nDisk, 7u);
    EXPECT_EQ(system.OpenHandles(), 0u);
}

TEST(DriveDiscovery, EngineDeviceNames)
{
    EXPECT_EQ(MakeEngineDeviceName(0), "/dev/sda");
    EXPECT_EQ(MakeEngineDeviceName(1), "/dev/sdb");
    EXPECT_EQ(MakeEngineDeviceName(25), "/dev/sdz");
    EXPECT_EQ(MakeEngineDeviceName(26), "/dev/sdaa");
    EXPECT_EQ(MakeEngineDeviceName(27), "/dev/sdab");
    EXPECT_EQ(MakeEngineDeviceName(51), "/dev/sdaz");
    EXPECT_EQ(MakeEngineDeviceName(52), "/dev/sdba");
    EXPECT_EQ(MakeEngineDeviceName(701), "/dev/sdzz");
    EXPECT_EQ(MakeEngineDeviceName(702), "/dev/sdaaa");
    CString strMax = MakeEngineDeviceName(0xFFFFFFFFu);
    EXPECT_EQ(strMax.Left(7), "/dev/sd");
    for (int i = 7; i < strMax.GetLength(); ++i)
        EXPECT_TRUE(strMax.GetAt(i) >= 'a' && strMax.GetAt(i) <= 'z');
}

TEST(DriveDiscovery, RealMachineListsDriveCOnDiskZero)
{
    std::vector<DriveEntry> drives = EnumerateDrives();
    const DriveEntry* c = nullptr;
    for (const DriveEntry& e : drives)
        if (e.strDrive == "C:")
            c = &e;
    ASSERT_NE(c, nullptr) << "C: not listed";
    EXPECT_EQ(c->strDevice, "/dev/sda");
    EXPECT_EQ(c->strPhysicalDrive, "\\\\.\\PhysicalDrive0");
    EXPECT_EQ(c->strInfo, "Local Disk");
    EXPECT_GT(c->nTotalBytes, 0);
}
