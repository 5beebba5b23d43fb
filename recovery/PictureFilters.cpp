// What the picture list shows: the filter bar above it chooses which finds
// and in what order (m_view), and the count line beside the select-all
// label says how many are shown, found and ticked. A picture hidden by a
// filter keeps its tick and comes back as it was when the filter is
// cleared; Select All, Recover and the count act on what is shown.
#include "RecoveryDlg.h"

#include "PictureDescription.h"
#include "resource.h"

namespace {

// The count line steps at most this often during a search.
const DWORD kCountStepMs = 500;

}  // namespace

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
    m_filterBar.SetTypeCounts(m_pictures);
    m_view.Set(m_pictures, m_filterBar.Filter(), m_filterBar.Sort());
}

void CRecoveryDlg::OnFilterChanged()
{
    ApplyFilter();
}

void CRecoveryDlg::ApplyFilter()
{
    // The control's selection is by place, and the places change: the
    // focused picture is selected again where it goes.
    const int focusedAt = m_listPictures.GetNextItem(-1, LVNI_FOCUSED);
    const int focused = m_view.ItemAt(focusedAt);
    m_view.Set(m_pictures, m_filterBar.Filter(), m_filterBar.Sort());
    // Some list controls (Wine's) visit every item to clear a selection:
    // only when there is one.
    if (focusedAt >= 0 || m_listPictures.GetSelectedCount() > 0)
        m_listPictures.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    // Some list controls (Wine's) place the items of an owner-data icon view
    // only when asked to arrange them, and draw each item as they place it:
    // arranged only when the list grows, with drawing held until every item
    // has its place (50,000 items otherwise took seconds).
    const int shownBefore = m_listPictures.GetItemCount();
    m_listPictures.SetRedraw(FALSE);
    m_listPictures.SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(m_view.Count()),
                               LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    if (m_view.Count() > shownBefore)
        m_listPictures.SendMessage(LVM_ARRANGE, LVA_DEFAULT);
    m_listPictures.SetRedraw(TRUE);
    m_listPictures.Invalidate(TRUE);
    m_bListReordered = false;
    const int position = m_view.PositionOf(focused);
    if (position >= 0) {
        m_listPictures.SetItemState(position, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        m_listPictures.EnsureVisible(position, FALSE);
    } else if (m_view.Count() > 0) {
        m_listPictures.EnsureVisible(0, FALSE);
    }
    ShowCountLine(true);
    if (m_preview.IsOpen())
        m_preview.OnPicturesChanged();
}

void CRecoveryDlg::ShowCountLine(bool now)
{
    if (!m_lblCount.IsWindow())
        return;
    if (!now && GetTickCount() - m_dwLastCountStep < kCountStepMs)
        return;
    m_dwLastCountStep = GetTickCount();
    int ticked = 0;
    uint64_t bytes = 0;
    for (int item : m_view.Items()) {
        if (m_pictures.Ticked(item)) {
            ++ticked;
            bytes += m_pictures.Bytes(item);
        }
    }
    CString line = CountLine(m_view.Count(), m_pictures.Count(), ticked, bytes);
    if (m_recovered.Count() > 0)
        line += " - " + GroupedNumber(static_cast<uint64_t>(m_recovered.Count())) + " recovered";
    if (m_pictures.DamagedCount() > 0)
        line += " - " + GroupedNumber(static_cast<uint64_t>(m_pictures.DamagedCount())) + " damaged";
    if (line != m_lblCount.GetWindowText())
        m_lblCount.SetCaption(line);
}
