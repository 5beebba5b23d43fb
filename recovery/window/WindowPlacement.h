// The main window's size, place and maximised state, kept in settings.ini
// from one run of the program to the next. A place is restored only on a
// screen that is still there; otherwise the window opens where Windows
// puts it, at its template size.
#pragma once

#include <windows.h>

#include "String.h"

class CWindowPlacement {
public:
    // Puts the window (not yet shown) where it was left the last time, no
    // smaller than least; nothing changes when no place is stored, the
    // stored one cannot be read or lies on no screen there is now.
    void Restore(HWND window, SIZE least);
    // The window is about to be shown the first time: where it opens.
    void Opened(HWND window);
    // Stores where the window is, unless it is still where it opened: the
    // window keeps its template size until the user changes it.
    void Remember(HWND window) const;

    // "left,top,right,bottom,maximised" with maximised 0 or 1.
    static CString Format(const RECT& place, bool maximised);
    // False for anything but five whole numbers of that form with a place
    // of some width and height.
    static bool Parse(const CString& text, RECT& place, bool& maximised);

private:
    static bool Read(HWND window, RECT& place, bool& maximised);

    RECT m_opened = {0, 0, 0, 0};
    bool m_openedMaximised = false;
    bool m_known = false;
};
