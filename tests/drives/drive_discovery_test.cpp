#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "DriveDiscovery.h"
#include "FakeDriveSystem.h"

namespace {

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
    EXPECT_EQ(drives[0].nDisk, 2u);
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
