// The last search comes back: a search that ends leaves its record and its
// finds file with its work folder, and the next start offers its pictures
// through the Ready view's link, listed as the end of the search listed
// them; a damaged work folder shows what is left and a new search goes on.
#include "AnalysisHarness.h"

#include "PictureColumns.h"
#include "finds_file.h"

using namespace analysis;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

std::string FindsPath() { return DataFolder() + ".finds"; }

std::string Today()
{
    static const char* const months[] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};
    SYSTEMTIME now;
    GetLocalTime(&now);
    return std::to_string(now.wDay) + " " + months[now.wMonth - 1] + " " + std::to_string(now.wYear);
}

class LastSearchTest : public WindowFixture {
protected:
    void SetUp() override { SetFormats(nullptr); }
    void TearDown() override
    {
        WindowFixture::TearDown();
        DeleteFileA(FindsPath().c_str());
    }

    // Ends the window as the end of the Windows session does.
    void EndWindow()
    {
        TestDlg* dlg = m_dlg;
        ASSERT_NE(dlg, nullptr);
        // Windows ending the session: no question, the engine stopped.
        SendMessageA(m_hwnd, WM_ENDSESSION, TRUE, 0);
        ASSERT_TRUE(m_ui->WaitFinished(20000));
        m_ui.reset();
    }

    void Next()
    {
        SelectFirstDrive();
        PostCommand(m_hwnd, IDC_NEXT);
        ASSERT_TRUE(WaitUntil([&] { return Text(Ctl(IDC_RECOVER)) == "Cancel"; }));
    }

    // The names listed: each test's file names are its own, so a name
    // stands for the file the engine wrote.
    std::vector<std::string> ListedNames() { return ShownNames(Ctl(IDC_PICTURE_LIST)); }

    // Chooses "Deleted only" in the filter bar's list of states, as the
    // user's choice does; false when there is no such choice.
    bool ShowDeletedOnly()
    {
        for (HWND child = FindWindowExA(FilterBar(m_hwnd), nullptr, "ComboBox", nullptr); child;
             child = FindWindowExA(FilterBar(m_hwnd), child, "ComboBox", nullptr)) {
            const LRESULT at = SendMessageA(child, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                            reinterpret_cast<LPARAM>("Deleted only"));
            if (at == CB_ERR)
                continue;
            SendMessageA(child, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
            SendMessageA(FilterBar(m_hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(child), CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(child));
            return true;
        }
        return false;
    }

    std::string Out(const std::string& relative) const { return DataFolder() + "\\temp\\" + relative; }

    EngineInstall m_engine;
    MessageBoxWatcher m_boxes;
    TempFolder m_files{"last-search"};
};

TEST_F(LastSearchTest, ASearchThatEndedComesBackAtTheNextStart)
{
    ASSERT_TRUE(SavePicture(m_files.Join("a.png"), 40, 40, 0x00FF00, L"image/png"));
    ASSERT_TRUE(SavePicture(m_files.Join("b.png"), 40, 40, 0xFF0000, L"image/png"));
    WriteFileBytes(m_files.Join("finds.txt"), std::string(qv::kFindsHeader) +
                                                  qv::formatFindsLine({"d0001\\Beach.png", "\\DCIM\\Holiday", true}) +
                                                  qv::formatFindsLine({"Dog.png", "\\Pets", false}));
    m_engine.SetScript({
        "copy|" + m_files.Join("finds.txt") + "|..\\..\\data.finds",
        "copy|" + m_files.Join("a.png") + "|d0001\\Beach.png",
        "copy|" + m_files.Join("b.png") + "|Dog.png",
        "copy|" + m_files.Join("a.png") + "|f3.png",
    });
    Open();
    EXPECT_FALSE(Visible(Ctl(IDC_LAST_SEARCH)));
    Next();
    ASSERT_TRUE(WaitAnalysed());
    const std::vector<std::string> listed = ListedNames();
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_TRUE(Visible(Ctl(IDC_NEW_SEARCH)));
    EXPECT_TRUE(Exists(DataFolder() + "\\lastsearch.ini"));
    EXPECT_TRUE(Exists(FindsPath()));

    // The next start: no question, a link under the drive list.
    EndWindow();
    Open();
    ASSERT_TRUE(WaitUntil([&] { return Visible(Ctl(IDC_LAST_SEARCH)); }));
    EXPECT_EQ(Text(Ctl(IDC_LAST_SEARCH)), "Show the 3 pictures found on B: on " + Today());
    EXPECT_EQ(m_boxes.Count(), 0u);
    RECT link, drives;
    GetWindowRect(Ctl(IDC_LAST_SEARCH), &link);
    GetWindowRect(Ctl(IDC_DRIVE_LIST), &drives);
    EXPECT_GE(link.top, drives.bottom);

    PostCommand(m_hwnd, IDC_LAST_SEARCH, STN_CLICKED);
    ASSERT_TRUE(WaitAnalysed());
    EXPECT_EQ(ListedNames(), listed);
    EXPECT_FALSE(Visible(Ctl(IDC_LAST_SEARCH)));
    EXPECT_TRUE(Visible(Ctl(IDC_NEW_SEARCH)));
    EXPECT_EQ(Dlg().CountText().substr(0, 34), "3 of 3 pictures shown - 3 ticked (");
    // The records came back with the pictures: "Deleted only" leaves the
    // deleted one and the one found by its contents.
    ASSERT_TRUE(ShowDeletedOnly());
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(Ctl(IDC_PICTURE_LIST)) == 2; }));
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"Beach.png", "f3.png"}));
    EXPECT_TRUE(Exists(FindsPath()));

    // New search goes back to the drives, still offering them.
    PostCommand(m_hwnd, IDC_NEW_SEARCH);
    ASSERT_TRUE(WaitUntil([&] { return Visible(Ctl(IDC_NEXT)) && Visible(Ctl(IDC_LAST_SEARCH)); }));
    EXPECT_FALSE(Visible(Ctl(IDC_PICTURE_LIST)));
    EXPECT_FALSE(Visible(Ctl(IDC_RECOVER)));
}

TEST_F(LastSearchTest, ADamagedWorkFolderShowsWhatItCanAndANewSearchGoesOn)
{
    // Three finds recorded; one picture has gone, one no longer decodes,
    // and the finds file ends in the middle of a line.
    CreateDirectoryA(DataFolder().c_str(), nullptr);
    CreateDirectoryA((DataFolder() + "\\temp").c_str(), nullptr);
    CreateDirectoryA(Out("d0001").c_str(), nullptr);
    ASSERT_TRUE(SavePicture(Out("d0001\\Beach.png"), 40, 40, 0x00FF00, L"image/png"));
    WriteFileBytes(Out("broken.jpg"), std::string("\xFF\xD8\xFF\xE0 cut short", 14));
    const std::string torn = qv::formatFindsLine({"broken.jpg", "\\Old", false});
    WriteFileBytes(FindsPath(), std::string(qv::kFindsHeader) +
                                    qv::formatFindsLine({"d0001\\Beach.png", "\\DCIM\\Holiday", true}) +
                                    qv::formatFindsLine({"d0001\\Gone.png", "\\DCIM", true}) +
                                    torn.substr(0, torn.size() / 2));
    WriteFileBytes(DataFolder() + "\\lastsearch.ini", "[Last search]\r\nDrive=E:\r\nOutput=" + DataFolder() +
                                                          "\\temp\r\nPictures=3\r\nEnded=2026-12-09 14:03:00\r\n");

    Open();
    ASSERT_TRUE(WaitUntil([&] { return Visible(Ctl(IDC_LAST_SEARCH)); }));
    EXPECT_EQ(Text(Ctl(IDC_LAST_SEARCH)), "Show the 3 pictures found on E: on 9 December 2026");
    PostCommand(m_hwnd, IDC_LAST_SEARCH, STN_CLICKED);
    ASSERT_TRUE(WaitAnalysed());
    std::vector<std::string> listed = ListedNames();
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"Beach.png", "broken.jpg"}));
    // The records as the details view's columns show them.
    const HWND list = Ctl(IDC_PICTURE_LIST);
    const int beach = ShownName(0) == "Beach.png" ? 0 : 1;
    EXPECT_EQ(CellText(list, beach, kColumnState), "deleted");
    EXPECT_EQ(CellText(list, beach, kColumnFolder), "\\DCIM\\Holiday");
    EXPECT_EQ(CellText(list, 1 - beach, kColumnState), "found by contents");
    EXPECT_EQ(m_boxes.Count(), 0u);

    // A new search empties the folder and records itself.
    ASSERT_TRUE(SavePicture(m_files.Join("fresh.png"), 30, 30, 0x0000FF, L"image/png"));
    m_engine.SetScript({"copy|" + m_files.Join("fresh.png") + "|fresh.png"});
    PostCommand(m_hwnd, IDC_NEW_SEARCH);
    ASSERT_TRUE(WaitUntil([&] { return Visible(Ctl(IDC_NEXT)); }));
    Next();
    ASSERT_TRUE(WaitAnalysed());
    EXPECT_EQ(ListedNames(), std::vector<std::string>{"fresh.png"});
    EXPECT_FALSE(Exists(Out("broken.jpg")));
    const std::string record = ReadFileBytes(DataFolder() + "\\lastsearch.ini");
    EXPECT_NE(record.find("Pictures=1\r\n"), std::string::npos) << record;
    EXPECT_NE(record.find("Drive=B:\r\n"), std::string::npos) << record;
}

// A search cancelled and left at once, before its last pass: what it had
// listed is offered at the next start all the same.
TEST_F(LastSearchTest, ACancelledSearchIsRecordedAtOnce)
{
    ASSERT_TRUE(SavePicture(m_files.Join("a.png"), 20, 20, 0x00FF00, L"image/png"));
    m_engine.SetScript({"copy|" + m_files.Join("a.png") + "|one.png", "copy|" + m_files.Join("a.png") + "|two.png",
                        "forever"});
    Open();
    Next();
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(Ctl(IDC_PICTURE_LIST)) == 2; }, 10000));
    m_boxes.Answer(IDYES);
    PostCommand(m_hwnd, IDC_RECOVER);
    ASSERT_TRUE(WaitUntil([&] { return Exists(DataFolder() + "\\lastsearch.ini"); }, 10000));
    EndWindow();
    EXPECT_EQ(m_boxes.Count(), 1u);

    Open();
    ASSERT_TRUE(WaitUntil([&] { return Visible(Ctl(IDC_LAST_SEARCH)); }));
    EXPECT_EQ(Text(Ctl(IDC_LAST_SEARCH)), "Show the 2 pictures found on B: on " + Today());
}

// The folder went between the start and the click: the user is told, the
// link goes, and nothing else changes.
TEST_F(LastSearchTest, AWorkFolderRemovedAfterTheStartIsSaidSo)
{
    CreateDirectoryA(DataFolder().c_str(), nullptr);
    CreateDirectoryA((DataFolder() + "\\temp").c_str(), nullptr);
    ASSERT_TRUE(SavePicture(Out("a.png"), 20, 20, 0x00FF00, L"image/png"));
    WriteFileBytes(DataFolder() + "\\lastsearch.ini", "[Last search]\r\nDrive=E:\r\nOutput=" + DataFolder() +
                                                          "\\temp\r\nPictures=1\r\nEnded=2026-12-09 14:03:00\r\n");
    Open();
    ASSERT_TRUE(WaitUntil([&] { return Visible(Ctl(IDC_LAST_SEARCH)); }));
    EXPECT_EQ(Text(Ctl(IDC_LAST_SEARCH)), "Show the 1 picture found on E: on 9 December 2026");
    RemoveTree(DataFolder());
    PostCommand(m_hwnd, IDC_LAST_SEARCH, STN_CLICKED);
    ASSERT_TRUE(m_boxes.WaitForCount(1));
    EXPECT_EQ(m_boxes.Seen()[0].text, "The pictures of the last search are no longer there.");
    ASSERT_TRUE(WaitUntil([&] { return !Visible(Ctl(IDC_LAST_SEARCH)); }));
    EXPECT_TRUE(Visible(Ctl(IDC_NEXT)));
    EXPECT_FALSE(Visible(Ctl(IDC_PICTURE_LIST)));
}

}  // namespace
