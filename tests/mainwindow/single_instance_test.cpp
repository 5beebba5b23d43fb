// The real quorvane.exe started twice: the second copy brings the first
// window forward and ends without a window of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "UiTest.h"

using namespace uitest;

namespace {

std::string ProgramPath()
{
    std::string path = QUORVANE_EXE;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

struct Process {
    PROCESS_INFORMATION info = {};
    bool started = false;

    ~Process()
    {
        if (!started)
            return;
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info.hProcess, 1);
            WaitForSingleObject(info.hProcess, 5000);
        }
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }

    bool Start()
    {
        const std::string exe = ProgramPath();
        std::string command = "\"" + exe + "\"";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        started = CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &si, &info) != FALSE;
        return started;
    }

    bool Ended(DWORD timeoutMs) const { return WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0; }

    DWORD ExitCode() const
    {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(info.hProcess, &code);
        return code;
    }
};

struct PidWindows {
    DWORD pid;
    int visible;
};

BOOL CALLBACK CountVisible(HWND hwnd, LPARAM param)
{
    auto* args = reinterpret_cast<PidWindows*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == args->pid && IsWindowVisible(hwnd))
        ++args->visible;
    return TRUE;
}

int VisibleWindowsOf(DWORD pid)
{
    PidWindows args{pid, 0};
    EnumWindows(CountVisible, reinterpret_cast<LPARAM>(&args));
    return args.visible;
}

HWND MainWindowOf(DWORD pid)
{
    HWND window = FindWindowA(nullptr, "Quorvane");
    DWORD owner = 0;
    if (window)
        GetWindowThreadProcessId(window, &owner);
    return owner == pid ? window : nullptr;
}

// Waits for the first copy's window in its Ready view.
HWND WaitForMainWindow(const Process& process)
{
    HWND window = nullptr;
    WaitUntil([&] {
        window = MainWindowOf(process.info.dwProcessId);
        return window && IsWindowVisible(window) && IsWindowVisible(GetDlgItem(window, 1004));
    }, 20000);
    return window;
}

TEST(SingleInstance, SecondCopyRaisesTheFirstAndEndsSilently)
{
    ASSERT_EQ(FindWindowA(nullptr, "Quorvane"), nullptr) << "a copy of the program is already running";

    Process first;
    ASSERT_TRUE(first.Start()) << ProgramPath();
    HWND window = WaitForMainWindow(first);
    ASSERT_NE(window, nullptr);

    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(window) != FALSE; }));

    Process second;
    ASSERT_TRUE(second.Start());
    int secondWindows = 0;
    const bool ended = WaitUntil([&] {
        secondWindows += VisibleWindowsOf(second.info.dwProcessId);
        return second.Ended(0);
    }, 20000);
    ASSERT_TRUE(ended);
    EXPECT_EQ(secondWindows, 0);
    EXPECT_EQ(second.ExitCode(), 0u);

    // The running window is restored and still the only one.
    EXPECT_TRUE(WaitUntil([&] { return !IsIconic(window) && IsWindowVisible(window); }));
    EXPECT_FALSE(first.Ended(0));
    EXPECT_EQ(MainWindowOf(first.info.dwProcessId), window);

    // Closing the window ends the program (nothing was found: no question).
    PostMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(first.Ended(15000));
    EXPECT_EQ(first.ExitCode(), 0u);

    // The mutex went with the process: the next start is a first copy again.
    Process again;
    ASSERT_TRUE(again.Start());
    HWND another = WaitForMainWindow(again);
    ASSERT_NE(another, nullptr);
    PostMessageA(another, WM_CLOSE, 0, 0);
    EXPECT_TRUE(again.Ended(15000));
}

TEST(SingleInstance, SecondCopyEndsWhenTheFirstHasNoWindowYet)
{
    // Someone else holds the name (a copy still starting up): the new copy
    // finds no window and still ends without one.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "Quorvane Mutex");
    ASSERT_NE(mutex, nullptr);
    ASSERT_EQ(FindWindowA(nullptr, "Quorvane"), nullptr);

    Process copy;
    ASSERT_TRUE(copy.Start());
    int windows = 0;
    const bool ended = WaitUntil([&] {
        windows += VisibleWindowsOf(copy.info.dwProcessId);
        return copy.Ended(0);
    }, 20000);
    CloseHandle(mutex);
    ASSERT_TRUE(ended);
    EXPECT_EQ(windows, 0);
    EXPECT_EQ(FindWindowA(nullptr, "Quorvane"), nullptr);
}

}  // namespace
