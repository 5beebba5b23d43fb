// The recovery engine's run: the engine started hidden by a waiter thread of
// its own, which waits for its end and tells the window so by posting it a
// message. Nothing here shows a window or calls into one; the window reads
// the message on its own thread.
//
// Start, Stop and the destructor are called on the window's thread. The
// object owns every handle of the run: the waiter's thread and the engine's
// process are closed once, here, after the waiter has ended, so that the
// waiter always waits on a live handle.
#pragma once

#include <windows.h>

#include "Framework.h"
#include "Handle.h"

class CEngineSearch {
public:
    // What a posted message says: the run it is about (runs are numbered
    // from 1 by Start), whether the engine started at all, and if so the
    // code it ended with.
    struct Ending {
        unsigned run;
        bool started;
        DWORD exitCode;
    };

    CEngineSearch();
    // Lets go of a run still going: the waiter stops waiting and ends
    // without posting. The engine itself is left running; Stop ends it.
    ~CEngineSearch();
    CEngineSearch(const CEngineSearch&) = delete;
    CEngineSearch& operator=(const CEngineSearch&) = delete;

    // Starts program with arguments, hidden, from a new waiter thread. Once
    // the engine has ended, or could not be started, message is posted to
    // window (read it with Read). False, and nothing posted, when no thread
    // could be made. An earlier run must have ended or been stopped.
    bool Start(HWND window, UINT message, const CString& program, const CString& arguments);

    // Ends the engine of the current run, even one still being started, and
    // waits for the waiter to end. Nothing of this run is posted afterwards
    // (a message already posted may still be waiting in the queue: check its
    // run against Run()). Does nothing when no run is going.
    void Stop();

    // The number of the latest run started, 0 before the first.
    unsigned Run() const { return m_run; }
    // Whether the latest run's waiter is still going: starting the engine,
    // or waiting for its end.
    bool Busy() const;

    static Ending Read(WPARAM wParam, LPARAM lParam);

private:
    static DWORD WINAPI WaiterProc(LPVOID param);
    void Wait();
    // Posts the run's end unless the run has been stopped meanwhile.
    void Tell(bool started, DWORD exitCode);
    // Waits for the waiter thread to end and closes the run's handles.
    void Join();

    // Set for the waiter's use by Start, before the thread starts.
    HWND m_window;
    UINT m_message;
    CString m_program;
    CString m_arguments;
    unsigned m_run;

    CHandle m_thread;
    // Set when the object goes: the waiter stops waiting.
    CHandle m_gone;

    // The engine's process and whether the run is stopped, shared with the
    // waiter under the lock.
    CCriticalSection m_lock;
    CHandle m_process;
    bool m_stopped;
};
