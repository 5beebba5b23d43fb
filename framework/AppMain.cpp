// The program's entry point, in a library of its own so that test programs
// with their own main() do not take it in.
#include <windows.h>

#include "WinApp.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return -1;
    pApp->InitApplication(hInstance);
    if (pApp->InitInstance())
        pApp->Run();
    return pApp->ExitInstance();
}
