// Pieces shared by the tests that open the main window: GDI+ for the
// thumbnails, and a way to run code on the window's own thread.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <functional>

namespace uitest {

// Thumbnails need the image library in the test process, as the program
// starts it in its application object.
class GdiplusEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&m_token, &input, nullptr);
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(m_token); }

private:
    ULONG_PTR m_token = 0;
};

// A window class whose members a test may touch, but only on the window's
// own thread: RunOnUi sends the work there and returns when it is done.
template <class Window>
class RunsOnUi : public Window {
public:
    void RunOnUi(const std::function<void()>& fn)
    {
        ::SendMessageA(this->m_hWnd, kRunOnUi, 0, reinterpret_cast<LPARAM>(&fn));
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == kRunOnUi) {
            (*reinterpret_cast<const std::function<void()>*>(lParam))();
            return 0;
        }
        return Window::WindowProc(message, wParam, lParam);
    }

private:
    static const UINT kRunOnUi = WM_APP + 91;
};

}  // namespace uitest
