// The main window's size: every view's controls follow its edges from the
// least size to maximised, and its place is kept in settings.ini for the
// next run, on a screen that is still there.
#include "AnalysisHarness.h"
#include "FolderPicker.h"
#include "PictureColumns.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <utility>
#include <vector>

using namespace analysis;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

RECT InClient(HWND dialog, HWND child)
{
    RECT rc;
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

std::vector<std::pair<int, RECT>> ShownControls(HWND dialog)
{
    std::vector<std::pair<int, RECT>> shown;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (IsWindowVisible(child))
            shown.emplace_back(GetDlgCtrlID(child), InClient(dialog, child));
    }
    return shown;
}

// No shown control leaves the client area or lies over another.
void ExpectLaidOut(HWND dialog, const char* view)
{
    RECT client;
    GetClientRect(dialog, &client);
    const auto shown = ShownControls(dialog);
    EXPECT_GE(shown.size(), 4u) << view;
    for (size_t i = 0; i < shown.size(); ++i) {
        const RECT& rc = shown[i].second;
        EXPECT_TRUE(rc.left >= 0 && rc.top >= 0 && rc.right <= client.right && rc.bottom <= client.bottom)
            << view << ": control " << shown[i].first << " leaves the window";
        for (size_t j = i + 1; j < shown.size(); ++j) {
            RECT both;
            EXPECT_FALSE(IntersectRect(&both, &rc, &shown[j].second))
                << view << ": controls " << shown[i].first << " and " << shown[j].first << " overlap";
        }
    }
}

// With QV_LOOK_MS set, the window stays as it is that long, for a person
// (or a screenshot taken from outside) to look at.
void Look()
{
    if (const char* ms = getenv("QV_LOOK_MS"))
        Pump(static_cast<DWORD>(atoi(ms)));
}

SIZE SizeOf(const RECT& rc) { return SIZE{rc.right - rc.left, rc.bottom - rc.top}; }

RECT WindowRectOf(HWND window)
{
    RECT rc;
    GetWindowRect(window, &rc);
    return rc;
}

std::string StoredPlace()
{
    const std::string text = ReadFileBytes(ModuleFile("settings.ini"));
    const size_t at = text.find("window=");
    if (at == std::string::npos)
        return "";
    return text.substr(at + 7, text.find('\r', at) - at - 7);
}

class WindowSizeTest : public WindowFixture {
protected:
    void SetUp() override
    {
        SetFormats(nullptr);
        DeleteFileA(ModuleFile("settings.ini").c_str());
    }
    void TearDown() override
    {
        WindowFixture::TearDown();
        DeleteFileA(ModuleFile("settings.ini").c_str());
    }

    void Show(int command)
    {
        PostMessageA(m_hwnd, WM_SYSCOMMAND, command, 0);
        ASSERT_TRUE(WaitUntil([&] { return (IsZoomed(m_hwnd) != FALSE) == (command == SC_MAXIMIZE); }));
        Pump(200);
    }

    EngineInstall m_engine;
    TempFolder m_files{"windowsize"};
};

TEST_F(WindowSizeTest, EveryViewFitsFromTheLeastSizeToMaximised)
{
    Open();
    const RECT opened = WindowRectOf(m_hwnd);
    const RECT drives = InClient(m_hwnd, Ctl(IDC_DRIVE_LIST));
    const RECT browse = InClient(m_hwnd, Ctl(IDC_BROWSE));
    RECT client;
    GetClientRect(m_hwnd, &client);
    ExpectLaidOut(m_hwnd, "ready");

    // The template's size is the least.
    SetWindowPos(m_hwnd, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    Pump(100);
    EXPECT_EQ(SizeOf(WindowRectOf(m_hwnd)).cx, SizeOf(opened).cx);
    EXPECT_EQ(SizeOf(WindowRectOf(m_hwnd)).cy, SizeOf(opened).cy);

    Show(SC_MAXIMIZE);
    RECT maxClient;
    GetClientRect(m_hwnd, &maxClient);
    ASSERT_GT(maxClient.right, client.right);
    ASSERT_GT(maxClient.bottom, client.bottom);
    const int dx = maxClient.right - client.right, dy = maxClient.bottom - client.bottom;
    ExpectLaidOut(m_hwnd, "ready, maximised");
    // The drive list takes the room; Browse keeps to the bottom right corner.
    const RECT bigDrives = InClient(m_hwnd, Ctl(IDC_DRIVE_LIST));
    EXPECT_EQ(bigDrives.right - bigDrives.left, drives.right - drives.left + dx);
    EXPECT_EQ(bigDrives.bottom - bigDrives.top, drives.bottom - drives.top + dy);
    const RECT bigBrowse = InClient(m_hwnd, Ctl(IDC_BROWSE));
    EXPECT_EQ(bigBrowse.left, browse.left + dx);
    EXPECT_EQ(bigBrowse.top, browse.top + dy);

    // A search that finds pictures, then waits.
    const std::string release = m_files.Join("release");
    const uint32_t colours[] = {0xD04030, 0x30A050, 0x3060D0, 0xE0C020};
    std::vector<std::string> script;
    for (int i = 0; i < 4; ++i) {
        const std::string picture = m_files.Join("p" + std::to_string(i) + ".jpg");
        ASSERT_TRUE(SavePicture(picture, 160, 120, colours[i], L"image/jpeg"));
        for (int copy = i; copy < 160; copy += 4)
            script.push_back("copy|" + picture + "|f" + std::to_string(copy) + ".jpg");
    }
    script.push_back("waitfor|" + release);
    m_engine.SetScript(script);
    SelectFirstDrive();
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(WaitUntil([&] { return Text(Ctl(IDC_RECOVER)) == "Cancel"; }));
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(Ctl(IDC_PICTURE_LIST)) == 160; }, 20000));
    Pump(300);
    ExpectLaidOut(m_hwnd, "analysing, maximised");
    Look();
    const RECT list = InClient(m_hwnd, Ctl(IDC_PICTURE_LIST));
    EXPECT_EQ(list.right, bigDrives.right);
    EXPECT_EQ(list.bottom, bigDrives.bottom + 40);

    WriteFileBytes(release, "");
    ASSERT_TRUE(WaitAnalysed());
    ExpectLaidOut(m_hwnd, "analysed, maximised");
    EXPECT_EQ(InClient(m_hwnd, Ctl(IDC_PICTURE_LIST)).bottom, bigDrives.bottom);
    // The pictures take the list's width: the second row starts further on
    // than the default width would allow.
    RECT first = {LVIR_BOUNDS, 0, 0, 0};
    RECT client0;
    GetClientRect(Ctl(IDC_PICTURE_LIST), &client0);
    ASSERT_TRUE(SendMessageA(Ctl(IDC_PICTURE_LIST), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first)));
    const int perRow = client0.right / (first.right - first.left);
    RECT rowEnd = {LVIR_BOUNDS, 0, 0, 0};
    ASSERT_TRUE(SendMessageA(Ctl(IDC_PICTURE_LIST), LVM_GETITEMRECT, perRow - 1, reinterpret_cast<LPARAM>(&rowEnd)));
    EXPECT_EQ(rowEnd.top, first.top) << perRow << " pictures a row";
    Look();

    // Back at the template's size, every control is where it began.
    Show(SC_RESTORE);
    ExpectLaidOut(m_hwnd, "analysed");
    Look();
    const RECT small = InClient(m_hwnd, Ctl(IDC_PICTURE_LIST));
    EXPECT_EQ(small.right, drives.right);
    EXPECT_EQ(small.bottom, drives.bottom);
    const RECT smallBrowse = InClient(m_hwnd, Ctl(IDC_BROWSE));
    EXPECT_TRUE(EqualRect(&smallBrowse, &browse));
    // The pictures fill the narrower rows again: none is left to the right.
    RECT smallClient;
    GetClientRect(Ctl(IDC_PICTURE_LIST), &smallClient);
    const int smallRow = smallClient.right / (first.right - first.left);
    RECT next = {LVIR_BOUNDS, 0, 0, 0};
    ASSERT_TRUE(SendMessageA(Ctl(IDC_PICTURE_LIST), LVM_GETITEMRECT, smallRow, reinterpret_cast<LPARAM>(&next)));
    RECT firstNow = {LVIR_BOUNDS, 0, 0, 0};
    ASSERT_TRUE(SendMessageA(Ctl(IDC_PICTURE_LIST), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&firstNow)));
    EXPECT_GT(next.top, firstNow.top) << smallRow << " pictures a row";
}

TEST_F(WindowSizeTest, PlaceAndMaximisedStateComeBackInTheNextRun)
{
    Open();
    const SIZE least = SizeOf(WindowRectOf(m_hwnd));
    CloseWindow();
    // Left as it opened, nothing is stored.
    EXPECT_EQ(StoredPlace(), "");

    Open();
    SetWindowPos(m_hwnd, nullptr, 60, 50, least.cx + 200, least.cy + 100, SWP_NOZORDER);
    Pump(100);
    Show(SC_MAXIMIZE);
    CloseWindow();
    char want[80];
    std::snprintf(want, sizeof want, "60,50,%ld,%ld,1", 60 + least.cx + 200, 50 + least.cy + 100);
    EXPECT_EQ(StoredPlace(), want);

    Open();
    EXPECT_TRUE(IsZoomed(m_hwnd));
    Show(SC_RESTORE);
    const RECT back = WindowRectOf(m_hwnd);
    EXPECT_EQ(back.left, 60);
    EXPECT_EQ(back.top, 50);
    EXPECT_EQ(SizeOf(back).cx, least.cx + 200);
    EXPECT_EQ(SizeOf(back).cy, least.cy + 100);
    // Every control follows the restored size.
    ExpectLaidOut(m_hwnd, "restored");
    RECT client;
    GetClientRect(m_hwnd, &client);
    const RECT help = InClient(m_hwnd, Ctl(IDC_HELP_LINK));
    EXPECT_GE(help.left, client.right - 70);
    // The save folder's line stays beside the place.
    CloseWindow();
    EXPECT_EQ(StoredPlace(), "60,50," + std::to_string(60 + least.cx + 200) + "," +
                                 std::to_string(50 + least.cy + 100) + ",0");
}

TEST_F(WindowSizeTest, PlaceOnAScreenThatIsGoneOrUnreadableIsNotUsed)
{
    Open();
    const RECT opened = WindowRectOf(m_hwnd);
    CloseWindow();

    for (const char* stored : {"-9000,-9000,-8000,-8400,0", "30000,200,31000,900,1", "60,50,80,70,2",
                               "60,50,x,900,0", "60,50,1000,900", "60,50,1000,900,0,"}) {
        WriteFileBytes(ModuleFile("settings.ini"), "savedir=C:\\Pics\r\nwindow=" + std::string(stored) + "\r\n");
        Open();
        const RECT rc = WindowRectOf(m_hwnd);
        EXPECT_FALSE(IsZoomed(m_hwnd)) << stored;
        EXPECT_TRUE(EqualRect(&rc, &opened)) << stored;
        CloseWindow();
        // Left where it opened: the stored line is not rewritten.
        EXPECT_EQ(StoredPlace(), stored);
        EXPECT_NE(ReadFileBytes(ModuleFile("settings.ini")).find("savedir=C:\\Pics\r\n"), std::string::npos);
    }

    // A place smaller than the least grows to it.
    WriteFileBytes(ModuleFile("settings.ini"), "window=40,30,140,90,0\r\n");
    Open();
    const RECT grown = WindowRectOf(m_hwnd);
    EXPECT_EQ(grown.left, 40);
    EXPECT_EQ(grown.top, 30);
    EXPECT_EQ(SizeOf(grown).cx, SizeOf(opened).cx);
    EXPECT_EQ(SizeOf(grown).cy, SizeOf(opened).cy);
}

// Every shown text of the window (the filter bar's too) whole in its
// control, measured in the font the control draws with. Run on the
// window's thread: the labels' fonts are their own.
void ExpectTextsFit(HWND dialog, const char* view)
{
    std::vector<HWND> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        controls.push_back(child);
        RECT room;
        GetClientRect(child, &room);
        for (HWND inner = GetWindow(child, GW_CHILD); inner; inner = GetWindow(inner, GW_HWNDNEXT)) {
            controls.push_back(inner);
            // Nothing of a bar of controls is cut off at its edges.
            RECT rc = InClient(child, inner);
            if (IsWindowVisible(inner)) {
                EXPECT_TRUE(rc.left >= 0 && rc.top >= 0 && rc.right <= room.right && rc.bottom <= room.bottom)
                    << view << ": control " << GetDlgCtrlID(inner) << " leaves " << GetDlgCtrlID(child);
            }
        }
    }
    for (HWND control : controls) {
        if (!IsWindowVisible(control))
            continue;
        char cls[32] = {};
        GetClassNameA(control, cls, sizeof cls);
        std::string text = Text(control);
        const bool combo = lstrcmpiA(cls, "ComboBox") == 0;
        if (combo) {
            const LRESULT at = SendMessageA(control, CB_GETCURSEL, 0, 0);
            char entry[256] = {};
            if (at >= 0 && SendMessageA(control, CB_GETLBTEXTLEN, at, 0) < 255)
                SendMessageA(control, CB_GETLBTEXT, at, reinterpret_cast<LPARAM>(entry));
            text = entry;
        }
        if (text.empty() || lstrcmpiA(cls, "Edit") == 0)
            continue;
        HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
        if (const auto* label = dynamic_cast<const CLinkLabel*>(CWnd::FromHandlePermanent(control)))
            font = label->GetLabelFont();
        RECT rc;
        GetClientRect(control, &rc);
        HDC dc = GetDC(control);
        HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(SYSTEM_FONT));
        RECT needed = rc;
        const bool button = lstrcmpiA(cls, "Button") == 0;
        const LONG style = GetWindowLongA(control, GWL_STYLE);
        const LONG type = style & BS_TYPEMASK;
        const bool box = button && (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX || type == BS_AUTORADIOBUTTON);
        // Room the control itself takes: a tick box's box, a list's arrow.
        int taken = 0;
        if (box)
            taken = GetSystemMetrics(SM_CXMENUCHECK) + 2;
        if (combo)
            taken = GetSystemMetrics(SM_CXVSCROLL) + 4;
        needed.right -= taken;
        DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT | ((button || combo) ? DT_SINGLELINE : DT_WORDBREAK));
        SelectObject(dc, old);
        ReleaseDC(control, dc);
        EXPECT_LE(needed.right - needed.left + taken, rc.right - rc.left)
            << view << ": \"" << text << "\" is cut off at the right";
        // The last line's cell may reach a pixel past the bottom: that row
        // is the font's room below its descenders (the template's labels
        // are that pixel short at 96 dots per inch too).
        EXPECT_LE(needed.bottom - needed.top, rc.bottom - rc.top + 1)
            << view << ": \"" << text << "\" is cut off below";
    }
}

int ThumbnailSide(HWND list)
{
    int cx = 0, cy = 0;
    ImageList_GetIconSize(ListView_GetImageList(list, LVSIL_NORMAL), &cx, &cy);
    return cx == cy ? cx : -1;
}

LONG FontHeight(HWND label)
{
    const auto* link = dynamic_cast<const CLinkLabel*>(CWnd::FromHandlePermanent(label));
    return link ? -link->GetLogFont().lfHeight : 0;
}

// Windows says the window is now on a screen of 144 dots per inch (150%), as
// it does when the window moves to such a monitor or the setting changes:
// everything grows by half, the views still fit and every text shows whole.
TEST_F(WindowSizeTest, OnAScreenOf144DotsPerInchEveryViewFitsAndEveryTextShows)
{
    Open();
    Dlg().RunOnUi([&] { ExpectTextsFit(m_hwnd, "ready"); });
    const RECT opened = WindowRectOf(m_hwnd);
    const RECT drives = InClient(m_hwnd, Ctl(IDC_DRIVE_LIST));
    RECT client;
    GetClientRect(m_hwnd, &client);
    const LONG linkHeight = FontHeight(Ctl(IDC_SETTINGS_LINK));
    ASSERT_GT(linkHeight, 0);
    const HWND pictures = Ctl(IDC_PICTURE_LIST);
    EXPECT_EQ(ThumbnailSide(pictures), 64);

    const UINT dpi = 96 * 3 / 2;
    RECT suggested = opened;
    suggested.right = opened.left + SizeOf(opened).cx * 3 / 2;
    suggested.bottom = opened.top + SizeOf(opened).cy * 3 / 2;
    SendMessageA(m_hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    Pump(200);
    const RECT now = WindowRectOf(m_hwnd);
    // (The least size, scaled too, may round a pixel above it.)
    EXPECT_NEAR(SizeOf(now).cx, SizeOf(suggested).cx, 1);
    EXPECT_NEAR(SizeOf(now).cy, SizeOf(suggested).cy, 1);
    // Everything half as large again: the lists, the fonts, the least size.
    // The frame stays as it was: the client area gains its share too, and
    // the drive list, which takes the room, with it.
    RECT bigClient;
    GetClientRect(m_hwnd, &bigClient);
    const int moreX = bigClient.right - client.right * 3 / 2, moreY = bigClient.bottom - client.bottom * 3 / 2;
    const RECT bigDrives = InClient(m_hwnd, Ctl(IDC_DRIVE_LIST));
    EXPECT_NEAR(SizeOf(bigDrives).cx, SizeOf(drives).cx * 3 / 2 + moreX, 3);
    EXPECT_NEAR(SizeOf(bigDrives).cy, SizeOf(drives).cy * 3 / 2 + moreY, 3);
    EXPECT_NEAR(FontHeight(Ctl(IDC_SETTINGS_LINK)), linkHeight * 3 / 2, 1);
    SetWindowPos(m_hwnd, nullptr, 0, 0, SizeOf(opened).cx, SizeOf(opened).cy, SWP_NOMOVE | SWP_NOZORDER);
    Pump(100);
    EXPECT_NEAR(SizeOf(WindowRectOf(m_hwnd)).cx, SizeOf(suggested).cx, 2);
    ExpectLaidOut(m_hwnd, "ready at 144");
    Dlg().RunOnUi([&] { ExpectTextsFit(m_hwnd, "ready at 144"); });
    Look();

    // The found pictures, with the filter bar.
    const std::string picture = m_files.Join("p.jpg");
    ASSERT_TRUE(SavePicture(picture, 160, 120, 0x30A050, L"image/jpeg"));
    std::vector<std::string> script;
    for (int i = 0; i < 12; ++i)
        script.push_back("copy|" + picture + "|f" + std::to_string(i) + ".jpg");
    m_engine.SetScript(script);
    SelectFirstDrive();
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(WaitAnalysed());
    Pump(300);
    ExpectLaidOut(m_hwnd, "analysed at 144");
    Dlg().RunOnUi([&] { ExpectTextsFit(m_hwnd, "analysed at 144"); });
    // The thumbnails' boxes half as large again, and the pictures laid out
    // in cells that hold them; Ctrl + wheel's medium box likewise.
    const auto expectBoxes = [&](int side, const char* size) {
        EXPECT_EQ(ThumbnailSide(pictures), side) << size;
        RECT first = {LVIR_ICON, 0, 0, 0}, second = {LVIR_ICON, 0, 0, 0};
        ASSERT_TRUE(SendMessageA(pictures, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first))) << size;
        ASSERT_TRUE(SendMessageA(pictures, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second))) << size;
        EXPECT_GE(first.right - first.left, side) << size;
        EXPECT_TRUE(second.left - first.left >= side || second.top - first.top >= side)
            << size << ": " << first.left << "," << first.top << " " << second.left << "," << second.top;
        const DWORD spacing = static_cast<DWORD>(SendMessageA(pictures, LVM_GETITEMSPACING, FALSE, 0));
        EXPECT_GE(static_cast<int>(LOWORD(spacing)), side) << size;
        EXPECT_LT(static_cast<int>(LOWORD(spacing)), 2 * side) << size;
    };
    expectBoxes(96, "small at 144");
    PostMessageA(pictures, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WHEEL_DELTA), MAKELPARAM(50, 50));
    EXPECT_TRUE(WaitUntil([&] { return ThumbnailSide(pictures) == 192; }));
    Pump(200);
    expectBoxes(192, "medium at 144");
    Look();
    PostMessageA(pictures, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(50, 50));
    EXPECT_TRUE(WaitUntil([&] { return ThumbnailSide(pictures) == 96; }));

    // The details' columns half as wide again, as their texts are.
    HWND views = ComboWithEntry(FilterBar(m_hwnd), "Details");
    ASSERT_NE(views, nullptr);
    ChooseEntry(views, static_cast<int>(SendMessageA(views, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                     reinterpret_cast<LPARAM>("Details"))));
    ASSERT_TRUE(WaitUntil([&] { return (GetWindowLongA(pictures, GWL_STYLE) & LVS_TYPEMASK) == LVS_REPORT; }));
    for (int column : {kColumnName, kColumnDate})
        EXPECT_EQ(ListView_GetColumnWidth(pictures, column), ColumnWidth(column) * 3 / 2) << ColumnTitle(column);
    Look();
}

// On a screen too small for the window's least size at its resolution
// (four times the template's at 384 dots per inch), maximised it takes the
// screen and no more: the bottom row, Next and the save folder, is on it.
TEST_F(WindowSizeTest, MaximisedOnAScreenSmallerThanTheLeastSizeTheBottomRowShows)
{
    Open();
    const RECT opened = WindowRectOf(m_hwnd);
    const UINT dpi = 96 * 4;
    RECT suggested = opened;
    suggested.right = opened.left + SizeOf(opened).cx * 4;
    suggested.bottom = opened.top + SizeOf(opened).cy * 4;
    SendMessageA(m_hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    Pump(200);
    Show(SC_MAXIMIZE);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromWindow(m_hwnd, MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT& screen = monitor.rcMonitor;
    RECT client;
    GetClientRect(m_hwnd, &client);
    MapWindowPoints(m_hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
    EXPECT_LE(client.right, screen.right);
    EXPECT_LE(client.bottom, screen.bottom);
    for (int id : {IDC_NEXT, IDC_BROWSE, IDC_SAVE_DIR}) {
        RECT rc;
        GetWindowRect(Ctl(id), &rc);
        EXPECT_LE(rc.bottom, screen.bottom) << "control " << id;
        EXPECT_LE(rc.bottom, client.bottom) << "control " << id;
    }
    Look();
}

}  // namespace

namespace {

// Browse's picker is Windows' own file dialog choosing folders, opened at the
// save folder; cancelled, nothing is chosen.
TEST(FolderPicker, OpensAtTheStartFolderAndCancelChoosesNothing)
{
    const std::string start = std::string(GetModuleFolder().GetString());
    bool picked = true;
    std::atomic<bool> finished{false};
    std::thread picker([&] {
        CString path;
        picked = PickFolderFrom(nullptr, start.substr(0, start.size() - 1).c_str(), path);
        finished = true;
    });
    HWND dialog = nullptr;
    EXPECT_TRUE(WaitUntil([&] {
        dialog = FindTopWindow(GetCurrentProcessId(), [](HWND w) {
            char cls[64] = {};
            GetClassNameA(w, cls, sizeof cls);
            return IsWindowVisible(w) && std::string(cls) == "#32770";
        });
        return dialog != nullptr;
    }, 10000));
    Look();
    if (dialog)
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitUntil([&] { return finished.load(); }, 10000));
    picker.join();
    EXPECT_FALSE(picked);
}

}  // namespace
