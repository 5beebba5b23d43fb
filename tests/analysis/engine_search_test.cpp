// The engine's run on its own: the test engine started hidden, its end
// posted with its exit code, a stop at any moment, a program that cannot be
// started, an object that goes before the engine ends, and no handle left
// open by any of them.
#include "AnalysisHarness.h"

#include "EngineSearch.h"

using namespace analysis;

namespace {

const UINT kEnded = WM_APP + 7;

// Waits without pumping: the test's own window must keep its messages.
bool Within(DWORD ms, const std::function<bool()>& done)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= ms)
            return false;
        Sleep(5);
    }
    return true;
}

class EngineSearchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(m_window, nullptr);
    }
    void TearDown() override
    {
        KillEngines();
        DestroyWindow(m_window);
    }

    CString Engine() const { return (EngineFolder() + "\\photo.exe").c_str(); }

    // The next end posted to the window within ms, if any.
    bool NextEnding(CEngineSearch::Ending& ending, DWORD ms)
    {
        const DWORD start = GetTickCount();
        do {
            MSG msg;
            if (PeekMessageA(&msg, m_window, kEnded, kEnded, PM_REMOVE)) {
                ending = CEngineSearch::Read(msg.wParam, msg.lParam);
                return true;
            }
            Sleep(5);
        } while (GetTickCount() - start < ms);
        return false;
    }

    static DWORD Handles()
    {
        DWORD count = 0;
        GetProcessHandleCount(GetCurrentProcess(), &count);
        return count;
    }

    static void KillEngines()
    {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
            if (lstrcmpiA(entry.szExeFile, "photo.exe") != 0)
                continue;
            if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)) {
                TerminateProcess(process, 0);
                CloseHandle(process);
            }
        }
        CloseHandle(snapshot);
        Within(10000, [] { return EngineProcesses() == 0; });
    }

    EngineInstall m_engine;
    HWND m_window = nullptr;
};

// Each run's end comes once, numbered, with the engine's exit code and its
// arguments passed as given; runs one after another leave no handle behind.
TEST_F(EngineSearchTest, EachEndIsPostedOnceWithItsExitCode)
{
    CEngineSearch search;
    EXPECT_EQ(search.Run(), 0u);
    DWORD baseline = 0;
    const unsigned runs = 6;
    for (unsigned run = 1; run <= runs; ++run) {
        m_engine.ForgetArgs();
        m_engine.SetScript({"sleep|" + std::to_string(30 * (run % 3)), "exit|" + std::to_string(run + 40)});
        const CString arguments = run % 2 ? "/d \"C:\\out\" search" : "";
        ASSERT_TRUE(search.Start(m_window, kEnded, Engine(), arguments));
        EXPECT_EQ(search.Run(), run);
        CEngineSearch::Ending ending = {};
        ASSERT_TRUE(NextEnding(ending, 10000)) << run;
        EXPECT_EQ(ending.run, run);
        EXPECT_TRUE(ending.started);
        EXPECT_EQ(ending.exitCode, run + 40);
        EXPECT_EQ(m_engine.Args(), arguments.GetString());
        EXPECT_FALSE(NextEnding(ending, 100));
        // The window takes the end by closing the run.
        search.Stop();
        EXPECT_FALSE(search.Busy());
        // The first run loads what starting a program needs for good.
        if (run == 2)
            baseline = Handles();
    }
    EXPECT_LE(Handles(), baseline + 2);
}

// Stopped at any moment, while the engine starts or runs: the engine is gone
// once Stop returns, nothing is posted, and nothing stays open.
TEST_F(EngineSearchTest, StopAtAnyMomentEndsTheEngineAndPostsNothing)
{
    m_engine.SetScript({"forever"});
    CEngineSearch search;
    DWORD baseline = 0;
    const DWORD delays[] = {0, 0, 1, 3, 10, 30, 80, 150, 300};
    for (size_t i = 0; i < sizeof delays / sizeof delays[0]; ++i) {
        ASSERT_TRUE(search.Start(m_window, kEnded, Engine(), ""));
        EXPECT_TRUE(search.Busy());
        Sleep(delays[i]);
        search.Stop();
        EXPECT_FALSE(search.Busy());
        EXPECT_TRUE(Within(3000, [] { return EngineProcesses() == 0; })) << delays[i];
        CEngineSearch::Ending ending = {};
        EXPECT_FALSE(NextEnding(ending, 50)) << delays[i];
        if (i == 1)
            baseline = Handles();
    }
    EXPECT_LE(Handles(), baseline + 2);
    // A second stop, or one with no run, has nothing to do.
    search.Stop();
    CEngineSearch idle;
    idle.Stop();
}

// A program that cannot be started is told as such, with its run's number.
TEST_F(EngineSearchTest, ProgramThatCannotStartIsPosted)
{
    CEngineSearch search;
    ASSERT_TRUE(search.Start(m_window, kEnded, (EngineFolder() + "\\missing.exe").c_str(), ""));
    CEngineSearch::Ending ending = {};
    ASSERT_TRUE(NextEnding(ending, 10000));
    EXPECT_EQ(ending.run, 1u);
    EXPECT_FALSE(ending.started);
    search.Stop();
    EXPECT_FALSE(search.Busy());
}

// An end posted before a later run started belongs to the earlier one.
TEST_F(EngineSearchTest, AnEarlierRunsEndIsToldApart)
{
    m_engine.SetScript({"exit|0"});
    CEngineSearch search;
    ASSERT_TRUE(search.Start(m_window, kEnded, Engine(), ""));
    MSG msg;
    ASSERT_TRUE(Within(10000, [&] { return PeekMessageA(&msg, m_window, kEnded, kEnded, PM_NOREMOVE) != FALSE; }));
    m_engine.SetScript({"forever"});
    ASSERT_TRUE(search.Start(m_window, kEnded, Engine(), ""));
    CEngineSearch::Ending ending = {};
    ASSERT_TRUE(NextEnding(ending, 1000));
    EXPECT_EQ(ending.run, 1u);
    EXPECT_NE(ending.run, search.Run());
    search.Stop();
}

// The object going before the engine ends lets go of it: the waiter has
// ended by the time the destructor returns and posts nothing; the engine,
// which only Stop ends, runs on.
TEST_F(EngineSearchTest, ObjectGoneBeforeTheEnd)
{
    m_engine.SetScript({"forever"});
    {
        CEngineSearch search;
        ASSERT_TRUE(search.Start(m_window, kEnded, Engine(), ""));
        ASSERT_TRUE(Within(10000, [&] { return m_engine.Started(); }));
        ASSERT_TRUE(Within(5000, [] { return EngineProcesses() == 1; }));
    }
    EXPECT_EQ(EngineProcesses(), 1);
    KillEngines();
    CEngineSearch::Ending ending = {};
    EXPECT_FALSE(NextEnding(ending, 200));
}

}  // namespace
