// What the picture list shows: the filter bar above it chooses which finds
// and in what order (m_view), and the count line beside the select-all
// label says how many are shown, found and ticked. A picture hidden by a
// filter keeps its tick and comes back as it was when the filter is
// cleared; Select All, Recover and the count act on what is shown.
#include "RecoveryDlg.h"

#include "PictureDescription.h"

void CRecoveryDlg::ResetFilters()
{
    m_view.Filters().Reset();
    m_view.Filters().SetTypeCounts(m_list.Items());
    m_list.ResetView(m_view.Filters().Filter(), m_view.Filters().Sort());
}

void CRecoveryDlg::ApplyFilter()
{
    m_list.ApplyFilter(m_view.Filters().Filter(), m_view.Filters().Sort());
    ShowCountLine(true);
    if (m_preview.IsOpen())
        m_preview.OnPicturesChanged();
}

void CRecoveryDlg::ShowCountLine(bool now)
{
    if (!m_view.CountLineMade())
        return;
    if (!m_pacer.CountLineDue(now, GetTickCount()))
        return;
    const CPictureList::Counts counts = m_list.Count();
    CString line = CountLine(counts.shown, counts.found, counts.ticked, counts.tickedBytes);
    if (counts.recovered > 0)
        line += " - " + GroupedNumber(static_cast<uint64_t>(counts.recovered)) + " recovered";
    if (counts.damaged > 0)
        line += " - " + GroupedNumber(static_cast<uint64_t>(counts.damaged)) + " damaged";
    m_view.ShowCountLine(line);
}
