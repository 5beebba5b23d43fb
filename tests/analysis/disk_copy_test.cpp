// The copy of the disk kept while searching, from the window: the folder it
// goes to checked before the engine starts (not on the searched disk, room
// for the disk), the engine told where the copy goes, and the saved copies
// listed with the drives and searched instead of a disk. Disks are laid out
// through the window's disk-query seam; K: is a real drive letter mapped to
// a folder for these tests.
#include "AnalysisHarness.h"
#include "SizeFormat.h"

using namespace analysis;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

const char kOnSearchedDisk[] =
    "The folder chosen for the copy of the disk is on the disk you are about to search. Writing the copy there "
    "would overwrite the deleted pictures it is meant to keep.\n\n"
    "Please choose a folder on another drive, such as an external disk, with the 'Browse' beside \"Save a copy "
    "of the disk while searching\", then press Next again.";
const char kMappedDrive[] = "K:";
const std::string kCommands =
    " fileopt,everything,disable,jpg,enable,gif,enable,png,enable,bmp,enable,tif,enable,raw,enable,heic,enable,"
    "avif,enable,webp,enable,search";

class DiskCopyTest : public WindowFixture {
protected:
    void SetUp() override
    {
        SetFormats(nullptr);
        ASSERT_TRUE(Exists(std::string(kMappedDrive) + "\\")) << "K: is not mapped in this Wine prefix";
        RemoveTree(m_copies);
        CreateDirectoryA(m_copies.c_str(), nullptr);
        // The save folder off the searched disk too: no question about the
        // work folder.
        m_disks.Clear();
        m_disks.PutOnDisk(kMappedDrive, 2);
        m_disks.AddCard("B:", 1, 64ull << 20);
    }
    void TearDown() override
    {
        WindowFixture::TearDown();
        RemoveTree(m_copies);
        DeleteFileA(Settings().c_str());
    }
    static std::string Settings() { return ModuleFile("settings.ini"); }

    void SelectDrive(const std::string& drive)
    {
        LVFINDINFOA find = {};
        find.flags = LVFI_STRING;
        find.psz = drive.c_str();
        const int row = static_cast<int>(
            SendMessageA(Ctl(IDC_DRIVE_LIST), LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
        ASSERT_GE(row, 0) << drive << " is not in the drive list";
        SelectRow(Ctl(IDC_DRIVE_LIST), row);
    }

    const std::string m_copies = std::string(kMappedDrive) + "\\Copies";
    EngineInstall m_engine;
    MessageBoxWatcher m_boxes;
};

TEST_F(DiskCopyTest, TheCopyGoesToItsFolderAndIsRefusedOnTheSearchedDisk)
{
    // On the card's own disk: refused, nothing started.
    m_disks.PutOnDisk(kMappedDrive, 1);
    WriteFileBytes(Settings(), "savedir=K:\\Recovered\r\ndiskcopy=on|" + m_copies + "\r\n");
    Open();
    EXPECT_EQ(SendMessageA(CopyCheck(m_hwnd), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(Text(CopyPlace(m_hwnd)), m_copies);
    EXPECT_TRUE(Visible(CopyBrowse(m_hwnd)));
    SelectDrive("B:");
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(m_boxes.WaitForCount(1));
    EXPECT_EQ(m_boxes.Seen()[0].text, kOnSearchedDisk);
    Pump(500);
    EXPECT_FALSE(m_engine.Started());
    EXPECT_TRUE(Visible(Ctl(IDC_NEXT)));

    // On another disk: the engine keeps the copy there, named for the drive
    // and the time; the option's line stays in settings.ini.
    m_disks.PutOnDisk(kMappedDrive, 2);
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(WaitUntil([&] { return m_engine.Started(); }, 10000));
    const std::string args = m_engine.Args();
    const std::string copyArg = "/copy \"" + m_copies + "\\Copy of B ";
    const size_t at = args.find(copyArg);
    ASSERT_NE(at, std::string::npos) << args;
    const size_t end = args.find(".img\" /cmd /dev/", at);
    ASSERT_NE(end, std::string::npos) << args;
    EXPECT_EQ(end - at - copyArg.size(), std::string("2026-12-10 21-30-05").size()) << args;
    EXPECT_EQ(args.substr(args.size() - kCommands.size()), kCommands);
    ASSERT_TRUE(WaitAnalysed());
    EXPECT_NE(ReadFileBytes(Settings()).find("diskcopy=on|" + m_copies + "\r\n"), std::string::npos);
}

TEST_F(DiskCopyTest, NoRoomForTheDiskIsRefused)
{
    m_disks.AddCard("B:", 1, 1ull << 52);
    WriteFileBytes(Settings(), "savedir=K:\\Recovered\r\ndiskcopy=on|" + m_copies + "\r\n");
    Open();
    SelectDrive("B:");
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(m_boxes.WaitForCount(1));
    EXPECT_EQ(m_boxes.Seen()[0].text.rfind("There is not room enough for a copy of the disk", 0), 0u)
        << m_boxes.Seen()[0].text;
    Pump(500);
    EXPECT_FALSE(m_engine.Started());
}

TEST_F(DiskCopyTest, SavedCopiesAreListedAndSearchedInsteadOfADisk)
{
    const std::string copy = m_copies + "\\Copy of E 2026-12-10 21-30-05.img";
    WriteFileBytes(copy, std::string(1 << 20, '\0'));
    WriteFileBytes(m_copies + "\\Copy of E 2026-12-10 21-30-05.map",
                   "quorvane disk copy\nsize 1048576\ncomplete 2048\ncopied 0 2048\n");
    // Not one of ours: no map beside it.
    WriteFileBytes(m_copies + "\\other.img", std::string(4096, '\0'));
    // Ticked, but a saved copy is searched as it is: no copy of the copy.
    WriteFileBytes(Settings(), "savedir=K:\\Recovered\r\ndiskcopy=on|" + m_copies + "\r\n");
    Open();
    const std::string label = "Saved copy of E: (2026-12-10 21:30, " + std::string(FormatSize(1 << 20).GetString()) + ")";
    int copies = 0;
    HWND list = Ctl(IDC_DRIVE_LIST);
    for (int row = 0; row < ItemCount(list); ++row) {
        char text[260] = {};
        ListView_GetItemText(list, row, 0, text, sizeof text);
        copies += std::string(text).find("Saved copy") == 0;
    }
    EXPECT_EQ(copies, 1);
    SelectDrive(label);
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(WaitUntil([&] { return m_engine.Started(); }, 10000));
    const std::string args = m_engine.Args();
    EXPECT_EQ(args.find("/copy"), std::string::npos) << args;
    EXPECT_NE(args.find("\" /cmd \"" + copy + "\"" + kCommands), std::string::npos) << args;
    ASSERT_TRUE(WaitAnalysed());
    EXPECT_EQ(m_boxes.Count(), 0u);
}

}  // namespace

namespace {

// A copy picked by hand, anywhere and without a map: listed after the
// drives, selected, and searched by Next; listed once however often picked.
TEST_F(DiskCopyTest, ACopyPickedByHandIsListedSelectedAndSearched)
{
    const std::string picked = m_copies + "\\card backup.IMG";
    WriteFileBytes(picked, std::string(1 << 20, '\0'));
    WriteFileBytes(Settings(), "savedir=K:\\Recovered\r\n");
    Open();
    HWND list = Ctl(IDC_DRIVE_LIST);
    const int drives = ItemCount(list);
    ASSERT_TRUE(Visible(OpenCopy(m_hwnd)));
    Dlg().diskCopyPick = picked;
    for (int i = 0; i < 2; ++i) {
        PostMessageA(OpenCopy(m_hwnd), BM_CLICK, 0, 0);
        ASSERT_TRUE(WaitUntil([&] { return ItemCount(list) == drives + 1; }));
        Pump(200);
    }
    EXPECT_EQ(ItemCount(list), drives + 1);
    char text[260] = {};
    ListView_GetItemText(list, drives, 0, text, sizeof text);
    EXPECT_EQ(std::string(text), "Saved copy: card backup (" + std::string(FormatSize(1 << 20).GetString()) + ")");
    EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), drives);
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(WaitUntil([&] { return m_engine.Started(); }, 10000));
    EXPECT_NE(m_engine.Args().find("\" /cmd \"" + picked + "\"" + kCommands), std::string::npos) << m_engine.Args();
    ASSERT_TRUE(WaitAnalysed());
}

}  // namespace
