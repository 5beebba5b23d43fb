#include "UiTest.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace uitest {

void Pump(DWORD ms)
{
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    } while (GetTickCount() - start < ms);
}

bool WaitUntil(const std::function<bool()>& pred, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (pred())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return pred();
        Pump(10);
    }
}

UiThread::UiThread(std::function<void()> body)
    : m_thread([this, body = std::move(body)] {
          m_threadId = GetCurrentThreadId();
          body();
          m_finished = true;
      })
{
    while (m_threadId.load() == 0)
        Sleep(1);
}

UiThread::~UiThread()
{
    if (m_thread.joinable())
        m_thread.join();
}

namespace {
struct FindArgs {
    const char* caption;
    HWND found;
};

BOOL CALLBACK FindThreadWindow(HWND hwnd, LPARAM param)
{
    auto* args = reinterpret_cast<FindArgs*>(param);
    char text[256] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    if (lstrcmpA(text, args->caption) == 0 && GetDlgItem(hwnd, 0xFFFF) == nullptr) {
        args->found = hwnd;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND UiThread::WaitForWindow(const char* caption, DWORD timeoutMs)
{
    FindArgs args{caption, nullptr};
    WaitUntil([&] {
        args.found = nullptr;
        EnumThreadWindows(ThreadId(), FindThreadWindow, reinterpret_cast<LPARAM>(&args));
        return args.found != nullptr;
    }, timeoutMs);
    return args.found;
}

bool UiThread::WaitFinished(DWORD timeoutMs)
{
    return WaitUntil([&] { return Finished(); }, timeoutMs);
}

// ---------------------------------------------------------------------------

namespace {
bool IsMessageBox(HWND hwnd)
{
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") != 0 || !IsWindowVisible(hwnd))
        return false;
    // The text of a message box is the static 0xFFFF; our own dialogs are
    // told apart by their list and check-box items.
    return GetDlgItem(hwnd, 0xFFFF) != nullptr && GetDlgItem(hwnd, 1001) == nullptr &&
           GetDlgItem(hwnd, 1016) == nullptr;
}

BOOL CALLBACK CollectBoxes(HWND hwnd, LPARAM param)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId() && IsMessageBox(hwnd))
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}
}  // namespace

MessageBoxWatcher::MessageBoxWatcher() : m_thread([this] { Loop(); }) {}

MessageBoxWatcher::~MessageBoxWatcher()
{
    m_stop = true;
    m_thread.join();
}

void MessageBoxWatcher::Answer(int id)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_answers.push_back(id);
}

std::vector<SeenBox> MessageBoxWatcher::Seen()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_seen;
}

size_t MessageBoxWatcher::Count()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_seen.size();
}

bool MessageBoxWatcher::WaitForCount(size_t n, DWORD timeoutMs)
{
    return WaitUntil([&] { return Count() >= n; }, timeoutMs);
}

void MessageBoxWatcher::Clear()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_seen.clear();
    m_answers.clear();
}

void MessageBoxWatcher::Loop()
{
    std::set<HWND> answered;
    while (!m_stop) {
        std::vector<HWND> boxes;
        EnumWindows(CollectBoxes, reinterpret_cast<LPARAM>(&boxes));
        for (HWND box : boxes) {
            if (answered.count(box))
                continue;
            answered.insert(box);
            SeenBox seen;
            seen.caption = Text(box);
            seen.text = Text(GetDlgItem(box, 0xFFFF));
            bool yesNo = GetDlgItem(box, IDYES) != nullptr;
            seen.buttons = yesNo ? MB_YESNO : MB_OK;
            // The icon's static is item 1088 under Wine, 20 under Windows.
            for (int iconItem : {1088, 20}) {
                HWND icon = GetDlgItem(box, iconItem);
                if (icon && SendMessageA(icon, STM_GETICON, 0, 0) != 0)
                    seen.icon = true;
            }
            int answer;
            {
                std::lock_guard<std::mutex> guard(m_lock);
                m_seen.push_back(seen);
                if (!m_answers.empty()) {
                    answer = m_answers.front();
                    m_answers.erase(m_answers.begin());
                } else {
                    answer = yesNo ? IDNO : IDOK;
                }
            }
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
        }
        // Forget boxes that are gone, so a reused handle is answered again.
        for (auto it = answered.begin(); it != answered.end();)
            it = IsWindow(*it) ? std::next(it) : answered.erase(it);
        Sleep(20);
    }
}

// ---------------------------------------------------------------------------

namespace {
struct TopWindowSearch {
    DWORD pid;
    const std::function<bool(HWND)>* match;
    HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<TopWindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->pid && (*search->match)(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND FindTopWindow(DWORD pid, const std::function<bool(HWND)>& match)
{
    TopWindowSearch search{pid, &match, nullptr};
    EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string Text(HWND hwnd)
{
    if (!hwnd)
        return std::string();
    char text[1024] = {};
    SendMessageA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

HWND Item(HWND dialog, int id)
{
    return GetDlgItem(dialog, id);
}

std::vector<HWND> ChildrenOfClass(HWND parent, const char* cls)
{
    std::vector<HWND> found;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[64] = "";
        GetClassNameA(child, name, sizeof name);
        if (lstrcmpiA(name, cls) == 0)
            found.push_back(child);
    }
    return found;
}

HWND ChildWithText(HWND parent, const char* cls, const std::string& text)
{
    for (HWND child : ChildrenOfClass(parent, cls)) {
        if (Text(child).compare(0, text.size(), text) == 0)
            return child;
    }
    return nullptr;
}

HWND NthChild(HWND parent, const char* cls, int n)
{
    const std::vector<HWND> children = ChildrenOfClass(parent, cls);
    return n >= 0 && n < static_cast<int>(children.size()) ? children[static_cast<size_t>(n)] : nullptr;
}

HWND ComboWithEntry(HWND parent, const std::string& entry)
{
    for (HWND combo : ChildrenOfClass(parent, "ComboBox")) {
        if (SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>(entry.c_str())) != CB_ERR)
            return combo;
    }
    return nullptr;
}

void ChooseEntry(HWND combo, int entry)
{
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
    SendMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

bool Visible(HWND hwnd)
{
    return hwnd && (GetWindowLongA(hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

void PostCommand(HWND dialog, int id, int code)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, code),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

HWND ToolTipFor(HWND control)
{
    struct Search {
        HWND control;
        HWND found;
    } search = {control, nullptr};
    const DWORD thread = GetWindowThreadProcessId(control, nullptr);
    EnumThreadWindows(thread, [](HWND hwnd, LPARAM lParam) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lParam);
        char cls[64] = "";
        GetClassNameA(hwnd, cls, sizeof cls);
        if (lstrcmpiA(cls, TOOLTIPS_CLASSA) != 0)
            return TRUE;
        const int tools = static_cast<int>(SendMessageA(hwnd, TTM_GETTOOLCOUNT, 0, 0));
        for (int i = 0; i < tools; ++i) {
            TOOLINFOA tool = {};
            tool.cbSize = sizeof tool;
            if (SendMessageA(hwnd, TTM_ENUMTOOLSA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tool)) &&
                (tool.uFlags & TTF_IDISHWND) && reinterpret_cast<HWND>(tool.uId) == s->control) {
                s->found = hwnd;
                return FALSE;
            }
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void PressKey(HWND window, WORD key)
{
    SetForegroundWindow(window);
    WaitUntil([&] { return GetForegroundWindow() == window; }, 2000);
    INPUT input[2] = {};
    input[0].type = INPUT_KEYBOARD;
    input[0].ki.wVk = key;
    input[1] = input[0];
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

bool ClickTickBox(HWND list, int item, int clicks)
{
    RECT bounds = {LVIR_BOUNDS, 0, 0, 0};
    if (!SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&bounds)))
        return false;
    // The box's place differs between views and versions of the control: ask.
    for (int y = bounds.top + 1; y < bounds.bottom; y += 2) {
        for (int x = bounds.left + 1; x < bounds.right; x += 2) {
            LVHITTESTINFO hit = {};
            hit.pt = {x, y};
            const int found = static_cast<int>(SendMessageA(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
            if (found != item || !(hit.flags & LVHT_ONITEMSTATEICON))
                continue;
            const LPARAM at = MAKELPARAM(x, y);
            PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
            PostMessageA(list, WM_LBUTTONUP, 0, at);
            if (clicks == 2) {
                PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
                PostMessageA(list, WM_LBUTTONUP, 0, at);
            }
            return true;
        }
    }
    return false;
}

COLORREF PixelAt(HWND hwnd, int x, int y)
{
    HDC dc = GetDC(hwnd);
    COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(hwnd, dc);
    return colour;
}

// ---------------------------------------------------------------------------

TempFolder::TempFolder(const char* name)
{
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    std::ostringstream path;
    path << base << "quorvane-test-" << GetCurrentProcessId() << "-" << name;
    m_path = path.str();
    RemoveTree(m_path);
    CreateDirectoryA(m_path.c_str(), nullptr);
}

TempFolder::~TempFolder()
{
    RemoveTree(m_path);
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(entry.cFileName);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return names;
}

std::vector<std::string> FilesBelow(const std::string& folder)
{
    std::vector<std::string> names;
    std::vector<std::string> walk{""};
    while (!walk.empty()) {
        const std::string at = walk.back();
        walk.pop_back();
        WIN32_FIND_DATAA entry;
        HANDLE find = FindFirstFileA((folder + at + "\\*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE)
            continue;
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                walk.push_back(at + "\\" + name);
            else
                names.push_back((at + "\\" + name).substr(1));
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    return names;
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveTree(const std::string& path)
{
    DWORD attrs = GetFileAttributesA(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES)
        return;
    if (!(attrs & FILE_ATTRIBUTE_DIRECTORY) || (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileA(path.c_str()))
            RemoveDirectoryA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name != "." && name != "..")
                RemoveTree(path + "\\" + name);
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

}  // namespace uitest
