// Helpers for tests that drive real windows under Wine: a modal dialog run
// on a thread of its own, a watcher that answers message boxes the way a
// user would, polling with a deadline, and pixel reads.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace uitest {

// Polls pred every few milliseconds, pumping this thread's messages, until
// it holds or timeoutMs passes. Returns the last value of pred.
bool WaitUntil(const std::function<bool()>& pred, DWORD timeoutMs = 5000);

// Lets time pass while pumping this thread's messages.
void Pump(DWORD ms);

// Runs body (typically: construct a dialog, DoModal) on a new thread, the
// dialog's user-interface thread. Window() finds the first top-level window
// of that thread with the given caption.
class UiThread {
public:
    explicit UiThread(std::function<void()> body);
    ~UiThread();  // joins
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;

    DWORD ThreadId() const { return m_threadId.load(); }
    // Waits for a visible or hidden top-level window of the thread with this
    // caption; nullptr after the time-out.
    HWND WaitForWindow(const char* caption, DWORD timeoutMs = 10000);
    bool Finished() const { return m_finished.load(); }
    bool WaitFinished(DWORD timeoutMs = 10000);

private:
    std::atomic<DWORD> m_threadId{0};
    std::atomic<bool> m_finished{false};
    std::thread m_thread;
};

struct SeenBox {
    std::string caption;
    std::string text;
    UINT buttons;  // the MB_ type bits we could infer: MB_OK or MB_YESNO
    bool icon = false;  // the box shows an icon (any MB_ICON* flag)
};

// Answers every message box shown by any thread of this process: boxes are
// recorded, then closed with the next scripted answer (IDOK, IDYES, IDNO),
// or IDOK / IDNO when the script is empty (the "safe" default).
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();

    void Answer(int id);                 // queue one answer
    std::vector<SeenBox> Seen();
    size_t Count();
    bool WaitForCount(size_t n, DWORD timeoutMs = 10000);
    void Clear();

private:
    void Loop();
    std::mutex m_lock;
    std::vector<int> m_answers;
    std::vector<SeenBox> m_seen;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The first top-level window of process pid for which match holds, or nullptr.
HWND FindTopWindow(DWORD pid, const std::function<bool(HWND)>& match);

// Text of a window (cross-thread safe through WM_GETTEXT).
std::string Text(HWND hwnd);
// A child item of a dialog.
HWND Item(HWND dialog, int id);
bool Visible(HWND hwnd);
// Controls found the way a user finds them, not by their ids: the first
// child of parent of a window class (e.g. "Button"; case ignored) whose
// text starts with text; the n-th child of the class (from 0) in the order
// of the controls; the drop-down list that offers an entry of this text.
// nullptr when there is none.
HWND ChildWithText(HWND parent, const char* cls, const std::string& text);
HWND NthChild(HWND parent, const char* cls, int n);
HWND ComboWithEntry(HWND parent, const std::string& entry);
// The children of parent of a window class (case ignored), in the order of
// the controls.
std::vector<HWND> ChildrenOfClass(HWND parent, const char* cls);
// The tooltip that has this control as one of its tools (a tool that is
// the whole window), or nullptr.
HWND ToolTipFor(HWND control);
// Chooses an entry of a drop-down list as a user does: the list selects it
// and tells its parent (CBN_SELCHANGE, sent).
void ChooseEntry(HWND combo, int entry);

// Clicks a button or link item the way its parent sees it (posted, so a
// message box it opens does not block the caller).
void PostCommand(HWND dialog, int id, int code = BN_CLICKED);

// Presses and releases a key as the keyboard would, for whichever window of
// the foreground has the focus; the window is brought to the foreground first.
void PressKey(HWND window, WORD key);

// Clicks the tick box of a list item with check boxes, as the mouse does
// (posted: button down and up where the list's hit test finds the box),
// or double-clicks it. False when the item shows no box.
bool ClickTickBox(HWND list, int item, int clicks = 1);

// The colour of a client pixel of a window as drawn on the screen.
COLORREF PixelAt(HWND hwnd, int x, int y);

// A folder under the system's temporary folder, made fresh; removed with
// its contents by the destructor.
class TempFolder {
public:
    explicit TempFolder(const char* name);
    ~TempFolder();
    const std::string& Path() const { return m_path; }
    std::string Join(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

// Names of the files (not folders) directly in a folder.
std::vector<std::string> FilesIn(const std::string& folder);
// Every file in the folder and the folders below it, as paths relative to it.
std::vector<std::string> FilesBelow(const std::string& folder);
void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
bool Exists(const std::string& path);
// Removes a file or a whole folder tree; ignores failures.
void RemoveTree(const std::string& path);

}  // namespace uitest
