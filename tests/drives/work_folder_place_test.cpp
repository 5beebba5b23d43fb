// Where a search keeps its finds, decided over fake machines: which disk
// holds the chosen drive, the per-user work folder, the save folder and a
// device table's image.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "FakeDriveSystem.h"
#include "WorkFolderPlace.h"

namespace {

const char kWork[] = "C:\\users\\me\\AppData\\Roaming\\tarnwick-software\\data";

DriveEntry Chosen(const char* drive, DWORD disk)
{
    DriveEntry entry;
    entry.strDrive = drive;
    entry.nDisk = disk;
    return entry;
}

FakeDrive Network(const char* root)
{
    FakeDrive d = Drive(root, 0);
    d.nType = DRIVE_REMOTE;
    d.bOpens = false;
    return d;
}

FakeDrive Spanned(const char* root)
{
    FakeDrive d = Drive(root, 0);
    d.disks = {0, 3};
    return d;
}

// C: and D: share disk 0 (the system disk), E: is a USB stick (disk 1), F: a
// card (disk 2); N: is a network drive, S: a volume over two disks.
FakeSystem Laptop()
{
    return FakeSystem({Drive("C:\\", 0), Drive("D:\\", 0), Drive("E:\\", 1), Drive("F:\\", 2), Network("N:\\"),
                       Spanned("S:\\")});
}

WorkFolderPlace Place(const DriveEntry& chosen, const char* save, const char* work = kWork, const char* image = "")
{
    FakeSystem system = Laptop();
    const WorkFolderPlace place = CWorkFolderPlace(system, chosen, image).Choose(work, save);
    EXPECT_EQ(system.OpenHandles(), 0u);
    return place;
}

TEST(WorkFolderPlace, SearchingAnotherDiskChangesNothing)
{
    EXPECT_EQ(Place(Chosen("F:", 2), "C:\\Pictures"), WorkFolderPlace::Default);
    EXPECT_EQ(Place(Chosen("E:", 1), "E:\\Recovered"), WorkFolderPlace::Default);
    // The work folder's disk is what counts, not its drive letter.
    EXPECT_EQ(Place(Chosen("F:", 2), "C:\\Pictures", "E:\\profile\\data"), WorkFolderPlace::Default);
    // A profile on a network share is on no disk of this machine.
    EXPECT_EQ(Place(Chosen("C:", 0), "C:\\Pictures", "N:\\profile\\data"), WorkFolderPlace::Default);
    EXPECT_EQ(Place(Chosen("C:", 0), "C:\\Pictures", "\\\\server\\home\\me\\data"), WorkFolderPlace::Default);
}

TEST(WorkFolderPlace, SearchingTheWorkFolderDiskMovesToASaveFolderElsewhere)
{
    EXPECT_EQ(Place(Chosen("C:", 0), "E:\\Recovered"), WorkFolderPlace::SaveDrive);
    EXPECT_EQ(Place(Chosen("D:", 0), "e:"), WorkFolderPlace::SaveDrive);
    EXPECT_EQ(Place(Chosen("C:", 0), "N:\\Recovered"), WorkFolderPlace::SaveDrive);
    EXPECT_EQ(Place(Chosen("C:", 0), "\\\\server\\share\\Recovered"), WorkFolderPlace::SaveDrive);
}

TEST(WorkFolderPlace, AsksWhenNothingElseIsKnownToBeOffTheSearchedDisk)
{
    // Another drive letter of the same disk is no way out.
    EXPECT_EQ(Place(Chosen("C:", 0), "D:\\Recovered"), WorkFolderPlace::Ask);
    EXPECT_EQ(Place(Chosen("D:", 0), "C:\\Users\\me\\Pictures"), WorkFolderPlace::Ask);
    // Disks that cannot be told may be the searched one.
    EXPECT_EQ(Place(Chosen("C:", 0), "S:\\Recovered"), WorkFolderPlace::Ask);
    EXPECT_EQ(Place(Chosen("C:", 0), "Q:\\Recovered"), WorkFolderPlace::Ask);
    EXPECT_EQ(Place(Chosen("C:", 0), "Recovered"), WorkFolderPlace::Ask);
    EXPECT_EQ(Place(Chosen("C:", 0), ""), WorkFolderPlace::Ask);
    EXPECT_EQ(Place(Chosen("C:", 0), "\\\\?\\E:\\Recovered"), WorkFolderPlace::Ask);
    // A work folder on a disk that cannot be told is treated the same way.
    EXPECT_EQ(Place(Chosen("E:", 1), "E:\\Recovered", "S:\\profile\\data"), WorkFolderPlace::Ask);
    EXPECT_EQ(Place(Chosen("E:", 1), "F:\\Recovered", "S:\\profile\\data"), WorkFolderPlace::SaveDrive);
}

TEST(WorkFolderPlace, AnImageIsSearchedInsteadOfItsDisk)
{
    // The chosen drive is on the work folder's disk, but the engine reads an
    // image on another drive: nothing to protect.
    EXPECT_EQ(Place(Chosen("C:", 0), "C:\\Pictures", kWork, "D:\\images\\card.img"), WorkFolderPlace::Default);
    EXPECT_EQ(Place(Chosen("C:", 0), "C:\\Pictures", kWork, "\\\\server\\share\\card.img"),
              WorkFolderPlace::Default);
    // An image on the very drive written to: the rules apply to its disk.
    EXPECT_EQ(Place(Chosen("F:", 2), "C:\\Pictures", kWork, "c:\\images\\card.img"), WorkFolderPlace::Ask);
    EXPECT_EQ(Place(Chosen("F:", 2), "E:\\Recovered", kWork, "C:\\images\\card.img"), WorkFolderPlace::SaveDrive);
    EXPECT_EQ(Place(Chosen("F:", 2), "D:\\Recovered", kWork, "C:\\images\\card.img"), WorkFolderPlace::Ask);
}

TEST(WorkFolderPlace, WritesKeepClearOfTheSearchedDiskOnly)
{
    FakeSystem system = Laptop();
    const CWorkFolderPlace card(system, Chosen("F:", 2), "");
    EXPECT_TRUE(card.KeepsClearOfSearch("C:\\old\\Quorvane work folder"));
    EXPECT_TRUE(card.KeepsClearOfSearch("\\\\server\\share\\Quorvane work folder"));
    EXPECT_FALSE(card.KeepsClearOfSearch("F:\\Recovered\\Quorvane work folder"));
    EXPECT_FALSE(card.KeepsClearOfSearch("S:\\Quorvane work folder"));

    // An image on a share: no local disk is read.
    const CWorkFolderPlace shared(system, Chosen("C:", 0), "\\\\server\\share\\card.img");
    EXPECT_TRUE(shared.KeepsClearOfSearch("C:\\anything"));
    EXPECT_EQ(system.OpenHandles(), 0u);
}

TEST(WorkFolderPlace, PathRoots)
{
    EXPECT_EQ(PathRoot("C:\\a\\b"), "C:");
    EXPECT_EQ(PathRoot("e:"), "E:");
    EXPECT_EQ(PathRoot("\\\\server\\share\\a"), "\\\\server\\share");
    EXPECT_EQ(PathRoot("\\\\server\\share"), "\\\\server\\share");
    EXPECT_EQ(PathRoot("\\\\server"), "");
    EXPECT_EQ(PathRoot("\\\\.\\PhysicalDrive0"), "");
    EXPECT_EQ(PathRoot("\\a\\b"), "");
    EXPECT_EQ(PathRoot("1:\\a"), "");
}

// The device table beside the engine, read with the engine's own parser; a
// relative image path is the one the engine, started from this folder, opens.
TEST(WorkFolderPlace, DeviceTableImages)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string engine = std::string(temp) + "qv-devices-test";
    CreateDirectoryA(engine.c_str(), nullptr);
    CreateDirectoryA((engine + "\\63").c_str(), nullptr);
    CreateDirectoryA((engine + "\\63\\cygwin").c_str(), nullptr);
    const std::string table = engine + "\\63\\cygwin\\devices";

    EXPECT_EQ(FindDeviceImage(engine.c_str(), "/dev/sda"), "");
    {
        std::ofstream out(table, std::ios::binary);
        out << "# images of failing cards\r\n/dev/sda=Z:\\a.img\r\n/dev/sdc=relative\\c.img";
    }
    EXPECT_EQ(FindDeviceImage(engine.c_str(), "/dev/sda"), "Z:\\a.img");
    EXPECT_EQ(FindDeviceImage(engine.c_str(), "/dev/sdd"), "");
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    std::string expected = current;
    if (expected.back() != '\\')
        expected += '\\';
    EXPECT_EQ(FindDeviceImage(engine.c_str(), "/dev/sdc"), expected + "relative\\c.img");

    DeleteFileA(table.c_str());
    RemoveDirectoryA((engine + "\\63\\cygwin").c_str());
    RemoveDirectoryA((engine + "\\63").c_str());
    RemoveDirectoryA(engine.c_str());
}

}  // namespace
