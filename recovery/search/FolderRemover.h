// Removes folders without keeping anyone waiting: the folder is renamed
// aside at once (to "<name>.removing.<n>" beside it, so that its old name is
// free again), and the renamed folder is deleted on a thread of its own.
// What a stopped or crashed removal leaves behind is deleted the next time
// a folder of the same name in the same place is removed or swept.
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

class CFolderRemover {
public:
    CFolderRemover() = default;
    ~CFolderRemover();
    CFolderRemover(const CFolderRemover&) = delete;
    CFolderRemover& operator=(const CFolderRemover&) = delete;

    enum class Result {
        Moved,     // renamed aside, being deleted
        Missing,   // there was no such folder
        Refused,   // it could not be renamed (a file in it is in use): left as it was
    };
    // Renames folder aside and deletes it in the background, together with
    // what earlier removals of a folder of that name left beside it.
    Result Remove(const std::string& folder);
    // Deletes only what earlier removals of a folder of this name left
    // beside it; the folder itself stays.
    void SweepLeftovers(const std::string& folder);
    // Something is being deleted.
    bool Busy() const { return m_busy; }
    // Posts message to window whenever everything queued has been dealt with.
    void NotifyWhenIdle(HWND window, UINT message)
    {
        m_notify = window;
        m_notifyMessage = message;
    }
    // Something of an earlier removal of a folder of this name is left.
    static bool LeftoversOf(const std::string& folder);
    // Stops between two files and waits for the thread; the rest stays
    // for a later sweep.
    void Stop();
    // Waits until everything queued is deleted (or the time is up); true
    // when nothing is left to do.
    bool WaitIdle(DWORD timeoutMs);

    // "<folder>.removing." : the start of the name of every folder put aside
    // for folder.
    static std::string AsidePrefix(const std::string& folder);

private:
    void Queue(const std::string& aside);
    void Run();
    // Deletes path and everything below it unless stopped; false when
    // stopped.
    bool DeleteTree(const std::wstring& path);

    std::mutex m_lock;
    std::deque<std::string> m_queue;
    std::string m_current;  // being deleted now, not in m_queue any more
    std::thread m_thread;
    std::atomic<bool> m_busy{false};
    std::atomic<bool> m_stop{false};
    HWND m_notify = nullptr;
    UINT m_notifyMessage = 0;
};
