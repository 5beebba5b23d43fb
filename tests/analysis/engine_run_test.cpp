// Next and the engine's start: the argument string from formats.ini, the
// engine-file checks and their messages, the work folder.
#include "AnalysisHarness.h"

using namespace analysis;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

class EngineRunTest : public WindowFixture {
protected:
    void SetUp() override
    {
        SetFormats(nullptr);
        Open();
    }
    void TearDown() override
    {
        WindowFixture::TearDown();
        SetFormats(nullptr);
    }

    std::string Expected(const std::string& enables)
    {
        return "/d \"" + DataFolder() + "\\temp\" /cmd " + FirstDevice() + " fileopt,everything,disable," + enables +
               "search";
    }

    // Next on the first drive; the engine (which ends at once) records its
    // arguments. Returns them, after the analysed view has come.
    std::string RunOnce()
    {
        m_engine.ForgetArgs();
        SelectFirstDrive();
        PostCommand(m_hwnd, IDC_NEXT);
        EXPECT_TRUE(WaitUntil([&] { return Text(Ctl(IDC_RECOVER)) == "Cancel"; }));
        EXPECT_TRUE(WaitUntil([&] { return m_engine.Started(); }, 10000));
        EXPECT_TRUE(WaitAnalysed());
        return m_engine.Args();
    }

    EngineInstall m_engine;
    MessageBoxWatcher m_boxes;
    TempFolder m_files{"engine-run"};
};

TEST_F(EngineRunTest, ArgumentStringFollowsTheStoredFormats)
{
    struct Case {
        const char* line;  // formats.ini's line, or none
        const char* enables;
    };
    const Case cases[] = {
        {nullptr, "jpg,enable,gif,enable,png,enable,bmp,enable,tif,enable,raw,enable,heic,enable,avif,enable,"
                  "webp,enable,"},
        {"formats=webp,tif,jpg,heic\r\nversion=2", "jpg,enable,tif,enable,heic,enable,webp,enable,"},
        {"formats=tiff\r\nversion=2", "tif,enable,"},
        {"formats=raw\r\nversion=2", "raw,enable,"},
        // Stored by an older version, which knew five: the later four join.
        {"formats=bmp,png,gif,jpg,tif",
         "jpg,enable,gif,enable,png,enable,bmp,enable,tif,enable,raw,enable,heic,enable,avif,enable,webp,enable,"},
        {"formats=jpeg,GIF,png", "png,enable,raw,enable,heic,enable,avif,enable,webp,enable,"},
    };
    // Each run starts from the analysed view of the one before: Next's
    // handler does not depend on the button being on the screen.
    for (const Case& c : cases) {
        SetFormats(c.line);
        EXPECT_EQ(RunOnce(), Expected(c.enables)) << (c.line ? c.line : "no formats.ini");
        EXPECT_EQ(EngineProcesses(), 0);
    }
    EXPECT_EQ(m_boxes.Count(), 0u);
}

TEST_F(EngineRunTest, NoEnabledFormatRefusesToStart)
{
    for (const char* line : {"formats=JPG", "formats=", "formats=\r\nversion=2"}) {
        SetFormats(line);
        m_boxes.Clear();
        m_engine.ForgetArgs();
        SelectFirstDrive();
        PostCommand(m_hwnd, IDC_NEXT);
        ASSERT_TRUE(m_boxes.WaitForCount(2)) << line;
        const std::vector<SeenBox> seen = m_boxes.Seen();
        EXPECT_EQ(seen[0].text, kNoFormats);
        EXPECT_EQ(seen[0].caption, "Quorvane");
        EXPECT_EQ(seen[0].buttons, static_cast<UINT>(MB_OK));
        EXPECT_FALSE(seen[0].icon);
        EXPECT_EQ(seen[1].text, kLaunchFailed);
        EXPECT_EQ(seen[1].caption, "Quorvane");
        EXPECT_EQ(seen[1].buttons, static_cast<UINT>(MB_OK));
        EXPECT_FALSE(seen[1].icon);
        // The monitor leaves the analysis at its next tick, with nothing.
        ASSERT_TRUE(WaitAnalysed());
        EXPECT_EQ(ItemCount(Ctl(IDC_PICTURE_LIST)), 0);
        EXPECT_FALSE(IsWindowEnabled(Ctl(IDC_SELECT_ALL)));
        EXPECT_FALSE(m_engine.Started());
        EXPECT_EQ(EngineProcesses(), 0);
    }
}

TEST_F(EngineRunTest, MissingEngineFilesAreReportedInOrder)
{
    struct Case {
        std::vector<const char*> missing;
        const char* code;
    };
    const Case cases[] = {
        {{"photo.exe"}, "-1003"},
        {{"cygwin1.dll"}, "-1004"},
        {{"63\\cygwin"}, "-1005"},
        {{"cygwin1.dll", "63"}, "-1004"},
        {{"photo.exe", "cygwin1.dll", "63"}, "-1003"},
    };
    const std::string keep = EngineFolder() + "-keep";
    RemoveTree(keep);
    CopyFileA((EngineFolder() + "\\photo.exe").c_str(), (keep + ".exe").c_str(), FALSE);
    for (const Case& c : cases) {
        // Put everything back, then take this case's files away.
        CopyFileA((keep + ".exe").c_str(), (EngineFolder() + "\\photo.exe").c_str(), FALSE);
        WriteFileBytes(EngineFolder() + "\\cygwin1.dll", "runtime");
        CreateDirectoryA((EngineFolder() + "\\63").c_str(), nullptr);
        WriteFileBytes(EngineFolder() + "\\63\\cygwin", "runtime");
        for (const char* name : c.missing)
            m_engine.Remove(name);

        m_boxes.Clear();
        SelectFirstDrive();
        PostCommand(m_hwnd, IDC_NEXT);
        ASSERT_TRUE(m_boxes.WaitForCount(2)) << c.code;
        const std::vector<SeenBox> seen = m_boxes.Seen();
        EXPECT_EQ(seen[0].text, std::string("Failed to load engine, error code ") + c.code +
                                    ". Installation may be corrupted, please try to re-install Quorvane");
        EXPECT_EQ(seen[1].text, kLaunchFailed);
        ASSERT_TRUE(WaitAnalysed());
        EXPECT_FALSE(m_engine.Started());
        Pump(300);
        EXPECT_EQ(m_boxes.Count(), 2u);
    }
    DeleteFileA((keep + ".exe").c_str());
}

TEST_F(EngineRunTest, NextWithoutSelectedDriveChangesNothing)
{
    LVITEMA none = {};
    none.stateMask = LVIS_SELECTED;
    SendMessageA(Ctl(IDC_DRIVE_LIST), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    RemoveTree(DataFolder());
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(m_boxes.WaitForCount(1));
    EXPECT_EQ(m_boxes.Seen()[0].text, "Please select drive from where to recover photos.");
    EXPECT_EQ(m_boxes.Seen()[0].caption, "Quorvane");
    Pump(800);
    EXPECT_TRUE(Visible(Ctl(IDC_NEXT)));
    EXPECT_TRUE(Visible(Ctl(IDC_DRIVE_LIST)));
    EXPECT_FALSE(Visible(Ctl(IDC_PICTURE_LIST)));
    EXPECT_FALSE(Visible(Ctl(IDC_RECOVER)));
    EXPECT_FALSE(m_engine.Started());
    EXPECT_FALSE(Exists(DataFolder()));
    EXPECT_EQ(EngineProcesses(), 0);
    EXPECT_EQ(m_boxes.Count(), 1u);
}

TEST_F(EngineRunTest, StaleDataFolderIsEmptied)
{
    CreateDirectoryA(DataFolder().c_str(), nullptr);
    CreateDirectoryA((DataFolder() + "\\temp").c_str(), nullptr);
    CreateDirectoryA((DataFolder() + "\\old").c_str(), nullptr);
    CreateDirectoryA((DataFolder() + "\\old\\deeper").c_str(), nullptr);
    ASSERT_TRUE(SavePicture(DataFolder() + "\\temp\\f1.png", 8, 8, 0xFF0000, L"image/png"));
    ASSERT_TRUE(SavePicture(DataFolder() + "\\old\\deeper\\f2.png", 8, 8, 0xFF0000, L"image/png"));
    WriteFileBytes(DataFolder() + "\\loose.txt", "x");

    const std::string args = RunOnce();
    EXPECT_EQ(args, Expected("jpg,enable,gif,enable,png,enable,bmp,enable,tif,enable,raw,enable,heic,enable,avif,"
                             "enable,webp,enable,"));
    EXPECT_TRUE(Exists(DataFolder()));
    EXPECT_FALSE(Exists(DataFolder() + "\\temp"));
    EXPECT_FALSE(Exists(DataFolder() + "\\old"));
    EXPECT_FALSE(Exists(DataFolder() + "\\loose.txt"));
    EXPECT_EQ(ItemCount(Ctl(IDC_PICTURE_LIST)), 0);
    EXPECT_EQ(m_boxes.Count(), 0u);
}

TEST_F(EngineRunTest, UndeletableTempFolderMovesTheOutputAside)
{
    CreateDirectoryA(DataFolder().c_str(), nullptr);
    CreateDirectoryA((DataFolder() + "\\temp").c_str(), nullptr);
    const std::string held = DataFolder() + "\\temp\\held.png";
    ASSERT_TRUE(SavePicture(held, 8, 8, 0xFF0000, L"image/png"));
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    // Windows does not rename a folder with a file open in it; Wine does,
    // unless the folder itself is open without leave to delete it.
    HANDLE folder = CreateFileA(DataFolder().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(folder, INVALID_HANDLE_VALUE);
    const std::string picture = m_files.Join("new.png");
    ASSERT_TRUE(SavePicture(picture, 8, 8, 0x00FF00, L"image/png"));
    m_engine.SetScript({"copy|" + picture + "|new.png"});

    m_engine.ForgetArgs();
    SelectFirstDrive();
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(m_boxes.WaitForCount(1));
    EXPECT_EQ(m_boxes.Seen()[0].text, "Internal error, error code: -1008");
    EXPECT_EQ(m_boxes.Seen()[0].caption, "Quorvane");
    ASSERT_TRUE(WaitUntil([&] { return m_engine.Started(); }, 10000));
    EXPECT_EQ(m_engine.Args(), "/d \"" + DataFolder() + "\\temp_1\" /cmd " + FirstDevice() +
                                   " fileopt,everything,disable,jpg,enable,gif,enable,png,enable,bmp,enable,tif,"
                                   "enable,raw,enable,heic,enable,avif,enable,webp,enable,search");
    ASSERT_TRUE(WaitAnalysed());
    // The file still held open is passed over; the engine's picture is in.
    ASSERT_EQ(ItemCount(Ctl(IDC_PICTURE_LIST)), 1);
    // The engine writes only where it was told (temp_1, above): the one
    // picture listed is its.
    EXPECT_EQ(ShownName(0), "new.png");
    CloseHandle(folder);
    CloseHandle(file);
}

// On Wine a folder with a file held open in it is renamed aside all the
// same: the new search writes where it always does, and the held file is
// deleted once it is let go, at a later search.
TEST_F(EngineRunTest, HeldFileInTheOldWorkFolderDoesNotHoldUpTheNextSearch)
{
    CreateDirectoryA(DataFolder().c_str(), nullptr);
    CreateDirectoryA((DataFolder() + "\\temp").c_str(), nullptr);
    const std::string held = DataFolder() + "\\temp\\held.png";
    ASSERT_TRUE(SavePicture(held, 8, 8, 0xFF0000, L"image/png"));
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string picture = m_files.Join("new.png");
    ASSERT_TRUE(SavePicture(picture, 8, 8, 0x00FF00, L"image/png"));
    m_engine.SetScript({"copy|" + picture + "|new.png"});

    m_engine.ForgetArgs();
    SelectFirstDrive();
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(WaitUntil([&] { return m_engine.Started(); }, 10000));
    EXPECT_EQ(m_engine.Args(), "/d \"" + DataFolder() + "\\temp\" /cmd " + FirstDevice() +
                                   " fileopt,everything,disable,jpg,enable,gif,enable,png,enable,bmp,enable,tif,"
                                   "enable,raw,enable,heic,enable,avif,enable,webp,enable,search");
    ASSERT_TRUE(WaitAnalysed());
    ASSERT_EQ(ItemCount(Ctl(IDC_PICTURE_LIST)), 1);
    EXPECT_EQ(ShownName(0), "new.png");
    EXPECT_EQ(m_boxes.Count(), 0u);
    CloseHandle(file);

    // The next search sweeps what was left.
    m_engine.ForgetArgs();
    CloseWindow();
    Open();
    SelectFirstDrive();
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(WaitAnalysed());
    EXPECT_TRUE(WaitUntil([&] {
        WIN32_FIND_DATAA fd;
        HANDLE find = FindFirstFileA((DataFolder() + ".removing.*").c_str(), &fd);
        if (find == INVALID_HANDLE_VALUE)
            return true;
        FindClose(find);
        return false;
    }, 10000));
}

}  // namespace

// A save folder inside the work folder would be emptied with it by the
// next search: Next refuses and says why, and nothing there is touched.
TEST_F(EngineRunTest, SaveFolderInsideTheWorkFolderIsNeverEmptied)
{
    CreateDirectoryA(DataFolder().c_str(), nullptr);
    const std::string inside = DataFolder() + "\\Recovered";
    CreateDirectoryA(inside.c_str(), nullptr);
    WriteFileBytes(inside + "\\IMG_0001.jpg", "a recovered picture");
    SetWindowTextA(Ctl(IDC_SAVE_DIR), inside.c_str());
    m_engine.ForgetArgs();
    SelectFirstDrive();
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(m_boxes.WaitForCount(1));
    EXPECT_EQ(m_boxes.Seen()[0].text, "The save folder lies inside Quorvane's work folder, which every search "
                                      "empties.\n\nPlease choose another save folder with 'Browse'.");
    EXPECT_EQ(m_boxes.Seen()[0].caption, "Quorvane");
    Pump(500);
    EXPECT_FALSE(m_engine.Started());
    EXPECT_EQ(ReadFileBytes(inside + "\\IMG_0001.jpg"), "a recovered picture");
    EXPECT_TRUE(IsWindowVisible(Ctl(IDC_NEXT)));
    RemoveTree(inside);
}
