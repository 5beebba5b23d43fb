// The search's progress in the Analysing view: the progress bar filled to
// the share searched, one line beside it below the list, and the taskbar
// button. It reads the engine's progress file of the search; without one
// the view stays as it was. The bar is the window's (the copy's bar the
// rest of the time): the view puts it in its place while it shows and back
// at the copy's place when it goes.
#pragma once

#include <windows.h>

#include "Framework.h"
#include "LinkLabel.h"
#include "SearchProgress.h"
#include "TaskbarProgress.h"
#include "WindowPlaces.h"

class CSearchProgressView {
public:
    // Makes the line (control id lineId) under window, hidden, in the
    // font and colour of styleFrom; bar is the window's progress bar.
    void Create(HWND window, UINT lineId, CWindowPlaces& places, CProgressCtrl& bar, CLinkLabel& styleFrom);

    // A search writing its progress into this folder begins.
    void Begin(const CString& workFolder) { m_progress.Begin(workFolder); }
    // Shows the latest progress, if the engine has written any since.
    void Update();
    // The search is over: the bar goes back to the copy's place, the line
    // and the taskbar button's progress go.
    void Hide();
    // The window moved to a screen of this many dots per inch: the line's
    // font follows (its place follows with the window's places).
    void Rescale(UINT dpi);
    // Whether the bar and the line show the search's progress.
    bool Shown() const { return m_bShown; }

private:
    HWND m_window = nullptr;
    CWindowPlaces* m_places = nullptr;
    CProgressCtrl* m_bar = nullptr;
    CLinkLabel m_line;
    CSearchProgress m_progress;
    CTaskbarProgress m_taskbar;
    bool m_bShown = false;
};
