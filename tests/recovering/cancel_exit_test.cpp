// Cancel and close around a running engine (the scripted test engine), and
// many stops at moments around the engine's own end.
#include "AnalysisHarness.h"

using namespace analysis;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

const char kCancelQuestion[] = "Quorvane is currently analyzing disk, are you sure you want to cancel?";
const char kExitQuestion[] = "Quorvane is currently analyzing disk, are you sure you want to exist?";
const char kUnrecoveredQuestion2[] =
    "2 pictures were found and have not been recovered.\n\n"
    "They are kept until the next search: when Quorvane starts again, they can be shown again without "
    "searching the disk.\n\n"
    "Close Quorvane?";

// The message box open on the thread, if any (not answered by a watcher).
HWND OpenBox(DWORD thread)
{
    struct Find {
        static BOOL CALLBACK Each(HWND hwnd, LPARAM found)
        {
            char cls[16] = {};
            GetClassNameA(hwnd, cls, sizeof cls);
            if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(hwnd) && GetDlgItem(hwnd, 0xFFFF) != nullptr) {
                *reinterpret_cast<HWND*>(found) = hwnd;
                return FALSE;
            }
            return TRUE;
        }
    };
    HWND found = nullptr;
    EnumThreadWindows(thread, Find::Each, reinterpret_cast<LPARAM>(&found));
    return found;
}

class CancelExitTest : public WindowFixture {
protected:
    void SetUp() override
    {
        SetFormats(nullptr);
        m_engine = std::make_unique<EngineInstall>();
        m_pics = std::make_unique<TempFolder>("pics");
        for (int i = 0; i < 3; ++i) {
            m_pic.push_back(m_pics->Join("p" + std::to_string(i) + ".png"));
            ASSERT_TRUE(SavePicture(m_pic.back(), 20 + i, 16, 0x204080u * (i + 1), L"image/png"));
        }
    }
    void TearDown() override
    {
        WindowFixture::TearDown();
        KillEngines();
        m_engine.reset();
        m_pics.reset();
    }

    // Next on the first drive; waits for the engine to have started.
    void StartAnalysis()
    {
        SelectFirstDrive();
        PostCommand(m_hwnd, IDC_NEXT);
        ASSERT_TRUE(WaitUntil([&] { return m_engine->Started(); }, 15000));
        ASSERT_EQ(Text(Ctl(IDC_RECOVER)), "Cancel");
    }

    static void KillEngines()
    {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
            if (lstrcmpiA(entry.szExeFile, "photo.exe") != 0)
                continue;
            HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
            if (process) {
                TerminateProcess(process, 0);
                CloseHandle(process);
            }
        }
        CloseHandle(snapshot);
        WaitUntil([] { return EngineProcesses() == 0; }, 10000);
    }

    // No engine left, and the window no longer shows a search to cancel.
    bool EngineStopped() { return EngineProcesses() == 0 && Text(Ctl(IDC_RECOVER)) != "Cancel"; }

    std::string Marker(const char* name) const { return m_pics->Join(name); }

    std::unique_ptr<EngineInstall> m_engine;
    std::unique_ptr<TempFolder> m_pics;
    std::vector<std::string> m_pic;
};

TEST_F(CancelExitTest, CancelAnsweredNoLeavesTheAnalysisRunning)
{
    MessageBoxWatcher boxes;
    m_engine->SetScript({"forever"});
    Open();
    StartAnalysis();

    PostCommand(m_hwnd, IDC_RECOVER);
    ASSERT_TRUE(boxes.WaitForCount(1));
    const SeenBox box = boxes.Seen()[0];
    EXPECT_EQ(box.caption, "Confirm");
    EXPECT_EQ(box.text, kCancelQuestion);
    EXPECT_EQ(box.buttons, static_cast<UINT>(MB_YESNO));
    EXPECT_TRUE(box.icon);
    Pump(600);
    EXPECT_EQ(EngineProcesses(), 1);
    EXPECT_EQ(Text(Ctl(IDC_RECOVER)), "Cancel");
    EXPECT_EQ(Text(Ctl(IDC_PROGRESS_TEXT)), kTip);
    EXPECT_FALSE(Visible(Ctl(IDC_SELECT_ALL)));
}

TEST_F(CancelExitTest, CancelKeepsThePicturesAsTickedAndEndsTheEngine)
{
    MessageBoxWatcher boxes;
    m_engine->SetScript({"copy|" + m_pic[0] + "|a.png", "copy|" + m_pic[1] + "|b.png", "forever"});
    Open();
    StartAnalysis();
    HWND list = Ctl(IDC_PICTURE_LIST);
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(list) == 2; }, 15000));
    ASSERT_TRUE(ClickTickBox(list, 0));
    ASSERT_TRUE(WaitUntil([&] { return !Ticked(list, 0); }));

    boxes.Answer(IDYES);
    PostCommand(m_hwnd, IDC_RECOVER);
    ASSERT_TRUE(boxes.WaitForCount(1));
    ASSERT_TRUE(WaitAnalysed());
    EXPECT_TRUE(WaitUntil([] { return EngineProcesses() == 0; }, 5000));
    EXPECT_TRUE(EngineStopped());
    EXPECT_TRUE(IsWindowEnabled(Ctl(IDC_SELECT_ALL)));
    EXPECT_EQ(Text(Ctl(IDC_SELECT_ALL)), "Unselect All Photos");
    Pump(800);
    ASSERT_EQ(ItemCount(list), 2);
    EXPECT_FALSE(Ticked(list, 0));
    EXPECT_TRUE(Ticked(list, 1));
    EXPECT_EQ(boxes.Count(), 1u);
}

TEST_F(CancelExitTest, CancelBeforeAnyPictureGivesAnEmptyAnalysedView)
{
    MessageBoxWatcher boxes;
    m_engine->SetScript({"forever"});
    Open();
    StartAnalysis();
    boxes.Answer(IDYES);
    PostCommand(m_hwnd, IDC_RECOVER);
    ASSERT_TRUE(WaitAnalysed());
    EXPECT_EQ(ItemCount(Ctl(IDC_PICTURE_LIST)), 0);
    EXPECT_FALSE(IsWindowEnabled(Ctl(IDC_SELECT_ALL)));
    EXPECT_TRUE(WaitUntil([] { return EngineProcesses() == 0; }, 5000));
}

// The engine's last file lands just before the cancel; whatever the monitor
// was doing at that moment, the file is still taken in.
TEST_F(CancelExitTest, FilesWrittenJustBeforeTheCancelAreStillTakenIn)
{
    MessageBoxWatcher boxes;
    m_engine->SetScript({"copy|" + m_pic[0] + "|a.png", "waitfor|" + Marker("go"), "copy|" + m_pic[1] + "|b.png",
                         "copy|" + m_pic[2] + "|c.png", "mark|" + Marker("done"), "forever"});
    Open();
    StartAnalysis();
    HWND list = Ctl(IDC_PICTURE_LIST);
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(list) == 1; }, 15000));
    WriteFileBytes(Marker("go"), "");
    ASSERT_TRUE(WaitUntil([&] { return Exists(Marker("done")); }, 10000));

    boxes.Answer(IDYES);
    PostCommand(m_hwnd, IDC_RECOVER);
    ASSERT_TRUE(boxes.WaitForCount(1));
    EXPECT_TRUE(WaitUntil([&] { return ItemCount(list) == 3 && Analysed(); }, 15000));
    EXPECT_TRUE(EngineStopped());
    // Pressing Recover while that last pass still runs is refused politely;
    // after it the copy goes through.
}

TEST_F(CancelExitTest, CloseDuringAnalysisAsksFirst)
{
    MessageBoxWatcher boxes;
    m_engine->SetScript({"copy|" + m_pic[0] + "|a.png", "forever"});
    Open();
    StartAnalysis();
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(Ctl(IDC_PICTURE_LIST)) == 1; }, 15000));

    PostMessageA(m_hwnd, WM_CLOSE, 0, 0);
    ASSERT_TRUE(boxes.WaitForCount(1));
    EXPECT_EQ(boxes.Seen()[0].caption, "Confirm");
    EXPECT_EQ(boxes.Seen()[0].text, kExitQuestion);
    EXPECT_EQ(boxes.Seen()[0].buttons, static_cast<UINT>(MB_YESNO));
    EXPECT_TRUE(boxes.Seen()[0].icon);
    Pump(500);
    EXPECT_TRUE(IsWindow(m_hwnd));
    EXPECT_FALSE(m_ui->Finished());
    EXPECT_EQ(EngineProcesses(), 1);

    boxes.Answer(IDYES);
    PostMessageA(m_hwnd, WM_CLOSE, 0, 0);
    ASSERT_TRUE(m_ui->WaitFinished(15000));
    m_ui.reset();
    EXPECT_TRUE(WaitUntil([] { return EngineProcesses() == 0; }, 5000));
    EXPECT_EQ(boxes.Count(), 2u);
}

// After a search the finds not recovered are what closing would leave:
// the question says how many and that they are kept, No is its default
// and keeps the window, Yes ends it.
TEST_F(CancelExitTest, CloseAfterASearchAsksAboutTheFindsNotRecovered)
{
    m_engine->SetScript({"copy|" + m_pic[0] + "|a.png", "copy|" + m_pic[1] + "|b.png"});
    Open();
    StartAnalysis();
    ASSERT_TRUE(WaitAnalysed());
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(Ctl(IDC_PICTURE_LIST)) == 2; }));

    for (const int answer : {IDNO, IDYES}) {
        PostMessageA(m_hwnd, WM_CLOSE, 0, 0);
        HWND box = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (box = OpenBox(m_ui->ThreadId())) != nullptr; }));
        EXPECT_EQ(Text(box), "Confirm");
        EXPECT_EQ(Text(GetDlgItem(box, 0xFFFF)), kUnrecoveredQuestion2);
        ASSERT_NE(GetDlgItem(box, IDYES), nullptr);
        ASSERT_NE(GetDlgItem(box, IDNO), nullptr);
        EXPECT_EQ(GetWindowLongA(GetDlgItem(box, IDNO), GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
        if (answer == IDNO) {
            ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
            Pump(300);
            EXPECT_FALSE(m_ui->Finished());
            EXPECT_TRUE(Analysed());
            EXPECT_EQ(ItemCount(Ctl(IDC_PICTURE_LIST)), 2);
        }
    }
    ASSERT_TRUE(m_ui->WaitFinished(15000));
    m_ui.reset();
    EXPECT_EQ(EngineProcesses(), 0);
    // The finds stay where the engine wrote them.
    EXPECT_TRUE(Exists(DataFolder()));
}

// Nothing found, nothing to lose: closing asks nothing.
TEST_F(CancelExitTest, CloseAfterASearchThatFoundNothingAsksNothing)
{
    MessageBoxWatcher boxes;
    m_engine->SetScript({});
    Open();
    StartAnalysis();
    ASSERT_TRUE(WaitAnalysed());
    PostMessageA(m_hwnd, WM_CLOSE, 0, 0);
    ASSERT_TRUE(m_ui->WaitFinished(15000));
    m_ui.reset();
    EXPECT_EQ(boxes.Count(), 0u);
}

// Escape during a search is the Cancel button: its question, No goes on,
// Yes stops the engine and keeps the window with what was found.
TEST_F(CancelExitTest, EscapeDuringASearchIsCancel)
{
    MessageBoxWatcher boxes;
    m_engine->SetScript({"copy|" + m_pic[0] + "|a.png", "forever"});
    Open();
    StartAnalysis();
    HWND list = Ctl(IDC_PICTURE_LIST);
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(list) == 1; }, 15000));

    Dlg().RunOnUi([&] { ::SetFocus(list); });
    PressKey(m_hwnd, VK_ESCAPE);
    ASSERT_TRUE(boxes.WaitForCount(1));
    EXPECT_EQ(boxes.Seen()[0].caption, "Confirm");
    EXPECT_EQ(boxes.Seen()[0].text, kCancelQuestion);
    Pump(500);
    EXPECT_FALSE(m_ui->Finished());
    EXPECT_EQ(EngineProcesses(), 1);
    EXPECT_EQ(Text(Ctl(IDC_RECOVER)), "Cancel");

    boxes.Answer(IDYES);
    Dlg().RunOnUi([&] { ::SetFocus(list); });
    PressKey(m_hwnd, VK_ESCAPE);
    ASSERT_TRUE(boxes.WaitForCount(2));
    EXPECT_EQ(boxes.Seen()[1].text, kCancelQuestion);
    ASSERT_TRUE(WaitAnalysed());
    EXPECT_TRUE(WaitUntil([] { return EngineProcesses() == 0; }, 5000));
    EXPECT_TRUE(EngineStopped());
    EXPECT_FALSE(m_ui->Finished());
    EXPECT_EQ(ItemCount(list), 1);

    // Afterwards Escape does nothing at all.
    Dlg().RunOnUi([&] { ::SetFocus(list); });
    PressKey(m_hwnd, VK_ESCAPE);
    Pump(500);
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_TRUE(Analysed());
}

// However the window ends during a search, the engine is stopped and waited
// for before the window object goes.
TEST_F(CancelExitTest, EveryEndOfTheWindowStopsTheEngine)
{
    enum Road { CloseBox, AltF4, EndSession, Quit, ProgramEnd };
    const std::pair<Road, const char*> roads[] = {{CloseBox, "close box"},
                                                 {AltF4, "Alt+F4"},
                                                 {EndSession, "end of the session"},
                                                 {Quit, "quit of the message loop"},
                                                 {ProgramEnd, "program's end"}};
    m_engine->SetScript({"copy|" + m_pic[0] + "|a.png", "forever"});
    for (const auto& road : roads) {
        SCOPED_TRACE(road.second);
        MessageBoxWatcher boxes;
        std::atomic<bool> destroyed{false};
        m_ui = std::make_unique<UiThread>([&] {
            {
                TestDlg dlg;
                dlg.disks = &m_disks;
                m_dlg = &dlg;
                dlg.DoModal();
                m_dlg = nullptr;
            }
            destroyed = true;
        });
        m_hwnd = m_ui->WaitForWindow("Quorvane");
        ASSERT_NE(m_hwnd, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return Visible(Item(m_hwnd, IDC_NEXT)); }, 10000));
        m_engine->ForgetArgs();
        StartAnalysis();
        ASSERT_TRUE(WaitUntil([&] { return ItemCount(Ctl(IDC_PICTURE_LIST)) == 1; }, 15000));

        size_t questions = 0;
        switch (road.first) {
        case CloseBox:
            boxes.Answer(IDYES);
            PostMessageA(m_hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            questions = 1;
            break;
        case AltF4:
            boxes.Answer(IDYES);
            Dlg().RunOnUi([&] { ::SetFocus(Ctl(IDC_PICTURE_LIST)); });
            SetForegroundWindow(m_hwnd);
            WaitUntil([&] { return GetForegroundWindow() == m_hwnd; }, 2000);
            {
                INPUT keys[4] = {};
                for (INPUT& key : keys)
                    key.type = INPUT_KEYBOARD;
                keys[0].ki.wVk = VK_MENU;
                keys[1].ki.wVk = VK_F4;
                keys[2].ki.wVk = VK_F4;
                keys[2].ki.dwFlags = KEYEVENTF_KEYUP;
                keys[3].ki.wVk = VK_MENU;
                keys[3].ki.dwFlags = KEYEVENTF_KEYUP;
                SendInput(4, keys, sizeof(INPUT));
            }
            questions = 1;
            break;
        case EndSession:
            // No question: Windows is going and may end the program at once.
            PostMessageA(m_hwnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
            break;
        case Quit:
            PostThreadMessageA(m_ui->ThreadId(), WM_QUIT, 0, 0);
            break;
        case ProgramEnd:
            Dlg().RunOnUi([&] { Dlg().EndDialog(IDCANCEL); });
            break;
        }
        ASSERT_TRUE(m_ui->WaitFinished(15000));
        m_ui.reset();
        m_hwnd = nullptr;
        EXPECT_TRUE(destroyed);
        // Stopped and waited for: gone by the time the window has.
        EXPECT_EQ(EngineProcesses(), 0);
        ASSERT_EQ(boxes.Count(), questions);
        if (questions) {
            EXPECT_EQ(boxes.Seen()[0].text, kExitQuestion);
        }
        KillEngines();
    }
}

// Cancel and close at many moments around the engine's own end: no crash,
// no hang, every handle closed once, no engine left behind.
TEST_F(CancelExitTest, StopsAroundTheEnginesEndNeverHangOrLeak)
{
    MessageBoxWatcher boxes;
    DWORD baseline = 0;
    const int runs = 24;
    for (int run = 0; run < runs; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const int engineMs = 40 * (run % 8);
        const int stopMs = 40 * ((run * 5) % 9);
        m_engine->ForgetArgs();
        m_engine->SetScript({"copy|" + m_pic[0] + "|a.png", "sleep|" + std::to_string(engineMs)});
        Open();
        StartAnalysis();
        Sleep(static_cast<DWORD>(stopMs));

        boxes.Clear();
        if (run % 2 == 0) {
            // Cancel, unless the analysis got to its end first: the caption
            // is read on the window's thread, so the question is sure to come.
            bool cancelling = false;
            Dlg().RunOnUi([&] {
                if (Text(Ctl(IDC_RECOVER)) == "Cancel") {
                    boxes.Answer(IDYES);
                    PostCommand(m_hwnd, IDC_RECOVER);
                    cancelling = true;
                }
            });
            if (cancelling) {
                ASSERT_TRUE(boxes.WaitForCount(1));
                EXPECT_EQ(boxes.Seen()[0].text, kCancelQuestion);
            }
            ASSERT_TRUE(WaitUntil([&] { return Analysed(); }, 15000));
            ASSERT_TRUE(WaitUntil([&] { return EngineStopped(); }, 10000));
            PostMessageA(m_hwnd, WM_CLOSE, 0, 0);
        } else {
            // The question comes only while the engine still runs.
            boxes.Answer(IDYES);
            PostMessageA(m_hwnd, WM_CLOSE, 0, 0);
        }
        ASSERT_TRUE(m_ui->WaitFinished(15000));
        m_ui.reset();
        ASSERT_TRUE(WaitUntil([] { return EngineProcesses() == 0; }, 10000));

        DWORD handles = 0;
        GetProcessHandleCount(GetCurrentProcess(), &handles);
        if (run == 1)
            baseline = handles;
        if (run > 1) {
            EXPECT_LE(handles, baseline + 8);
            EXPECT_GE(handles + 8, baseline);
        }
    }
}

BOOL CALLBACK FindSettings(HWND hwnd, LPARAM param)
{
    if (Text(hwnd) == "Settings" && IsWindowVisible(hwnd)) {
        *reinterpret_cast<HWND*>(param) = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The Settings link opens the dialog over the main window; an empty choice
// is stored and only the next Next refuses it.
TEST_F(CancelExitTest, SettingsLinkStoresAnEmptyListThatTheNextAnalysisRefuses)
{
    MessageBoxWatcher boxes;
    m_engine->SetScript({"forever"});
    Open();
    PostCommand(m_hwnd, IDC_SETTINGS_LINK, STN_CLICKED);
    HWND settings = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        EnumThreadWindows(m_ui->ThreadId(), FindSettings, reinterpret_cast<LPARAM>(&settings));
        return settings != nullptr;
    }));
    // (Its owner is the application's main window, which a test program
    // does not have, so the main window stays enabled here.)
    // Every format's tick box, as the user unticks them.
    for (HWND box = GetWindow(settings, GW_CHILD); box; box = GetWindow(box, GW_HWNDNEXT)) {
        if ((GetWindowLongA(box, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX &&
            SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED)
            SendMessageA(box, BM_CLICK, 0, 0);
    }
    PostCommand(settings, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(settings); }));
    EXPECT_EQ(ReadFileBytes(ModuleFile("formats.ini")), "formats=\r\nversion=2\r\n");
    EXPECT_EQ(boxes.Count(), 0u);

    SelectFirstDrive();
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(boxes.WaitForCount(2, 15000));
    EXPECT_EQ(boxes.Seen()[0].text, kNoFormats);
    EXPECT_EQ(boxes.Seen()[1].text, kLaunchFailed);
    EXPECT_TRUE(WaitAnalysed());
    EXPECT_FALSE(m_engine->Started());
    SetFormats(nullptr);
}

}  // namespace
