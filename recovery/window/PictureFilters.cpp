// What the picture list shows: the filter bar above it chooses which finds
// and in what order (m_view), and the count line beside the select-all
// label says how many are shown, found and ticked. A picture hidden by a
// filter keeps its tick and comes back as it was when the filter is
// cleared; Select All, Recover and the count act on what is shown.
#include "RecoveryDlg.h"

#include "PictureDescription.h"
#include "resource.h"

void CRecoveryDlg::InitFilterBar()
{
    const RECT zero = {0, 0, 10, 10};
    m_filterBar.Create(*this, zero, IDC_FILTER_BAR);

    HWND count = CreateWindowExA(0, "STATIC", "", WS_CHILD | SS_LEFT, 0, 0, 10, 10, m_hWnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PICTURE_COUNT)),
                                 AfxGetInstanceHandle(), nullptr);
    if (count && m_lblCount.SubclassWindow(count)) {
        m_lblCount.SetTransparent(TRUE)
            .SetFaceName(m_lblSelectAll.GetLogFont().lfFaceName, 0)
            .SetPointSize(9)
            .SetForeColor(0xFFFFFF);
    }
}

void CRecoveryDlg::PlaceFilterBar()
{
    // The bar takes the top of the list's room; the count line goes after
    // the select-all label, up to the Settings link.
    m_places.Put(m_filterBar, CWindowPlaces::FilterBar);
    m_filterBar.ShowWindow(SW_SHOW);
    m_places.Put(m_lblCount, CWindowPlaces::CountLine);
    m_lblCount.ShowWindow(SW_SHOW);
}

void CRecoveryDlg::ResetFilters()
{
    m_filterBar.Reset();
    m_filterBar.SetTypeCounts(m_list.Items());
    m_list.ResetView(m_filterBar.Filter(), m_filterBar.Sort());
}

void CRecoveryDlg::ApplyFilter()
{
    m_list.ApplyFilter(m_filterBar.Filter(), m_filterBar.Sort());
    ShowCountLine(true);
    if (m_preview.IsOpen())
        m_preview.OnPicturesChanged();
}

void CRecoveryDlg::ShowCountLine(bool now)
{
    if (!m_lblCount.IsWindow())
        return;
    if (!m_pacer.CountLineDue(now, GetTickCount()))
        return;
    const CPictureList::Counts counts = m_list.Count();
    CString line = CountLine(counts.shown, counts.found, counts.ticked, counts.tickedBytes);
    if (counts.recovered > 0)
        line += " - " + GroupedNumber(static_cast<uint64_t>(counts.recovered)) + " recovered";
    if (counts.damaged > 0)
        line += " - " + GroupedNumber(static_cast<uint64_t>(counts.damaged)) + " damaged";
    if (line != m_lblCount.GetWindowText())
        m_lblCount.SetCaption(line);
}
