// The application object: starts GDI+, keeps the program to one running
// copy per log-on, runs the main window and stops GDI+ again.
#pragma once

#include <windows.h>

#include "Framework.h"

// Filled by GdiplusStartup, handed back to GdiplusShutdown.
extern ULONG_PTR g_gdiplusToken;

// The running copy is found by this mutex, and its window by its caption.
extern const char g_szInstanceMutex[];
extern const char g_szMainCaption[];

class CRecoveryApp : public CWinApp {
public:
    CRecoveryApp();

    BOOL InitInstance() override;
    int Run() override;
    int ExitInstance() override;

protected:
    BOOL ShowMainWindow();
};
