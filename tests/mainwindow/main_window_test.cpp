// The main window under Wine: start-up views, drive list, save folder,
// administrator check, Browse, Reload, Help and Select all.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FileUtils.h"
#include "RecoveryDlg.h"
#include "SizeFormat.h"
#include "UiTest.h"
#include "WindowTest.h"
#include "resource.h"

using namespace uitest;

namespace {

struct DlgOptions {
    BOOL admin = TRUE;
    bool versionKnown = true;
    int versionCode = 8;     // -1: leave the caller's preset alone (newer NT)
    bool holdStartup = false;  // the test fires the start-up tick itself
    std::vector<std::string> picks;  // PickFolder answers; "" cancels
};

class TestDlg : public RunsOnUi<CRecoveryDlg> {
public:
    explicit TestDlg(const DlgOptions& options) : m_options(options) {}

    int PickCalls() const { return m_pickCalls; }

protected:
    BOOL OnInitDialog() override
    {
        const BOOL result = CRecoveryDlg::OnInitDialog();
        if (m_options.holdStartup)
            KillTimer(TIMER_STARTUP);
        return result;
    }
    BOOL IsAdministrator() override { return m_options.admin; }
    bool QueryWindowsVersion(int& code, CString& servicePack) override
    {
        if (!m_options.versionKnown)
            return false;
        if (m_options.versionCode >= 0)
            code = m_options.versionCode;
        servicePack = "";
        return true;
    }
    bool PickFolder(CString& path) override
    {
        const size_t call = static_cast<size_t>(m_pickCalls++);
        if (call >= m_options.picks.size() || m_options.picks[call].empty())
            return false;
        path = m_options.picks[call].c_str();
        return true;
    }

private:
    DlgOptions m_options;
    int m_pickCalls = 0;
};

const int kDriveSelection[] = {IDC_BROWSE,   IDC_NEXT,           IDC_RELOAD,
                               IDC_DRIVE_LIST, IDC_SELECT_DRIVE_LABEL, IDC_SAVE_DIR_LABEL,
                               IDC_SAVE_DIR};
const int kAnalysisItems[] = {IDC_SELECT_ALL, IDC_STATUS,       IDC_PROGRESS_TEXT,
                              IDC_PROGRESS,   IDC_PICTURE_LIST, IDC_RECOVER};

std::string ModuleFile(const char* name)
{
    return std::string(GetModuleFolder().GetString()) + name;
}

std::string ColumnText(HWND list, int column)
{
    char text[128] = {};
    LVCOLUMNA col = {};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    col.pszText = text;
    col.cchTextMax = sizeof text;
    if (!SendMessageA(list, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&col)))
        return "<none>";
    return std::string(text) + "/" + std::to_string(col.cx) + "/" + std::to_string(col.fmt & LVCFMT_JUSTIFYMASK);
}

std::string CellText(HWND list, int row, int column)
{
    char text[260] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

int RowCount(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

void InsertRow(HWND list, int row, const char* text)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char*>(text);
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

// With QUORVANE_SCREENSHOTS naming a folder, keeps a 24-bit BMP of the
// window as drawn on the screen, for a person to look at.
void SaveScreenshot(HWND window, const char* name)
{
    const char* folder = getenv("QUORVANE_SCREENSHOTS");
    if (!folder || !*folder)
        return;
    Pump(500);
    RECT rc;
    GetWindowRect(window, &rc);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = static_cast<DWORD>((w * 3 + 3) & ~3);
    BITMAPFILEHEADER fh = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + stride * static_cast<DWORD>(h);
    std::string file(reinterpret_cast<const char*>(&fh), sizeof fh);
    file.append(reinterpret_cast<const char*>(&bi.bmiHeader), sizeof bi.bmiHeader);
    file.append(static_cast<const char*>(bits), stride * static_cast<DWORD>(h));
    WriteFileBytes(std::string(folder) + "\\" + name, file);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
}

// Runs a TestDlg on its own thread for one test.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteFileA(ModuleFile("settings.ini").c_str());
        DeleteFileA(ModuleFile("help.chm").c_str());
    }

    void TearDown() override
    {
        // Ended as the program's end would, asking nothing.
        if (m_ui && m_dlg && IsWindow(m_dlg) && m_object) {
            TestDlg* dlg = m_object;
            dlg->RunOnUi([dlg] { dlg->EndDialog(IDCANCEL); });
        }
        if (m_ui) {
            EXPECT_TRUE(m_ui->WaitFinished(10000));
        }
        m_ui.reset();
        DeleteFileA(ModuleFile("settings.ini").c_str());
        DeleteFileA(ModuleFile("help.chm").c_str());
    }

    HWND Open(const DlgOptions& options)
    {
        m_ui = std::make_unique<UiThread>([this, options] {
            TestDlg dlg(options);
            m_object = &dlg;
            dlg.DoModal();
            m_object = nullptr;
        });
        m_dlg = m_ui->WaitForWindow("Quorvane");
        return m_dlg;
    }

    bool WaitReady()
    {
        // Next shows before the rest of the view, in the same message: the
        // round trip after it waits for that message's end.
        const bool ready =
            WaitUntil([&] { return Visible(Item(m_dlg, IDC_NEXT)) && !Visible(Item(m_dlg, IDC_LOADING)); });
        SendMessageA(m_dlg, WM_NULL, 0, 0);
        return ready;
    }

    HWND Ready(DlgOptions options = DlgOptions())
    {
        Open(options);
        EXPECT_NE(m_dlg, nullptr);
        EXPECT_TRUE(WaitReady());
        return m_dlg;
    }

    std::unique_ptr<UiThread> m_ui;
    HWND m_dlg = nullptr;
    TestDlg* volatile m_object = nullptr;
};

TEST_F(MainWindowTest, LoadingViewThenReadyViewAfterStartupTick)
{
    DlgOptions options;
    options.holdStartup = true;
    HWND dlg = Open(options);
    ASSERT_NE(dlg, nullptr);
    Pump(300);

    EXPECT_TRUE(Visible(dlg));
    EXPECT_TRUE(Visible(Item(dlg, IDC_LOADING)));
    EXPECT_EQ(Text(Item(dlg, IDC_LOADING)), "Loading, please wait...");
    for (int id : kDriveSelection)
        EXPECT_FALSE(Visible(Item(dlg, id))) << id;
    for (int id : kAnalysisItems)
        EXPECT_FALSE(Visible(Item(dlg, id))) << id;
    EXPECT_TRUE(Visible(Item(dlg, IDC_HELP_LINK)));
    EXPECT_TRUE(Visible(Item(dlg, IDC_SETTINGS_LINK)));
    // Nothing is enumerated before the tick.
    EXPECT_EQ(RowCount(Item(dlg, IDC_DRIVE_LIST)), 0);
    SaveScreenshot(dlg, "loading.bmp");

    // The loading notice is centred by the outer window's size, in client
    // co-ordinates.
    RECT window, label, selectDrive;
    GetWindowRect(dlg, &window);
    GetWindowRect(Item(dlg, IDC_LOADING), &label);
    GetWindowRect(Item(dlg, IDC_SELECT_DRIVE_LABEL), &selectDrive);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&label), 2);
    const int width = selectDrive.right - selectDrive.left + 30;
    const int height = selectDrive.bottom - selectDrive.top + 10;
    EXPECT_EQ(label.right - label.left, width);
    EXPECT_EQ(label.bottom - label.top, height);
    EXPECT_EQ(label.left, (window.right - window.left - width) / 2);
    EXPECT_EQ(label.top, (window.bottom - window.top - height) / 2);

    PostMessageA(dlg, WM_TIMER, TIMER_STARTUP, 0);
    ASSERT_TRUE(WaitReady());
    EXPECT_FALSE(Visible(Item(dlg, IDC_LOADING)));
    for (int id : kDriveSelection)
        EXPECT_TRUE(Visible(Item(dlg, id))) << id;
    for (int id : kAnalysisItems)
        EXPECT_FALSE(Visible(Item(dlg, id))) << id;
    EXPECT_TRUE(Visible(Item(dlg, IDC_HELP_LINK)));
    EXPECT_TRUE(Visible(Item(dlg, IDC_SETTINGS_LINK)));
    EXPECT_EQ(GetWindowTextLengthA(dlg), 8);
    EXPECT_EQ(Text(dlg), "Quorvane");
    SaveScreenshot(dlg, "ready.bmp");
}

TEST_F(MainWindowTest, StartupTickRunsByItselfAndOnlyOnce)
{
    HWND dlg = Ready();
    HWND list = Item(dlg, IDC_DRIVE_LIST);
    // A row the program did not put there survives: no second tick refills.
    const int rows = RowCount(list);
    InsertRow(list, rows, "X:");
    Pump(600);
    EXPECT_EQ(RowCount(list), rows + 1);
}

TEST_F(MainWindowTest, DriveListHasFourColumnsAndOneRowPerDrive)
{
    HWND dlg = Ready();
    HWND list = Item(dlg, IDC_DRIVE_LIST);

    EXPECT_EQ(ColumnText(list, 0), "Drive/80/0");
    EXPECT_EQ(ColumnText(list, 1), "File System/80/0");
    EXPECT_EQ(ColumnText(list, 2), "Capacity/120/0");
    EXPECT_EQ(ColumnText(list, 3), "Information/180/0");
    EXPECT_EQ(ColumnText(list, 4), "<none>");
    const DWORD ex = static_cast<DWORD>(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_TRUE(ex & LVS_EX_FULLROWSELECT);

    // Wine's C: answers the extents request, so there is at least one row.
    const std::vector<DriveEntry> expected = EnumerateDrives();
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(RowCount(list), static_cast<int>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        const int row = static_cast<int>(i);
        EXPECT_EQ(CellText(list, row, 0), expected[i].strDrive.str());
        EXPECT_EQ(CellText(list, row, 1), expected[i].strFileSystem.str());
        EXPECT_EQ(CellText(list, row, 2), FormatSize(expected[i].nTotalBytes).str());
        EXPECT_EQ(CellText(list, row, 3), expected[i].strInfo.str());
    }
    EXPECT_EQ(CellText(list, 0, 0), "C:");
    EXPECT_NE(CellText(list, 0, 2).find(" GB"), std::string::npos);
}

TEST_F(MainWindowTest, SaveFolderBoxIsDisabledAndShowsTheStoredFolder)
{
    WriteFileBytes(ModuleFile("settings.ini"), "savedir=D:\\Old\r\nsavedir=D:\\Pics\r\n");
    HWND dlg = Ready();
    HWND edit = Item(dlg, IDC_SAVE_DIR);
    EXPECT_EQ(Text(edit), "D:\\Pics");
    EXPECT_FALSE(IsWindowEnabled(edit));
    // Loading the folder never writes it.
    EXPECT_EQ(ReadFileBytes(ModuleFile("settings.ini")), "savedir=D:\\Old\r\nsavedir=D:\\Pics\r\n");
}

TEST_F(MainWindowTest, SaveFolderBoxShowsMyPicturesWithoutSettings)
{
    HWND dlg = Ready();
    const std::string pictures = GetPicturesFolder().str();
    ASSERT_FALSE(pictures.empty());
    EXPECT_EQ(Text(Item(dlg, IDC_SAVE_DIR)), pictures);
    EXPECT_FALSE(IsWindowEnabled(Item(dlg, IDC_SAVE_DIR)));
    EXPECT_FALSE(Exists(ModuleFile("settings.ini")));
}

struct AdminCase {
    const char* name;
    bool versionKnown;
    int versionCode;
    bool runAsText;
};

class AdministratorTest : public MainWindowTest,
                          public ::testing::WithParamInterface<AdminCase> {};

TEST_P(AdministratorTest, ExplainsAndEndsWithoutAWindow)
{
    const AdminCase& c = GetParam();
    MessageBoxWatcher boxes;
    DlgOptions options;
    options.admin = FALSE;
    options.versionKnown = c.versionKnown;
    options.versionCode = c.versionCode;

    m_ui = std::make_unique<UiThread>([this, options] {
        TestDlg dlg(options);
        dlg.DoModal();
        // The quit request is this thread's; take it so it ends nothing else.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    });
    ASSERT_TRUE(boxes.WaitForCount(1));
    ASSERT_TRUE(m_ui->WaitFinished(10000));
    Pump(200);

    const std::vector<SeenBox> seen = boxes.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "Quorvane");
    EXPECT_EQ(seen[0].buttons, static_cast<UINT>(MB_OK));
    const std::string head = "Your need to be administrator to use Quorvane to recover pictures.\n\n";
    if (c.runAsText) {
        EXPECT_EQ(seen[0].text, head + "Please select Quorvane, right click and choose \"Run as administrator\".");
    } else {
        EXPECT_EQ(seen[0].text, head + "Please log off your computer and then log in as Administrator, "
                                       "install Quorvane and use it to recover pictures.");
    }
    EXPECT_EQ(FindWindowA(nullptr, "Quorvane"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Systems, AdministratorTest,
    ::testing::Values(AdminCase{"Vista7", true, 8, true},
                      AdminCase{"Xp", true, 6, false},
                      AdminCase{"Nt4", true, 4, false},
                      AdminCase{"Me", true, 3, false},
                      AdminCase{"NewerNt", true, -1, true},
                      AdminCase{"Unknown", false, 8, false}),
    [](const ::testing::TestParamInfo<AdminCase>& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, BrowseStoresADriveRootWithoutItsBackslash)
{
    DlgOptions options;
    options.picks = {"D:\\", "", "C:\\users\\Public\\Pictures"};
    HWND dlg = Ready(options);
    HWND edit = Item(dlg, IDC_SAVE_DIR);
    const std::string settings = ModuleFile("settings.ini");

    PostCommand(dlg, IDC_BROWSE);
    ASSERT_TRUE(WaitUntil([&] { return Text(edit) == "D:"; }));
    EXPECT_EQ(ReadFileBytes(settings), "savedir=D:\r\n");

    // Cancelled: nothing shown, nothing written.
    DeleteFileA(settings.c_str());
    PostCommand(dlg, IDC_BROWSE);
    ASSERT_TRUE(WaitUntil([&] { return m_object->PickCalls() == 2; }));
    Pump(200);
    EXPECT_EQ(Text(edit), "D:");
    EXPECT_FALSE(Exists(settings));

    PostCommand(dlg, IDC_BROWSE);
    ASSERT_TRUE(WaitUntil([&] { return Text(edit) == "C:\\users\\Public\\Pictures"; }));
    EXPECT_EQ(ReadFileBytes(settings), "savedir=C:\\users\\Public\\Pictures\r\n");
    EXPECT_FALSE(IsWindowEnabled(edit));
    EXPECT_TRUE(Visible(Item(dlg, IDC_NEXT)));
}

TEST_F(MainWindowTest, ReloadRefillsTheDriveList)
{
    HWND dlg = Ready();
    HWND list = Item(dlg, IDC_DRIVE_LIST);
    const int rows = RowCount(list);
    ASSERT_GT(rows, 0);
    const std::string firstDrive = CellText(list, 0, 0);

    InsertRow(list, 0, "Q:");
    InsertRow(list, 0, "R:");
    ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
    ASSERT_EQ(RowCount(list), rows + 2);

    PostCommand(dlg, IDC_RELOAD);
    ASSERT_TRUE(WaitUntil([&] { return RowCount(list) == rows && CellText(list, 0, 0) == firstDrive; }));
    EXPECT_EQ(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);
    EXPECT_TRUE(Visible(Item(dlg, IDC_NEXT)));
    EXPECT_FALSE(Visible(Item(dlg, IDC_LOADING)));
}

TEST_F(MainWindowTest, HelpWithoutHelpFileSaysSo)
{
    MessageBoxWatcher boxes;
    HWND dlg = Ready();
    PostCommand(dlg, IDC_HELP_LINK, STN_CLICKED);
    ASSERT_TRUE(boxes.WaitForCount(1));
    const SeenBox box = boxes.Seen()[0];
    EXPECT_EQ(box.caption, "Quorvane");
    EXPECT_EQ(box.text, "Help file is not found.");
    EXPECT_EQ(box.buttons, static_cast<UINT>(MB_OK));
    EXPECT_FALSE(box.icon);
    Pump(300);
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_TRUE(Visible(Item(dlg, IDC_NEXT)));
}

TEST_F(MainWindowTest, SelectAllOnAnEmptyListOnlySwitchesItsText)
{
    HWND dlg = Ready();
    HWND label = Item(dlg, IDC_SELECT_ALL);
    PostCommand(dlg, IDC_SELECT_ALL, STN_CLICKED);
    ASSERT_TRUE(WaitUntil([&] { return Text(label) == "Select All Photos"; }));
    PostCommand(dlg, IDC_SELECT_ALL, STN_CLICKED);
    ASSERT_TRUE(WaitUntil([&] { return Text(label) == "Unselect All Photos"; }));
    EXPECT_EQ(RowCount(Item(dlg, IDC_PICTURE_LIST)), 0);
}

TEST_F(MainWindowTest, IconsAndDragIconAreTheApplicationIcon)
{
    HWND dlg = Ready();
    // The program's icon, as its module gives it (a shared icon: the same
    // handle for every load).
    const HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APP));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(dlg, WM_GETICON, ICON_BIG, 0)), icon);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(dlg, WM_GETICON, ICON_SMALL, 0)), icon);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(dlg, WM_QUERYDRAGICON, 0, 0)), icon);
}

TEST_F(MainWindowTest, ControlsArePlacedAsLaidOut)
{
    HWND dlg = Ready();
    auto rect = [&](int id) {
        RECT rc;
        GetWindowRect(Item(dlg, id), &rc);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    };
    const RECT next = rect(IDC_NEXT);
    const RECT recover = rect(IDC_RECOVER);
    EXPECT_TRUE(EqualRect(&next, &recover));

    const RECT edit = rect(IDC_SAVE_DIR);
    const RECT progress = rect(IDC_PROGRESS);
    EXPECT_EQ(progress.left, next.left);
    EXPECT_EQ(progress.bottom, next.bottom + 15);
    EXPECT_EQ(progress.right - progress.left, edit.right - edit.left);

    const RECT text = rect(IDC_PROGRESS_TEXT);
    EXPECT_EQ(text.left, next.left);
    EXPECT_EQ(text.top, progress.top - 25);
    EXPECT_EQ(text.bottom, progress.top - 5);

    const RECT selectDrive = rect(IDC_SELECT_DRIVE_LABEL);
    const RECT status = rect(IDC_STATUS);
    EXPECT_EQ(status.left, selectDrive.left);
    EXPECT_EQ(status.top, 5);
    EXPECT_EQ(status.bottom - status.top, selectDrive.bottom - selectDrive.top + 5);
}

}  // namespace

namespace {

struct HelpWindows {
    std::vector<HWND> found;
};

BOOL CALLBACK CollectHelpWindows(HWND hwnd, LPARAM param)
{
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId() && lstrcmpA(cls, "HH Parent") == 0)
        reinterpret_cast<HelpWindows*>(param)->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> FindHelpWindows()
{
    HelpWindows windows;
    EnumWindows(CollectHelpWindows, reinterpret_cast<LPARAM>(&windows));
    return windows.found;
}

TEST_F(MainWindowTest, HelpWithHelpFileOpensTheViewer)
{
    ASSERT_TRUE(CopyFileA(QUORVANE_HELP_CHM, ModuleFile("help.chm").c_str(), FALSE)) << QUORVANE_HELP_CHM;
    MessageBoxWatcher boxes;
    HWND dlg = Ready();
    PostCommand(dlg, IDC_HELP_LINK, STN_CLICKED);
    // Wine's viewer opens a window even without its HTML engine.
    std::vector<HWND> help;
    ASSERT_TRUE(WaitUntil([&] {
        help = FindHelpWindows();
        return !help.empty() && IsWindowVisible(help[0]);
    }, 10000));
    EXPECT_NE(Text(help[0]).find("Quorvane"), std::string::npos);
    Pump(300);
    EXPECT_EQ(boxes.Count(), 0u);
    for (HWND w : help)
        PostMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return FindHelpWindows().empty(); }));
    EXPECT_TRUE(Visible(Item(dlg, IDC_NEXT)));
}

// F1 from the keyboard, with the focus on a control of the window, reaches
// the same command as the Help link (whose test opens the viewer with the
// help file; a viewer still open when the test ends can hold the window's
// thread under Wine, so it is opened once only).
TEST_F(MainWindowTest, F1OpensHelpLikeTheLink)
{
    MessageBoxWatcher boxes;
    HWND dlg = Ready();
    PressKey(dlg, VK_F1);
    ASSERT_TRUE(boxes.WaitForCount(1));
    EXPECT_EQ(boxes.Seen()[0].caption, "Quorvane");
    EXPECT_EQ(boxes.Seen()[0].text, "Help file is not found.");
    Pump(300);
    EXPECT_EQ(boxes.Count(), 1u);
}

}  // namespace
