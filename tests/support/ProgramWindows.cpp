#include "ProgramWindows.h"

#include "UiTest.h"
#include "resource.h"

namespace uitest {

HWND ProgramMainWindow(DWORD pid)
{
    return FindTopWindow(pid, [](HWND hwnd) { return GetDlgItem(hwnd, IDC_DRIVE_LIST) && Text(hwnd) == "Quorvane"; });
}

HWND ProgramBox(DWORD pid)
{
    return FindTopWindow(pid, [](HWND hwnd) {
        char cls[32] = {};
        GetClassNameA(hwnd, cls, sizeof cls);
        return lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(hwnd) && GetDlgItem(hwnd, 0xFFFF) &&
               !GetDlgItem(hwnd, IDC_DRIVE_LIST);
    });
}

}  // namespace uitest
