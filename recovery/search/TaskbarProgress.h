// The same progress on the window's taskbar button, where Windows offers
// it (ITaskbarList3, Windows 7 and later). Where it is missing, as under
// Wine, every call does nothing.
#pragma once

#include <windows.h>

struct ITaskbarList3;

class CTaskbarProgress {
public:
    CTaskbarProgress() = default;
    ~CTaskbarProgress();
    CTaskbarProgress(const CTaskbarProgress&) = delete;
    CTaskbarProgress& operator=(const CTaskbarProgress&) = delete;

    void Show(HWND window, ULONGLONG done, ULONGLONG total);
    void Clear(HWND window);
    bool Available() const { return m_list != nullptr; }

private:
    bool Connect();

    ITaskbarList3* m_list = nullptr;
    bool m_bTried = false;
    bool m_bComInitialised = false;
    bool m_bShowing = false;
};
