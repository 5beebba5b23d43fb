// Stopping the engine at any moment of a run, as the cancel and the close
// do: the process is gone, the window goes to its results, and a launch
// message open meanwhile does not hold the window up. The stops are the
// user's: Escape (its question answered Yes) during the search. (The run's handles
// are EngineSearch's: see engine_search_test.cpp.)
#include "AnalysisHarness.h"

#include <atomic>
#include <thread>

using namespace analysis;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

class StopEngineTest : public WindowFixture {
protected:
    void SetUp() override
    {
        SetFormats(nullptr);
        Open();
    }

    // Next, then Escape after delayMs, its question answered Yes (a run
    // that has ended by itself before asks nothing), then New search.
    void RunAndStop(DWORD delayMs)
    {
        m_engine.ForgetArgs();
        SelectFirstDrive();
        Press("Next");
        if (delayMs)
            Sleep(delayMs);
        m_boxes->Answer(IDYES);
        PressEscape();
        ASSERT_TRUE(WaitUntil([&] { return Visible(ChildWithText(m_hwnd, "Button", "New search")); }, 15000));
        Press("New search");
        ASSERT_TRUE(WaitUntil([&] { return Visible(ChildWithText(m_hwnd, "Button", "Next")); }));
    }

    // Every box shown asked whether to cancel.
    bool OnlyCancelQuestions()
    {
        for (const SeenBox& box : m_boxes->Seen()) {
            if (box.text != "Quorvane is currently analyzing disk, are you sure you want to cancel?")
                return false;
        }
        return true;
    }

    EngineInstall m_engine;
    std::unique_ptr<MessageBoxWatcher> m_boxes = std::make_unique<MessageBoxWatcher>();
};

TEST_F(StopEngineTest, StopAtManyMomentsLeavesNothingBehind)
{
    // The engine runs until it is killed, or ends by itself at about the
    // moment of the stop.
    const DWORD delays[] = {0, 1, 2, 5, 10, 20, 35, 50, 80, 120, 200, 300};
    for (const char* script : {"forever", "sleep|40", "sleep|100"}) {
        m_engine.SetScript({script});
        for (DWORD delay : delays) {
            RunAndStop(delay);
            EXPECT_TRUE(WaitUntil([] { return EngineProcesses() == 0; }, 5000))
                << script << " stopped after " << delay << " ms";
        }
    }
    EXPECT_TRUE(OnlyCancelQuestions());
}

// The engine ends by itself: the window goes to its results on its own;
// a stop afterwards has nothing left to do. It runs long enough to be seen
// running on a loaded machine (100 ms was not always).
TEST_F(StopEngineTest, EngineEndingBeforeTheStop)
{
    m_engine.SetScript({"sleep|1500"});
    SelectFirstDrive();
    Press("Next");
    ASSERT_TRUE(WaitUntil([&] { return m_engine.Started(); }, 5000));
    EXPECT_EQ(EngineProcesses(), 1);
    EXPECT_EQ(Text(Ctl(IDC_RECOVER)), "Cancel");
    ASSERT_TRUE(WaitUntil([&] { return EngineProcesses() == 0; }, 5000));
    EXPECT_TRUE(WaitAnalysed());
    // Escape in the results has nothing to stop, and asks nothing.
    PressEscape();
    Pump(300);
    EXPECT_TRUE(Analysed());
    EXPECT_EQ(m_boxes->Count(), 0u);
}

// The open message box of this process whose text is text (any, when
// text is empty), or nullptr.
HWND OpenMessageBox(const std::string& text = "")
{
    struct Find {
        const std::string* text;
        HWND box;
        static BOOL CALLBACK Each(HWND hwnd, LPARAM param)
        {
            Find& find = *reinterpret_cast<Find*>(param);
            char cls[16] = {};
            GetClassNameA(hwnd, cls, sizeof cls);
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            if (pid == GetCurrentProcessId() && lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(hwnd) &&
                GetDlgItem(hwnd, 0xFFFF) != nullptr &&
                (find.text->empty() || Text(GetDlgItem(hwnd, 0xFFFF)) == *find.text)) {
                find.box = hwnd;
                return FALSE;
            }
            return TRUE;
        }
    };
    Find find = {&text, nullptr};
    EnumWindows(Find::Each, reinterpret_cast<LPARAM>(&find));
    return find.box;
}

bool MessageBoxOpen() { return OpenMessageBox() != nullptr; }

// A stop while a launch message is open: the window answers and the stop
// is done at once (nothing waits for the box), and the launch failure is
// still told when the box is answered. The stop is Escape, its question
// answered Yes, pressed while the box is open.
TEST_F(StopEngineTest, StopWhileALaunchMessageIsOpen)
{
    m_boxes.reset();
    SetFormats("formats=none");
    SelectFirstDrive();
    // Posted: the box it opens holds the window's thread until answered.
    PostMessageA(ChildWithText(m_hwnd, "Button", "Next"), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil(MessageBoxOpen, 10000));
    HWND launchBox = OpenMessageBox(kNoFormats);
    ASSERT_NE(launchBox, nullptr);

    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        PressEscape();
        stopped = true;
    });
    const char kCancelQuestion[] = "Quorvane is currently analyzing disk, are you sure you want to cancel?";
    HWND question = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return (question = OpenMessageBox(kCancelQuestion)) != nullptr; }, 5000));
    if (question)
        PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(question, IDYES)));
    EXPECT_TRUE(WaitUntil([&] { return stopped.load(); }, 5000));
    EXPECT_TRUE(IsWindowVisible(launchBox));
    DWORD_PTR result = 0;
    EXPECT_NE(SendMessageTimeoutA(m_hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, 2000, &result), 0);

    m_boxes = std::make_unique<MessageBoxWatcher>();
    stopper.join();
    EXPECT_TRUE(m_boxes->WaitForCount(2));
    EXPECT_EQ(m_boxes->Seen().front().text, kNoFormats);
    EXPECT_EQ(m_boxes->Seen().back().text, kLaunchFailed);
    EXPECT_TRUE(WaitAnalysed());
    EXPECT_FALSE(m_engine.Started());
    SetFormats(nullptr);
}

}  // namespace
