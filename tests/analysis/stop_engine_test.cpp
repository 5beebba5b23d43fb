// Stopping the engine at any moment of a run: the process is gone, the
// waiter has ended by itself, and no handle is left open or closed twice.
#include "AnalysisHarness.h"

#include <atomic>
#include <thread>

using namespace analysis;

namespace {

::testing::Environment* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

bool IsOpen(HANDLE handle)
{
    DWORD flags = 0;
    return handle != INVALID_HANDLE_VALUE && GetHandleInformation(handle, &flags);
}

class StopEngineTest : public WindowFixture {
protected:
    void SetUp() override
    {
        SetFormats(nullptr);
        Open();
    }

    // Next, then StopEngine on the window's thread after delayMs, as the
    // cancel and the close do.
    void RunAndStop(DWORD delayMs, bool asClose)
    {
        m_engine.ForgetArgs();
        SelectFirstDrive();
        Dlg().RunOnUi([&] { Dlg().OnNext(); });
        if (delayMs)
            Sleep(delayMs);
        Dlg().RunOnUi([&] {
            const TestDlg::EngineState running = Dlg().State();
            // The cancel clears the flag first; the close does not.
            if (!asClose)
                Dlg().ClearRunning();
            Dlg().StopEngine();
            const TestDlg::EngineState state = Dlg().State();
            EXPECT_FALSE(state.running);
            EXPECT_EQ(state.process, INVALID_HANDLE_VALUE);
            EXPECT_EQ(state.thread, INVALID_HANDLE_VALUE);
            // Whatever was open before the stop has been closed.
            EXPECT_FALSE(IsOpen(running.process)) << delayMs;
            EXPECT_FALSE(IsOpen(running.thread)) << delayMs;
        });
    }

    EngineInstall m_engine;
    std::unique_ptr<MessageBoxWatcher> m_boxes = std::make_unique<MessageBoxWatcher>();
};

TEST_F(StopEngineTest, StopAtManyMomentsLeavesNothingBehind)
{
    // The engine runs until it is killed, or ends by itself at about the
    // moment of the stop.
    const DWORD delays[] = {0, 1, 2, 5, 10, 20, 35, 50, 80, 120, 200, 300};
    int round = 0;
    for (const char* script : {"forever", "sleep|40", "sleep|100"}) {
        m_engine.SetScript({script});
        for (DWORD delay : delays) {
            RunAndStop(delay, ++round % 2 == 0);
            EXPECT_TRUE(WaitUntil([] { return EngineProcesses() == 0; }, 5000))
                << script << " stopped after " << delay << " ms";
        }
    }
    EXPECT_TRUE(WaitAnalysed());
    EXPECT_EQ(m_boxes->Count(), 0u);
}

// The engine ends by itself: the waiter closes both handles and clears the
// flag; a stop afterwards has nothing left to do. It runs long enough to be
// seen running on a loaded machine (100 ms was not always).
TEST_F(StopEngineTest, EngineEndingBeforeTheStop)
{
    m_engine.SetScript({"sleep|1500"});
    SelectFirstDrive();
    Dlg().RunOnUi([&] { Dlg().OnNext(); });
    ASSERT_TRUE(WaitUntil([&] { return m_engine.Started(); }, 5000));
    const TestDlg::EngineState running = Dlg().State();
    ASSERT_TRUE(running.running);
    ASSERT_TRUE(IsOpen(running.thread));
    ASSERT_TRUE(WaitUntil([&] { return !Dlg().State().running; }, 5000));
    TestDlg::EngineState state = Dlg().State();
    EXPECT_EQ(state.process, INVALID_HANDLE_VALUE);
    EXPECT_EQ(state.thread, INVALID_HANDLE_VALUE);
    Pump(100);
    EXPECT_FALSE(IsOpen(running.process));
    EXPECT_FALSE(IsOpen(running.thread));
    Dlg().RunOnUi([&] { Dlg().StopEngine(); });
    EXPECT_TRUE(WaitAnalysed());
}

bool MessageBoxOpen()
{
    struct Find {
        static BOOL CALLBACK Each(HWND hwnd, LPARAM found)
        {
            char cls[16] = {};
            GetClassNameA(hwnd, cls, sizeof cls);
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            if (pid == GetCurrentProcessId() && lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(hwnd) &&
                GetDlgItem(hwnd, 0xFFFF) != nullptr)
                *reinterpret_cast<bool*>(found) = true;
            return TRUE;
        }
    };
    bool found = false;
    EnumWindows(Find::Each, reinterpret_cast<LPARAM>(&found));
    return found;
}

// A stop while the waiter shows a launch message owned by the window: the
// stop waits for the answer, and the window's thread keeps answering the
// messages other threads send it meanwhile (the box needs that to close).
TEST_F(StopEngineTest, StopWhileTheWaiterShowsItsMessage)
{
    m_boxes.reset();
    SetFormats("formats=none");
    SelectFirstDrive();
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(WaitUntil(MessageBoxOpen, 10000));

    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        Dlg().RunOnUi([&] { Dlg().StopEngine(); });
        stopped = true;
    });
    Pump(500);
    EXPECT_FALSE(stopped.load());
    DWORD_PTR result = 0;
    EXPECT_NE(SendMessageTimeoutA(m_hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, 2000, &result), 0);

    m_boxes = std::make_unique<MessageBoxWatcher>();
    EXPECT_TRUE(WaitUntil([&] { return stopped.load(); }, 10000));
    stopper.join();
    EXPECT_TRUE(m_boxes->WaitForCount(2));
    EXPECT_EQ(m_boxes->Seen().back().text, kLaunchFailed);
    EXPECT_TRUE(WaitAnalysed());
    EXPECT_FALSE(m_engine.Started());
    SetFormats(nullptr);
}

// A launch that fails still releases the waiter thread's handle.
TEST_F(StopEngineTest, FailedLaunchReleasesTheWaiterHandle)
{
    m_boxes.reset();
    m_engine.Remove("cygwin1.dll");
    SelectFirstDrive();
    PostCommand(m_hwnd, IDC_NEXT);
    ASSERT_TRUE(WaitUntil(MessageBoxOpen, 10000));
    const TestDlg::EngineState running = Dlg().State();
    EXPECT_TRUE(running.running);
    EXPECT_EQ(running.process, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(IsOpen(running.thread));

    m_boxes = std::make_unique<MessageBoxWatcher>();
    EXPECT_TRUE(m_boxes->WaitForCount(2));
    EXPECT_TRUE(WaitAnalysed());
    EXPECT_FALSE(IsOpen(running.thread));
}

}  // namespace
