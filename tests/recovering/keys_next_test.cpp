// Escape and Enter in each view of the main window never end it; Next with
// a large work folder left by the last search keeps the window answering.
#include "AnalysisHarness.h"

#include <cstdio>

using namespace analysis;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

const char kCancelQuestion[] = "Quorvane is currently analyzing disk, are you sure you want to cancel?";

class KeysNextTest : public WindowFixture {
protected:
    void SetUp() override
    {
        SetFormats(nullptr);
        m_engine = std::make_unique<EngineInstall>();
        m_pics = std::make_unique<TempFolder>("pics");
        m_pic = m_pics->Join("p.png");
        ASSERT_TRUE(SavePicture(m_pic, 20, 16, 0x204080u, L"image/png"));
    }
    void TearDown() override
    {
        WindowFixture::TearDown();
        m_engine.reset();
        m_pics.reset();
    }

    void StartSearch()
    {
        SelectFirstDrive();
        PostCommand(m_hwnd, IDC_NEXT);
        ASSERT_TRUE(WaitUntil([&] { return m_engine->Started(); }, 15000));
        ASSERT_EQ(Text(Ctl(IDC_RECOVER)), "Cancel");
    }

    // The Find box of the filter bar.
    HWND FindBox() const { return FindWindowExA(FilterBar(m_hwnd), nullptr, "Edit", nullptr); }

    // The key, pressed with the keyboard's focus on the control.
    void PressOn(HWND control, WORD key)
    {
        Dlg().RunOnUi([&] { ::SetFocus(control); });
        PressKey(m_hwnd, key);
        Pump(250);
    }

    // The window is still there, its thread still in the modal loop.
    bool Alive() { return IsWindow(m_hwnd) && !m_ui->Finished(); }

    std::unique_ptr<EngineInstall> m_engine;
    std::unique_ptr<TempFolder> m_pics;
    std::string m_pic;
};

TEST_F(KeysNextTest, ReadyViewIgnoresEscapeAndEnter)
{
    MessageBoxWatcher boxes;
    Open();
    for (HWND control : {Ctl(IDC_DRIVE_LIST), Ctl(IDC_RELOAD)}) {
        for (WORD key : {VK_ESCAPE, VK_RETURN}) {
            PressOn(control, key);
            EXPECT_TRUE(Alive()) << key;
        }
    }
    EXPECT_TRUE(Visible(Ctl(IDC_NEXT)));
    EXPECT_FALSE(m_engine->Started());
    EXPECT_EQ(boxes.Count(), 0u);
}

// Escape anywhere during a search asks the Cancel question (answered No
// here); Enter opens nothing and ends nothing.
TEST_F(KeysNextTest, AnalysingViewEscapeIsCancelEnterEndsNothing)
{
    MessageBoxWatcher boxes;
    m_engine->SetScript({"copy|" + m_pic + "|a.png", "forever"});
    Open();
    StartSearch();
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(Ctl(IDC_PICTURE_LIST)) == 1; }, 15000));
    ASSERT_NE(FindBox(), nullptr);

    size_t questions = 0;
    for (HWND control : {Ctl(IDC_PICTURE_LIST), FindBox(), Ctl(IDC_RECOVER)}) {
        PressOn(control, VK_ESCAPE);
        ASSERT_TRUE(boxes.WaitForCount(++questions));
        EXPECT_EQ(boxes.Seen().back().text, kCancelQuestion);
        EXPECT_TRUE(Alive());
    }
    for (HWND control : {Ctl(IDC_PICTURE_LIST), FindBox()}) {
        PressOn(control, VK_RETURN);
        EXPECT_TRUE(Alive());
    }
    EXPECT_EQ(boxes.Count(), questions);
    EXPECT_EQ(Text(Ctl(IDC_RECOVER)), "Cancel");
    EXPECT_EQ(EngineProcesses(), 1);
}

TEST_F(KeysNextTest, AnalysedViewIgnoresEscapeAndEnter)
{
    MessageBoxWatcher boxes;
    m_engine->SetScript({"copy|" + m_pic + "|a.png", "copy|" + m_pic + "|b.png"});
    Open();
    StartSearch();
    ASSERT_TRUE(WaitAnalysed());
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(Ctl(IDC_PICTURE_LIST)) == 2; }));

    for (HWND control : {Ctl(IDC_PICTURE_LIST), FindBox(), Ctl(IDC_RECOVER)}) {
        PressOn(control, VK_ESCAPE);
        EXPECT_TRUE(Alive());
    }
    for (HWND control : {Ctl(IDC_PICTURE_LIST), FindBox()}) {
        PressOn(control, VK_RETURN);
        EXPECT_TRUE(Alive());
    }
    EXPECT_TRUE(Analysed());
    EXPECT_EQ(boxes.Count(), 0u);

    // A text in the Find box is applied as it is typed; Enter after it
    // keeps what it shows.
    Dlg().RunOnUi([&] { ::SetWindowTextA(FindBox(), "b.png"); });
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(Ctl(IDC_PICTURE_LIST)) == 1; }));
    PressOn(FindBox(), VK_RETURN);
    EXPECT_TRUE(Alive());
    EXPECT_EQ(ItemCount(Ctl(IDC_PICTURE_LIST)), 1);
    EXPECT_EQ(Text(FindBox()), "b.png");
    EXPECT_EQ(boxes.Count(), 0u);
}

// Every file below a folder, recursively: how many there are and whether
// one of this name is among them.
void CountFiles(const std::string& folder, const std::string& name, int& files, bool& found)
{
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string entry = fd.cFileName;
        if (entry == "." || entry == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CountFiles(folder + "\\" + entry, name, files, found);
        } else {
            ++files;
            found = found || entry == name;
        }
    } while (FindNextFileA(find, &fd));
    FindClose(find);
}

bool OldFindsLeft()
{
    int files = 0;
    bool found = false;
    CountFiles(EngineFolder(), "old-marker.jpg", files, found);
    return found;
}

// The last search's work folder is large: Next puts it aside and the search
// starts at once, the window answering all the while it is deleted. A
// second Next queued behind the first starts nothing more.
TEST_F(KeysNextTest, NextWithALargeOldWorkFolderKeepsTheWindowAnswering)
{
    MessageBoxWatcher boxes;
    const std::string old = DataFolder() + "\\temp";
    CreateDirectoryA(DataFolder().c_str(), nullptr);
    CreateDirectoryA(old.c_str(), nullptr);
    const std::string block(2048, 'x');
    for (int folder = 0; folder < 40; ++folder) {
        const std::string sub = old + "\\d" + std::to_string(folder);
        CreateDirectoryA(sub.c_str(), nullptr);
        for (int i = 0; i < 100; ++i)
            WriteFileBytes(sub + "\\f" + std::to_string(i) + ".jpg", block);
    }
    WriteFileBytes(old + "\\d39\\old-marker.jpg", block);

    m_engine->SetScript({"copy|" + m_pic + "|new.png", "forever"});
    Open();
    SelectFirstDrive();
    PostCommand(m_hwnd, IDC_NEXT);
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(WaitUntil([&] { return Text(Ctl(IDC_RECOVER)) == "Cancel"; }, 15000));

    // From the search's view on, the window answers while the old files
    // are deleted: some answer comes back with old files still there
    // (deleting them on the window's own thread would answer only once
    // they were all gone), and none takes seconds.
    int pings = 0;
    int answeredAmid = 0;
    int hung = 0;
    const DWORD start = GetTickCount();
    std::string status;
    bool statusSeen = false;
    while (OldFindsLeft() && GetTickCount() - start < 60000) {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(m_hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result))
            ++hung;
        else if (OldFindsLeft())
            ++answeredAmid;
        ++pings;
        // While old files are still there, the status line says they are
        // being cleared.
        if (!statusSeen) {
            status = Text(Ctl(IDC_STATUS));
            statusSeen = OldFindsLeft();
        }
        Sleep(20);
    }
    EXPECT_FALSE(OldFindsLeft());
    // The search's view came while the old files were still there: Next
    // did not wait for them.
    EXPECT_GT(pings, 0);
    EXPECT_GT(answeredAmid, 0) << "of " << pings;
    EXPECT_EQ(hung, 0) << "of " << pings;
    if (statusSeen) {
        EXPECT_EQ(status.rfind("Analyzing disk, clearing the last search, please wait", 0), 0u) << status;
    }

    // The new search runs with its own find, alone.
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(Ctl(IDC_PICTURE_LIST)) == 1; }, 15000));
    Pump(500);
    EXPECT_EQ(EngineProcesses(), 1);
    EXPECT_EQ(boxes.Count(), 0u);
    // Once the old files are gone the line says only what the search does.
    EXPECT_TRUE(WaitUntil([&] { return Text(Ctl(IDC_STATUS)).rfind("Analyzing disk, please wait", 0) == 0; }, 5000))
        << Text(Ctl(IDC_STATUS));
    int files = 0;
    bool found = false;
    CountFiles(DataFolder(), "new.png", files, found);
    EXPECT_TRUE(found);
    EXPECT_EQ(files, 1);
}

}  // namespace

