// CWinApp: the program's one application object and its message loop.
#pragma once

#include <windows.h>

class CWnd;

#ifndef ID_HELP
#define ID_HELP 0xE146
#endif

// String resource holding the application's name.
#define AFX_IDS_APP_TITLE 0xE000

class CWinApp {
public:
    // Registers this object as the program's application object.
    explicit CWinApp(const char* pszAppName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    // String resource 0xE000, else the executable's base name.
    const char* m_pszAppName = nullptr;

    virtual BOOL InitInstance() { return TRUE; }
    // Message loop until WM_QUIT; returns its exit code.
    virtual int Run();
    // Returns the process exit code (the last WM_QUIT's code).
    virtual int ExitInstance() { return m_nExitCode; }
    // Default help command: the program offers help through its own window.
    void OnHelp() {}

    // Fills m_hInstance and the name; WinMain calls it first.
    void InitApplication(HINSTANCE hInstance);

protected:
    int m_nExitCode = 0;

private:
    char m_szAppName[MAX_PATH] = {};
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
// Caption: the application's name; owner: the main window while it is active.
int AfxMessageBox(const char* text, UINT type = MB_OK);

// Kept for the shape of start-up code; there is nothing to switch on.
inline void AfxEnableControlContainer() {}
