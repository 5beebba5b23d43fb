#include "WinApp.h"

#include <cstring>

#include "Wnd.h"

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp::CWinApp(const char* pszAppName)
{
    g_pApp = this;
    if (pszAppName) {
        ::lstrcpynA(m_szAppName, pszAppName, MAX_PATH);
        m_pszAppName = m_szAppName;
    }
    m_hInstance = ::GetModuleHandleA(nullptr);
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

void CWinApp::InitApplication(HINSTANCE hInstance)
{
    m_hInstance = hInstance;
    if (m_pszAppName)
        return;
    if (::LoadStringA(hInstance, AFX_IDS_APP_TITLE, m_szAppName, MAX_PATH) <= 0) {
        char path[MAX_PATH] = {};
        ::GetModuleFileNameA(hInstance, path, MAX_PATH);
        const char* name = std::strrchr(path, '\\');
        ::lstrcpynA(m_szAppName, name ? name + 1 : path, MAX_PATH);
        if (char* dot = std::strrchr(m_szAppName, '.'))
            *dot = '\0';
    }
    m_pszAppName = m_szAppName;
}

int CWinApp::Run()
{
    MSG msg;
    for (;;) {
        BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            m_nExitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1)
            break;
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return m_nExitCode;
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_pApp ? g_pApp->m_hInstance : ::GetModuleHandleA(nullptr);
}

HINSTANCE AfxGetResourceHandle()
{
    return AfxGetInstanceHandle();
}

int AfxMessageBox(const char* text, UINT type)
{
    CWinApp* pApp = AfxGetApp();
    HWND hOwner = nullptr;
    if (pApp && pApp->m_pMainWnd && pApp->m_pMainWnd->m_hWnd) {
        HWND hMain = pApp->m_pMainWnd->m_hWnd;
        HWND hActive = ::GetActiveWindow();
        // The active window is the main window or one of its dialogs.
        hOwner = hActive && (hActive == hMain || ::GetWindow(hActive, GW_OWNER) == hMain) ? hActive : hMain;
    }
    const char* caption = pApp && pApp->m_pszAppName ? pApp->m_pszAppName : "";
    return ::MessageBoxA(hOwner, text ? text : "", caption, type);
}
