// The main window from the keyboard: Tab goes through every command in the
// order the window lays them out, Alt with a command's letter presses it,
// Space and Enter open a link with the focus, Ctrl+A ticks the pictures shown.
#include "AnalysisHarness.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace analysis;

namespace {

class KeyboardTest : public WindowFixture {
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

    HWND Focus()
    {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(m_ui->ThreadId(), &info) ? info.hwndFocus : nullptr;
    }

    // The window's own control that holds the focus (the filter bar for a
    // control inside it), or null.
    HWND FocusedControl()
    {
        HWND focus = Focus();
        while (focus && GetParent(focus) != m_hwnd)
            focus = GetParent(focus);
        return focus;
    }

    // The keyboard's focus on control, in the window in the foreground.
    void FocusOn(HWND control)
    {
        SetForegroundWindow(m_hwnd);
        WaitUntil([&] { return GetForegroundWindow() == m_hwnd; }, 2000);
        Dlg().RunOnUi([&] { ::SetFocus(control); });
        EXPECT_TRUE(WaitUntil([&] { return Focus() == control; })) << GetDlgCtrlID(control);
    }

    // Tab pressed from the first control until the focus comes back to it:
    // the window's controls in the order Tab reaches them, one entry for all
    // the stops inside the filter bar.
    std::vector<HWND> TabRound(HWND first)
    {
        FocusOn(first);
        std::vector<HWND> round = {first};
        for (int presses = 0; presses < 60; ++presses) {
            const HWND before = Focus();
            PressKey(m_hwnd, VK_TAB);
            if (!WaitUntil([&] { return Focus() != before; }, 3000))
                break;
            const HWND now = FocusedControl();
            if (now == first)
                return round;
            if (round.back() != now)
                round.push_back(now);
        }
        ADD_FAILURE() << "Tab never came back to the first control";
        return round;
    }

    // Every shown, enabled tab stop of the window (the filter bar as one).
    std::vector<HWND> TabStops()
    {
        std::vector<HWND> stops;
        for (HWND child = GetWindow(m_hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            const LONG style = GetWindowLongA(child, GWL_STYLE);
            const bool container = (GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0;
            if ((style & WS_VISIBLE) && !(style & WS_DISABLED) && ((style & WS_TABSTOP) || container))
                stops.push_back(child);
        }
        std::sort(stops.begin(), stops.end());
        return stops;
    }

    void SearchSixPictures()
    {
        const std::string picture = m_files.Join("p.jpg");
        ASSERT_TRUE(SavePicture(picture, 160, 120, 0x3060D0, L"image/jpeg"));
        std::vector<std::string> script;
        for (int i = 0; i < 6; ++i)
            script.push_back("copy|" + picture + "|f" + std::to_string(i) + ".jpg");
        m_engine.SetScript(script);
        SelectFirstDrive();
        PostCommand(m_hwnd, IDC_NEXT);
        ASSERT_TRUE(WaitAnalysed());
        ASSERT_TRUE(WaitUntil([&] { return ItemCount(Ctl(IDC_PICTURE_LIST)) == 6; }));
    }

    int Ticked()
    {
        int ticked = 0;
        for (int i = 0; i < ItemCount(Ctl(IDC_PICTURE_LIST)); ++i)
            ticked += (SendMessageA(Ctl(IDC_PICTURE_LIST), LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK) >> 12) == 2;
        return ticked;
    }

    void PressWith(WORD modifier, WORD key)
    {
        SetForegroundWindow(m_hwnd);
        WaitUntil([&] { return GetForegroundWindow() == m_hwnd; }, 2000);
        INPUT keys[4] = {};
        for (INPUT& input : keys)
            input.type = INPUT_KEYBOARD;
        keys[0].ki.wVk = modifier;
        keys[1].ki.wVk = key;
        keys[2].ki.wVk = key;
        keys[2].ki.dwFlags = KEYEVENTF_KEYUP;
        keys[3].ki.wVk = modifier;
        keys[3].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(4, keys, sizeof(INPUT));
    }

    EngineInstall m_engine;
    TempFolder m_files{"keyboard"};
};

std::vector<HWND> Sorted(std::vector<HWND> controls)
{
    std::sort(controls.begin(), controls.end());
    return controls;
}

TEST_F(KeyboardTest, TabReachesEveryCommandInLayoutOrder)
{
    Open();
    // The drive selection: the top row, the drives, the save folder's row
    // and Next (the save folder's box is greyed: only Browse changes it).
    std::vector<HWND> expected = {Ctl(IDC_RELOAD),     OpenCopy(m_hwnd), Ctl(IDC_SETTINGS_LINK), Ctl(IDC_HELP_LINK),
                                  Ctl(IDC_DRIVE_LIST), Ctl(IDC_BROWSE),  Ctl(IDC_NEXT)};
    // The last search's link, after Next in its row, when an earlier test
    // left a search to show; then the copy of the disk's row below.
    if (Visible(Ctl(IDC_LAST_SEARCH)))
        expected.push_back(Ctl(IDC_LAST_SEARCH));
    expected.push_back(CopyCheck(m_hwnd));
    expected.push_back(CopyBrowse(m_hwnd));
    const std::vector<HWND> ready = TabRound(Ctl(IDC_RELOAD));
    EXPECT_EQ(ready, expected);
    EXPECT_EQ(Sorted(ready), TabStops());

    SearchSixPictures();
    // The found pictures: the links at the top, select all, the filter
    // bar, the pictures, the save folder's row, then the buttons' row.
    const std::vector<HWND> analysed = TabRound(Ctl(IDC_SETTINGS_LINK));
    EXPECT_EQ(analysed, (std::vector<HWND>{Ctl(IDC_SETTINGS_LINK), Ctl(IDC_HELP_LINK), Ctl(IDC_SELECT_ALL),
                                           FilterBar(m_hwnd), Ctl(IDC_PICTURE_LIST), Ctl(IDC_BROWSE),
                                           Ctl(IDC_RECOVER), Ctl(IDC_NEW_SEARCH), ArrangementBox(m_hwnd)}));
    EXPECT_EQ(Sorted(analysed), TabStops());
}

TEST_F(KeyboardTest, AltLetterSpaceAndCtrlAWorkTheCommands)
{
    Open();
    SearchSixPictures();
    HWND label = Ctl(IDC_SELECT_ALL);
    ASSERT_EQ(Text(label), "Unselect All Photos");
    ASSERT_EQ(Ticked(), 6);

    // Alt+A is the select-all link's letter, as a click.
    PressWith(VK_MENU, 'A');
    ASSERT_TRUE(WaitUntil([&] { return Text(label) == "Select All Photos"; }));
    EXPECT_EQ(Ticked(), 0);

    // Space on the link with the focus, as a click.
    FocusOn(label);
    PressKey(m_hwnd, VK_SPACE);
    ASSERT_TRUE(WaitUntil([&] { return Text(label) == "Unselect All Photos"; }));
    EXPECT_EQ(Ticked(), 6);

    // Ctrl+A in the list ticks every picture shown, whatever their ticks,
    // and leaves the label offering to untick.
    PressWith(VK_MENU, 'A');
    ASSERT_TRUE(WaitUntil([&] { return Ticked() == 0; }));
    FocusOn(Ctl(IDC_PICTURE_LIST));
    PressWith(VK_CONTROL, 'A');
    ASSERT_TRUE(WaitUntil([&] { return Ticked() == 6; }));
    EXPECT_EQ(Text(label), "Unselect All Photos");
    PressWith(VK_CONTROL, 'A');
    Pump(300);
    EXPECT_EQ(Ticked(), 6);

    // Letters of commands the view does not show press nothing: Next's.
    PressWith(VK_MENU, 'N');
    Pump(300);
    EXPECT_TRUE(Analysed());
}

// The keyboard starts at the drives. Next pressed there, by its letter,
// takes the drive list away: the keyboard goes on to the pictures that
// take its place, not back to the first link of the window.
TEST_F(KeyboardTest, TheKeyboardStartsAtTheDrivesAndGoesOnToThePictures)
{
    Open();
    SetForegroundWindow(m_hwnd);
    WaitUntil([&] { return GetForegroundWindow() == m_hwnd; }, 2000);
    EXPECT_TRUE(WaitUntil([&] { return FocusedControl() == Ctl(IDC_DRIVE_LIST); }))
        << "the keyboard starts at control " << GetDlgCtrlID(FocusedControl());

    const std::string picture = m_files.Join("p.jpg");
    ASSERT_TRUE(SavePicture(picture, 160, 120, 0x3060D0, L"image/jpeg"));
    const std::string release = m_files.Join("release");
    m_engine.SetScript({"copy|" + picture + "|f0.jpg", "waitfor|" + release});
    FocusOn(Ctl(IDC_DRIVE_LIST));
    PressKey(m_hwnd, VK_HOME);
    ASSERT_TRUE(WaitUntil([&] { return ListView_GetNextItem(Ctl(IDC_DRIVE_LIST), -1, LVNI_SELECTED) == 0; }));
    PressWith(VK_MENU, 'N');
    ASSERT_TRUE(WaitUntil([&] { return Text(Ctl(IDC_RECOVER)) == "Cancel"; }));
    Pump(300);
    EXPECT_EQ(FocusedControl(), Ctl(IDC_PICTURE_LIST)) << "the keyboard is at control " << GetDlgCtrlID(FocusedControl());
    WriteFileBytes(release, "");
    ASSERT_TRUE(WaitAnalysed());
    EXPECT_EQ(FocusedControl(), Ctl(IDC_PICTURE_LIST));
}

}  // namespace
