#include "SearchProgressView.h"

void CSearchProgressView::Create(HWND window, UINT lineId, CWindowPlaces& places, CProgressCtrl& bar,
                                 CLinkLabel& styleFrom)
{
    m_window = window;
    m_places = &places;
    m_bar = &bar;
    // Below the Cancel button's row, where nothing else is during the
    // search: the bar from the list's left edge, the line beside it.
    const RECT line = places.Rect(CWindowPlaces::SearchLine);
    HWND label = CreateWindowExA(0, "STATIC", "", WS_CHILD | SS_LEFT, line.left, line.top, line.right - line.left,
                                 line.bottom - line.top, window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(lineId)),
                                 AfxGetInstanceHandle(), nullptr);
    if (!label)
        return;
    m_line.SubclassWindow(label);
    places.Put(m_line, CWindowPlaces::SearchLine, FALSE);
    m_line.SetTransparent(TRUE)
        .SetFaceName(styleFrom.GetLogFont().lfFaceName, 0)
        .SetPointSize(9)
        .SetForeColor(styleFrom.GetForeColor());
}

void CSearchProgressView::Update()
{
    if (!m_bar || !m_progress.Poll())
        return;
    const int permille = m_progress.Permille();
    if (!m_bShown) {
        m_bShown = true;
        m_places->Put(*m_bar, CWindowPlaces::SearchBar);
        m_bar->SetRange32(0, 1000);
        m_bar->SetPos(permille);
        m_bar->ShowWindow(SW_SHOW);
        if (m_line.GetSafeHwnd())
            m_line.ShowWindow(SW_SHOW);
    }
    m_bar->SetPos(permille);
    const CString line = m_progress.Line();
    if (m_line.GetSafeHwnd() && m_line.GetWindowText() != line)
        m_line.SetCaption(line);
    m_taskbar.Show(m_window, static_cast<ULONGLONG>(permille), 1000);
}

void CSearchProgressView::Rescale(UINT dpi)
{
    if (m_line.GetSafeHwnd())
        m_line.SetDpi(dpi);
}

void CSearchProgressView::Hide()
{
    m_progress.End();
    m_taskbar.Clear(m_window);
    if (!m_bShown)
        return;
    m_bShown = false;
    if (m_line.GetSafeHwnd()) {
        m_line.SetCaption("");
        m_line.ShowWindow(SW_HIDE);
    }
    // Back where the Recovering view expects it.
    m_bar->ShowWindow(SW_HIDE);
    m_bar->SetPos(0);
    m_places->Put(*m_bar, CWindowPlaces::ProgressBar, FALSE);
}
