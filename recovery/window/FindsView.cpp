// A picture hidden by a filter keeps its tick and comes back as it was when
// the filter is cleared; Select All, Recover and the count act on what is
// shown.
#include "FindsView.h"

#include <cstdlib>
#include <string>

#include "PictureDescription.h"
#include "SettingsFiles.h"
#include "resource.h"

namespace {

// The details view's word in settings.ini; the thumbnails' is their size.
const char kDetails[] = "details";

}  // namespace

CFindsView::CFindsView(IWindowHost& host, CWindowState& state, CPictureList& list, CPicturePreview& preview,
                       CMainView& view, CIntakePacer& pacer)
    : m_host(host), m_state(state), m_list(list), m_preview(preview), m_view(view), m_pacer(pacer)
{
}

bool CFindsView::OnCommand(UINT id, UINT code)
{
    if (id == IDC_FILTER_BAR && code == CFilterBar::kFilterChanged)
        ApplyFilter();
    else if (id == IDC_SELECT_ALL && code == STN_CLICKED)
        TickShown(m_state.selectAllTicks);
    else
        return false;
    return true;
}

bool CFindsView::OnKey(const MSG& msg)
{
    // Ctrl+A ticks the pictures shown, as Select All does when it ticks.
    if (msg.message != WM_KEYDOWN || msg.wParam != 'A' || ::GetKeyState(VK_CONTROL) >= 0 ||
        ::GetKeyState(VK_MENU) < 0 || !m_view.TicksByKeyboard(m_state))
        return false;
    TickShown(true);
    return true;
}

void CFindsView::TickShown(bool tick)
{
    m_list.TickShown(tick);
    ShowCountLine(true);
    PicturesChanged();
    m_state.selectAllTicks = !tick;
    m_host.ShowState();
}

void CFindsView::Attach(HWND window)
{
    m_window = window;
    // The list keeps no items of its own (LVS_OWNERDATA): it asks for each
    // one's image and tick as it draws it.
    m_list.Attach(m_view.PictureListControl(), *this);
    // The view the user chose last time.
    const CString stored = ReadListView();
    const bool details = stored == kDetails;
    const int view = details ? 0 : std::atoi(stored);
    if (details || (view > 0 && view != kThumbSize))
        ShowView(view);
}

bool CFindsView::ShowView(int view)
{
    if (view != 0 && !m_list.SetThumbnailSize(view))
        return false;
    m_list.ShowDetails(view == 0);
    m_view.Filters().ShowView(view);
    return true;
}

void CFindsView::OnThumbnailSizeChosen(int box)
{
    m_view.Filters().ShowView(box);
    WriteListView(CString(std::to_string(box)));
}

void CFindsView::OnSortChosen(PictureSort sort)
{
    m_view.Filters().ShowSort(sort);
    PicturesChanged();
}

void CFindsView::ResetFilters()
{
    m_view.Filters().Reset();
    m_view.Filters().SetTypeCounts(m_list.Items());
    m_list.ResetView(m_view.Filters().Filter(), m_view.Filters().Sort());
}

void CFindsView::ApplyFilter()
{
    // The view's choice changed, not what is shown.
    const int view = m_view.Filters().View();
    if (view != (m_list.ShowsDetails() ? 0 : m_list.ThumbnailSize())) {
        if (ShowView(view))
            WriteListView(view == 0 ? CString(kDetails) : CString(std::to_string(view)));
        return;
    }
    m_list.ApplyFilter(m_view.Filters().Filter(), m_view.Filters().Sort());
    ShowCountLine(true);
    PicturesChanged();
}

void CFindsView::ShowCountLine(bool now)
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

void CFindsView::PicturesChanged()
{
    // Its place among the pictures, and its Next button, may change.
    if (m_preview.IsOpen())
        m_preview.OnPicturesChanged();
}

void CFindsView::OnTicksChanged()
{
    ShowCountLine(true);
}

void CFindsView::OnOpenPicture(int position)
{
    const int item = m_list.ItemAt(position);
    if (item >= 0)
        m_preview.Open(m_window, m_list, item);
}
