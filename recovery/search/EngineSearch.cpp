#include "EngineSearch.h"

#include <shellapi.h>

namespace {

// Waits for a thread to end while answering messages that other threads
// send to this one, so that nothing the waiter calls can block on a window
// of this thread.
void WaitForThreadEnd(HANDLE thread)
{
    for (;;) {
        const DWORD result = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (result != WAIT_OBJECT_0 + 1)
            return;
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

CEngineSearch::CEngineSearch()
    : m_window(nullptr),
      m_message(0),
      m_run(0),
      m_gone(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_stopped(false)
{
}

CEngineSearch::~CEngineSearch()
{
    if (m_gone)
        SetEvent(m_gone.Get());
    Join();
}

bool CEngineSearch::Start(HWND window, UINT message, const CString& program, const CString& arguments)
{
    // An earlier run's waiter has ended, or is about to: it has posted.
    Join();
    m_window = window;
    m_message = message;
    m_program = program;
    m_arguments = arguments;
    {
        CScopedLock lock(m_lock);
        m_stopped = false;
    }
    // Numbered before the waiter can read it.
    ++m_run;
    HANDLE thread = CreateThread(nullptr, 0, WaiterProc, this, 0, nullptr);
    if (!thread) {
        --m_run;
        return false;
    }
    m_thread.Reset(thread);
    return true;
}

void CEngineSearch::Stop()
{
    {
        CScopedLock lock(m_lock);
        m_stopped = true;
        if (m_process)
            TerminateProcess(m_process.Get(), 0);
    }
    // The waiter is never killed (it may hold the lock); with the engine
    // gone, or the run stopped before the engine was there, it ends by
    // itself.
    Join();
}

bool CEngineSearch::Busy() const
{
    return m_thread && WaitForSingleObject(m_thread.Get(), 0) == WAIT_TIMEOUT;
}

CEngineSearch::Ending CEngineSearch::Read(WPARAM wParam, LPARAM lParam)
{
    Ending ending;
    ending.run = static_cast<unsigned>(wParam >> 1);
    ending.started = (wParam & 1) == 0;
    ending.exitCode = static_cast<DWORD>(lParam);
    return ending;
}

DWORD WINAPI CEngineSearch::WaiterProc(LPVOID param)
{
    static_cast<CEngineSearch*>(param)->Wait();
    return 0;
}

void CEngineSearch::Wait()
{
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    // No box of the shell's own when the program cannot be started: the
    // window tells the user, on its own thread.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = m_program;
    info.lpParameters = m_arguments;
    info.nShow = SW_HIDE;
    if (!ShellExecuteExA(&info) || !info.hProcess) {
        Tell(false, 0);
        return;
    }
    HANDLE process = info.hProcess;
    {
        CScopedLock lock(m_lock);
        if (m_stopped) {
            // Stopped while the engine was starting: nobody else will ever
            // see this process, so it is ended here.
            TerminateProcess(process, 0);
            CloseHandle(process);
            return;
        }
        m_process.Reset(process);
    }
    // The handle stays open until this thread has ended (Join closes it).
    HANDLE waits[2] = {process, m_gone.Get()};
    const DWORD count = m_gone ? 2 : 1;
    if (WaitForMultipleObjects(count, waits, FALSE, INFINITE) != WAIT_OBJECT_0)
        return;  // the object is going away; the engine runs on
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process, &exitCode))
        exitCode = 0;
    Tell(true, exitCode);
}

void CEngineSearch::Tell(bool started, DWORD exitCode)
{
    // Under the lock: a Stop that has taken it first is never told of.
    CScopedLock lock(m_lock);
    if (m_stopped || !m_window)
        return;
    const WPARAM wParam = (static_cast<WPARAM>(m_run) << 1) | (started ? 0 : 1);
    PostMessageA(m_window, m_message, wParam, static_cast<LPARAM>(exitCode));
}

void CEngineSearch::Join()
{
    if (m_thread) {
        WaitForThreadEnd(m_thread.Get());
        m_thread.Reset();
    }
    CScopedLock lock(m_lock);
    m_process.Reset();
}
