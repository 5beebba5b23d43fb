// Next keeps the work folder off the searched disk: the question when it
// cannot, the work folder on the save folder's drive when it can, and no
// question for a device table's image. The disks are laid out through the
// window's disk-query seam (under Wine every drive is on disk 0); K: is a
// real drive letter mapped to a folder for these tests.
#include "AnalysisHarness.h"

using namespace analysis;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

const char kOwnDiskQuestion[] =
    "The drive you chose is on the same disk as Quorvane's work folder, where the pictures it finds are kept "
    "during the search. Writing them there can overwrite deleted pictures that have not been found yet, and "
    "those would then be lost for good.\n\n"
    "To avoid this, answer No, press Browse and choose a save folder on another drive, such as a USB stick or "
    "an external disk, then press Next again. Quorvane then keeps its work folder there.\n\n"
    "Search this disk anyway?";
const char kMappedDrive[] = "K:";

std::string Remembered() { return ModuleFile("workfolder.ini"); }

std::vector<std::string> SortedFiles(const std::string& folder)
{
    std::vector<std::string> names = FilesIn(folder);
    std::sort(names.begin(), names.end());
    return names;
}

class WorkFolderTest : public WindowFixture {
protected:
    void SetUp() override
    {
        SetFormats(nullptr);
        DeleteFileA(Remembered().c_str());
        // Like every drive under Wine, C: holds the per-user work folder and
        // the default save folder, on disk 0.
        m_disks.Clear();
        CreateDirectoryA(DataFolder().c_str(), nullptr);
        WriteFileBytes(Stale(), "from an earlier search");
    }
    void TearDown() override
    {
        WindowFixture::TearDown();
        DeleteFileA(Remembered().c_str());
    }

    std::string Stale() const { return DataFolder() + "\\stale.txt"; }

    void SelectDrive(const char* drive)
    {
        LVFINDINFOA find = {};
        find.flags = LVFI_STRING;
        find.psz = drive;
        const int row = static_cast<int>(
            SendMessageA(Ctl(IDC_DRIVE_LIST), LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
        ASSERT_GE(row, 0) << drive << " is not in the drive list";
        SelectRow(Ctl(IDC_DRIVE_LIST), row);
    }

    void SetSaveFolder(const std::string& folder)
    {
        TestDlg* dlg = m_dlg;
        dlg->RunOnUi([&] { dlg->SetSaveFolder(folder); });
    }

    std::string Args(const std::string& output, const char* device)
    {
        return "/d \"" + output + "\" /cmd " + device +
               " fileopt,everything,disable,jpg,enable,gif,enable,png,enable,bmp,enable,tif,enable,raw,enable,"
               "heic,enable,avif,enable,webp,enable,search";
    }

    // Pictures for the engine to find, each with its own bytes.
    std::vector<std::string> MakePictures(int count)
    {
        std::vector<std::string> pictures;
        for (int i = 0; i < count; ++i) {
            pictures.push_back(m_files.Join("p" + std::to_string(i) + ".png"));
            EXPECT_TRUE(SavePicture(pictures.back(), 12 + i, 10, 0x103050u * (i + 1), L"image/png"));
        }
        return pictures;
    }

    EngineInstall m_engine;
    MessageBoxWatcher m_boxes;
    TempFolder m_files{"work-folder"};
};

TEST_F(WorkFolderTest, SameDiskAsksAndNoLeavesEverythingAsItWas)
{
    Open();
    SelectDrive("C:");
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(m_boxes.WaitForCount(1));
    const SeenBox box = m_boxes.Seen()[0];
    EXPECT_EQ(box.caption, "Confirm");
    EXPECT_EQ(box.text, kOwnDiskQuestion);
    EXPECT_EQ(box.buttons, static_cast<UINT>(MB_YESNO));
    EXPECT_TRUE(box.icon);

    // The watcher answered No: back at the drive list, nothing touched.
    Pump(800);
    EXPECT_TRUE(Visible(Ctl(IDC_NEXT)));
    EXPECT_TRUE(Visible(Ctl(IDC_DRIVE_LIST)));
    EXPECT_FALSE(Visible(Ctl(IDC_PICTURE_LIST)));
    EXPECT_FALSE(Visible(Ctl(IDC_RECOVER)));
    EXPECT_FALSE(m_engine.Started());
    EXPECT_EQ(EngineProcesses(), 0);
    EXPECT_EQ(ReadFileBytes(Stale()), "from an earlier search");
    EXPECT_FALSE(Exists(DataFolder() + "\\temp"));
    EXPECT_FALSE(Exists(Remembered()));
    EXPECT_EQ(m_boxes.Count(), 1u);
}

TEST_F(WorkFolderTest, SameDiskAnsweredYesSearchesAsBefore)
{
    const std::vector<std::string> pictures = MakePictures(1);
    m_engine.SetScript({"copy|" + pictures[0] + "|d0001\\f1.png"});
    Open();
    SelectDrive("C:");
    m_boxes.Answer(IDYES);
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(WaitUntil([&] { return m_engine.Started(); }, 10000));
    EXPECT_EQ(m_engine.Args(), Args(DataFolder() + "\\temp", "/dev/sda"));
    ASSERT_TRUE(WaitAnalysed());
    ASSERT_EQ(ItemCount(Ctl(IDC_PICTURE_LIST)), 1);
    // The engine wrote it into the work folder it was given, above.
    EXPECT_EQ(ShownName(0), "f1.png");
    EXPECT_FALSE(Exists(Stale()));
    EXPECT_EQ(m_boxes.Count(), 1u);
    EXPECT_EQ(m_boxes.Seen()[0].text, kOwnDiskQuestion);
}

// K: is another disk: the search on C: keeps its finds in a hidden folder in
// the save folder on K:, and the pictures are recovered from there. The next
// search, after a restart, removes that folder.
TEST_F(WorkFolderTest, SaveFolderOnAnotherDiskTakesTheWorkFolder)
{
    ASSERT_TRUE(Exists(std::string(kMappedDrive) + "\\")) << "K: is not mapped in this Wine prefix";
    const std::string save = std::string(kMappedDrive) + "\\Recovered";
    const std::string moved = save + "\\Quorvane work folder";
    RemoveTree(save);
    const std::vector<std::string> pictures = MakePictures(3);
    m_engine.SetScript({"copy|" + pictures[0] + "|d0001\\f0000000100.png",
                        "copy|" + pictures[1] + "|d0001\\f0000000200.png",
                        "copy|" + pictures[2] + "|d0002\\f0000000300.png"});
    m_disks.PutOnDisk(kMappedDrive, 2);

    Open();
    SetSaveFolder(save);
    SelectDrive("C:");
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(WaitUntil([&] { return m_engine.Started(); }, 10000));
    EXPECT_EQ(m_engine.Args(), Args(moved + "\\temp", "/dev/sda"));
    const DWORD attributes = GetFileAttributesA(moved.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(ReadFileBytes(Remembered()), "workdir=" + moved + "\r\n");
    ASSERT_TRUE(WaitAnalysed());
    ASSERT_EQ(ItemCount(Ctl(IDC_PICTURE_LIST)), 3);
    // The engine wrote them into the moved work folder only, above.
    std::vector<std::string> listed = ShownNames(Ctl(IDC_PICTURE_LIST));
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"f0000000100.png", "f0000000200.png", "f0000000300.png"}));
    // The searched disk's own work folder was not even emptied.
    EXPECT_EQ(ReadFileBytes(Stale()), "from an earlier search");

    PostCommand(m_hwnd, IDC_RECOVER);
    ASSERT_TRUE(m_boxes.WaitForCount(1, 20000));
    EXPECT_EQ(m_boxes.Seen()[0].text, "3 files recovered.\n\nDo you want to view recovered files?");
    ASSERT_TRUE(WaitUntil([&] { return Analysed() && Visible(Ctl(IDC_NEW_SEARCH)); }, 10000));
    PostCommand(m_hwnd, IDC_NEW_SEARCH);
    ASSERT_TRUE(WaitUntil([&] { return Visible(Ctl(IDC_NEXT)); }, 10000));
    // Into the search's recovery folder, named for the drive and the day;
    // found by their contents, they are in its Found by contents.
    SYSTEMTIME today;
    GetLocalTime(&today);
    char recovery[64];
    wsprintfA(recovery, "\\Quorvane recovery %04u-%02u-%02u C\\Found by contents", today.wYear, today.wMonth,
              today.wDay);
    const std::string copies = save + recovery;
    const std::vector<std::string> names = {"f0000000100.png", "f0000000200.png", "f0000000300.png"};
    EXPECT_TRUE(SortedFiles(save).empty());
    EXPECT_EQ(SortedFiles(copies), names);
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(ReadFileBytes(copies + "\\" + names[i]), ReadFileBytes(pictures[i])) << names[i];
    CloseWindow();

    // A restart, then a search of a card (disk 1): the moved work folder goes.
    m_disks.AddCard("B:", 1, 2000000000ull);
    m_boxes.Clear();
    m_engine.SetScript({});
    m_engine.ForgetArgs();
    Open();
    SelectDrive("B:");
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(WaitUntil([&] { return m_engine.Started(); }, 10000));
    EXPECT_EQ(m_engine.Args(), Args(DataFolder() + "\\temp", "/dev/sdb"));
    ASSERT_TRUE(WaitAnalysed());
    EXPECT_FALSE(Exists(moved));
    // Deleted in the background; forgotten once nothing of it is left.
    EXPECT_TRUE(WaitUntil([&] { return !Exists(Remembered()); }, 10000));
    EXPECT_FALSE(Exists(moved + ".removing.1"));
    EXPECT_EQ(SortedFiles(copies), names);
    EXPECT_EQ(m_boxes.Count(), 0u);
    RemoveTree(save);
}

// The device table maps C:'s disk to an image: the engine never reads the
// disk, so nothing is asked, unless the image lies on the work folder's own
// drive.
TEST_F(WorkFolderTest, DeviceTableImageAsksNothing)
{
    m_engine.Remove("63\\cygwin");
    CreateDirectoryA((EngineFolder() + "\\63\\cygwin").c_str(), nullptr);
    const std::string elsewhere = ModuleFile("card.img");  // on Z:
    WriteFileBytes(elsewhere, std::string(4096, '\0'));
    WriteFileBytes(EngineFolder() + "\\63\\cygwin\\devices", "# test card\r\n/dev/sda=" + elsewhere + "\r\n");

    Open();
    SelectDrive("C:");
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(WaitUntil([&] { return m_engine.Started(); }, 10000));
    EXPECT_EQ(m_engine.Args(), Args(DataFolder() + "\\temp", "/dev/sda"));
    ASSERT_TRUE(WaitAnalysed());
    EXPECT_EQ(m_boxes.Count(), 0u);

    const std::string onWorkDrive = m_files.Join("card.img");  // on C:
    WriteFileBytes(onWorkDrive, std::string(4096, '\0'));
    WriteFileBytes(EngineFolder() + "\\63\\cygwin\\devices", "/dev/sda=" + onWorkDrive + "\r\n");
    m_engine.ForgetArgs();
    SelectDrive("C:");
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(m_boxes.WaitForCount(1));
    EXPECT_EQ(m_boxes.Seen()[0].text, kOwnDiskQuestion);
    Pump(500);
    EXPECT_FALSE(m_engine.Started());
    DeleteFileA(elsewhere.c_str());
}

}  // namespace
