#include "RecoveryApp.h"

#include <objidl.h>
#include <gdiplus.h>

#include "RecoveryDlg.h"

ULONG_PTR g_gdiplusToken = 0;
const char g_szInstanceMutex[] = "Quorvane Mutex";
const char g_szMainCaption[] = "Quorvane";

CRecoveryApp::CRecoveryApp() : CWinApp(nullptr) {}

BOOL CRecoveryApp::InitInstance()
{
    AfxEnableControlContainer();

    // Started before the instance check: ExitInstance stops it on every road,
    // a refused second copy included.
    Gdiplus::GdiplusStartupInput input;
    input.GdiplusVersion = 1;
    input.DebugEventCallback = nullptr;
    input.SuppressBackgroundThread = FALSE;
    input.SuppressExternalCodecs = FALSE;
    Gdiplus::GdiplusStartup(&g_gdiplusToken, &input, nullptr);

    // The handle stays open for the life of the process: the name is what
    // tells later copies that this one runs.
    HANDLE mutex = ::CreateMutexA(nullptr, TRUE, g_szInstanceMutex);
    if (!mutex)
        return TRUE;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) {
        ::ReleaseMutex(mutex);
        return TRUE;
    }

    // Another copy runs. Owning the mutex keeps concurrent second copies
    // from raising the window at the same time.
    ::WaitForSingleObject(mutex, INFINITE);
    HWND running = ::FindWindowA(nullptr, g_szMainCaption);
    if (running) {
        ::ShowWindow(running, SW_SHOWNORMAL);
        ::SetFocus(running);
        ::SetForegroundWindow(running);
    }
    ::ReleaseMutex(mutex);
    return FALSE;
}

int CRecoveryApp::Run()
{
    ShowMainWindow();
    // The main window's destruction has posted the quit message, so the
    // loop ends at once.
    return CWinApp::Run();
}

BOOL CRecoveryApp::ShowMainWindow()
{
    CRecoveryDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // Normally cleared when the window is destroyed; never leave a pointer
    // to an object that is about to go.
    if (m_pMainWnd == &dlg)
        m_pMainWnd = nullptr;
    return TRUE;
}

int CRecoveryApp::ExitInstance()
{
    Gdiplus::GdiplusShutdown(g_gdiplusToken);
    return CWinApp::ExitInstance();
}
