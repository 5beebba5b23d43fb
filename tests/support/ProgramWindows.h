// The real program's windows, found from outside its process: its main
// window and its message boxes. For tests that start quorvane.exe itself.
#pragma once

#include <windows.h>

namespace uitest {

// The program's main window, or nullptr.
HWND ProgramMainWindow(DWORD pid);
// A message box of the program, or nullptr.
HWND ProgramBox(DWORD pid);

}  // namespace uitest
