// The search's progress in the Analysing view: the progress bar filled to
// the share searched, one line below the list, and the taskbar button.
// Without a progress file of this search the view stays as it was.
#include "RecoveryDlg.h"

#include "resource.h"

void CRecoveryDlg::InitSearchProgressLayout()
{
    // Below the Cancel button's row, where nothing else is during the
    // search: the bar from the list's left edge, the line beside it.
    const RECT line = m_places.Rect(CWindowPlaces::SearchLine);
    HWND label = CreateWindowExA(0, "STATIC", "", WS_CHILD | SS_LEFT, line.left, line.top, line.right - line.left,
                                 line.bottom - line.top, m_hWnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SEARCH_PROGRESS)),
                                 AfxGetInstanceHandle(), nullptr);
    if (!label)
        return;
    m_lblSearchProgress.SubclassWindow(label);
    m_places.Put(m_lblSearchProgress, CWindowPlaces::SearchLine, FALSE);
    m_lblSearchProgress.SetTransparent(TRUE)
        .SetFaceName(m_lblProgress.GetLogFont().lfFaceName, 0)
        .SetPointSize(9)
        .SetForeColor(m_lblProgress.GetForeColor());
}

void CRecoveryDlg::ShowSearchProgress()
{
    if (!m_state.searching || !m_searchProgress.Poll())
        return;
    const int permille = m_searchProgress.Permille();
    if (!m_bSearchProgressShown) {
        m_bSearchProgressShown = true;
        m_places.Put(m_progress, CWindowPlaces::SearchBar);
        m_progress.SetRange32(0, 1000);
        m_progress.SetPos(permille);
        m_progress.ShowWindow(SW_SHOW);
        m_lblSearchProgress.ShowWindow(SW_SHOW);
    }
    m_progress.SetPos(permille);
    const CString line = m_searchProgress.Line();
    if (m_lblSearchProgress.GetWindowText() != line)
        m_lblSearchProgress.SetCaption(line);
    m_taskbar.Show(m_hWnd, static_cast<ULONGLONG>(permille), 1000);
}

void CRecoveryDlg::HideSearchProgress()
{
    m_searchProgress.End();
    m_taskbar.Clear(m_hWnd);
    if (!m_bSearchProgressShown)
        return;
    m_bSearchProgressShown = false;
    m_lblSearchProgress.SetCaption("");
    m_lblSearchProgress.ShowWindow(SW_HIDE);
    // Back where the Recovering view expects it.
    m_progress.ShowWindow(SW_HIDE);
    m_progress.SetPos(0);
    m_places.Put(m_progress, CWindowPlaces::ProgressBar, FALSE);
}
