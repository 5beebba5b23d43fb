#include "WindowPlaces.h"

#include "Dpi.h"
#include "resource.h"

namespace {

RECT ItemRect(HWND dialog, int id)
{
    RECT rc = {0, 0, 0, 0};
    HWND item = ::GetDlgItem(dialog, id);
    if (item) {
        ::GetWindowRect(item, &rc);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rc), 2);
    }
    return rc;
}

int Width(const RECT& rc) { return rc.right - rc.left; }
int Height(const RECT& rc) { return rc.bottom - rc.top; }

RECT Sized(int left, int top, int width, int height)
{
    return RECT{left, top, left + width, top + height};
}

// How each place follows the window's edges.
UINT Anchors(CWindowPlaces::Place place)
{
    using namespace anchor;
    switch (place) {
    case CWindowPlaces::RecoverButton:
    case CWindowPlaces::SearchBar:
    case CWindowPlaces::NewSearch:
    case CWindowPlaces::Arrangement:
        return MoveY;
    case CWindowPlaces::CopyCancel:
        return Move;
    case CWindowPlaces::CopyCheck:
        return MoveY;
    case CWindowPlaces::CopyPlace:
        return MoveY | SizeX;
    case CWindowPlaces::CopyBrowse:
        return Move;
    case CWindowPlaces::OpenCopy:
        return None;
    case CWindowPlaces::ProgressBar:
    case CWindowPlaces::ProgressText:
    case CWindowPlaces::TipText:
    case CWindowPlaces::SearchLine:
    case CWindowPlaces::LastSearchLink:
        return MoveY | SizeX;
    case CWindowPlaces::FilterBar:
    case CWindowPlaces::CountLine:
        return SizeX;
    case CWindowPlaces::PictureList:
    case CWindowPlaces::PictureListShort:
        return Size;
    case CWindowPlaces::Status:
    case CWindowPlaces::Loading:
    case CWindowPlaces::SelectAll:
    default:
        return None;
    }
}

// The template's own controls, where it puts them, and how they follow.
struct TemplateControl {
    int id;
    UINT anchors;
};
const TemplateControl kTemplateControls[] = {
    {IDC_SELECT_DRIVE_LABEL, anchor::None},
    {IDC_RELOAD, anchor::None},
    {IDC_SETTINGS_LINK, anchor::MoveX},
    {IDC_HELP_LINK, anchor::MoveX},
    {IDC_DRIVE_LIST, anchor::Size},
    {IDC_SAVE_DIR_LABEL, anchor::MoveY},
    {IDC_SAVE_DIR, anchor::MoveY | anchor::SizeX},
    {IDC_BROWSE, anchor::Move},
    {IDC_NEXT, anchor::MoveY},
};

}  // namespace

void CWindowPlaces::Init(HWND dialog, int filterBarHeight, int selectAllWidth)
{
    m_layout.Init(dialog);
    m_dpi = dpi::Of(dialog);
    // The gaps and sizes below are for 96 dots per inch; the template's
    // places are at the screen's already.
    const auto px = [this](int pixels) { return dpi::Scale(pixels, m_dpi); };
    const RECT next = ItemRect(dialog, IDC_NEXT);
    const RECT browse = ItemRect(dialog, IDC_BROWSE);
    const RECT save = ItemRect(dialog, IDC_SAVE_DIR);
    const RECT drives = ItemRect(dialog, IDC_DRIVE_LIST);
    const RECT selectDrive = ItemRect(dialog, IDC_SELECT_DRIVE_LABEL);
    const RECT status = ItemRect(dialog, IDC_STATUS);
    const RECT selectAll = ItemRect(dialog, IDC_SELECT_ALL);
    const RECT settings = ItemRect(dialog, IDC_SETTINGS_LINK);
    const RECT help = ItemRect(dialog, IDC_HELP_LINK);
    const int progressHeight = Height(ItemRect(dialog, IDC_PROGRESS));
    RECT window;
    ::GetWindowRect(dialog, &window);
    m_least = {Width(window), Height(window)};
    for (const TemplateControl& control : kTemplateControls)
        m_layout.Add(::GetDlgItem(dialog, control.id), control.anchors);

    m_places[RecoverButton] = next;
    m_places[Status] = Sized(selectDrive.left, px(5), Width(status), Height(selectDrive) + px(5));
    const int loadingWidth = Width(selectDrive) + px(30);
    const int loadingHeight = Height(selectDrive) + px(10);
    m_places[Loading] = Sized((Width(window) - loadingWidth) / 2, (Height(window) - loadingHeight) / 2, loadingWidth,
                              loadingHeight);

    // The copy's bar and line take the save folder's row and the one above.
    const int progressTop = next.bottom + px(15) - progressHeight;
    m_places[ProgressBar] = Sized(next.left, progressTop, Width(save), progressHeight);
    m_places[ProgressText] = {next.left, progressTop - px(25), next.left + Width(save), progressTop - px(5)};
    m_places[CopyCancel] = Sized(browse.left, progressTop, Width(next), Height(next));
    m_places[TipText] = {next.right + px(5), next.top, next.left + Width(save) + px(80), next.bottom};

    // The search's bar from the list's left edge, its line beside it. The
    // line takes the room across and down to the window's edges: a long one (the
    // disk's troubles told in full) wraps there rather than being cut off.
    // Three lines of it fit at the least size.
    CRow searchRow(next.left, next.bottom + px(4));
    m_places[SearchBar] = searchRow.Next(px(220), px(14), px(10));
    RECT client;
    ::GetClientRect(dialog, &client);
    const int lineTop = next.bottom + px(4) - px(2);
    const int lineHeight = client.bottom - lineTop > px(18) ? client.bottom - lineTop : px(18);
    // It reaches the window's right edge, less the margin the lists keep.
    m_places[SearchLine] = searchRow.Next(client.right - drives.left - searchRow.X(), lineHeight, 0, -px(2));

    // New search and the last search's link after Next, in its row.
    m_places[NewSearch] = Sized(next.right + px(10), next.top, Width(next) + px(20), Height(next));
    // The arrangement's choice after New search; its height takes in the
    // dropped list.
    const RECT& newSearch = m_places[NewSearch];
    m_places[Arrangement] = Sized(newSearch.right + px(10), next.top, 2 * Width(next) + px(20), 6 * Height(next));
    const int linkHeight = Height(help) + px(4);
    const int linkTop = next.top + (Height(next) - linkHeight) / 2;
    m_places[LastSearchLink] = {next.right + px(12), linkTop, drives.right, linkTop + linkHeight};

    // The finds: the select-all label and the count line after it, the
    // filter bar under them and the list under it, as wide as the drive list.
    const RECT& statusPlace = m_places[Status];
    m_places[SelectAll] = Sized(drives.left, statusPlace.bottom + px(3), selectAllWidth, Height(selectAll));
    const RECT& selectAllPlace = m_places[SelectAll];
    m_places[CountLine] = {selectAllPlace.right + px(12), selectAllPlace.top, settings.left - px(12),
                           selectAllPlace.bottom};
    const int barTop = statusPlace.bottom + Height(selectAll) + px(5);
    m_places[FilterBar] = {drives.left, barTop, drives.right, barTop + filterBarHeight};
    const int listTop = barTop + filterBarHeight + px(2);
    m_places[PictureList] = {drives.left, listTop, drives.right, drives.bottom + px(40)};
    m_places[PictureListShort] = {drives.left, listTop, drives.right, drives.bottom};

    // The copy of the disk: a row under Next, its folder up to a Browse
    // under the save folder's.
    const int copyTop = next.bottom + px(6);
    m_places[CopyCheck] = Sized(next.left, copyTop, px(290), Height(save) + px(2));
    m_places[CopyBrowse] = Sized(browse.left, copyTop, Width(browse), Height(browse));
    m_places[CopyPlace] = {next.left + px(296), copyTop + px(1), browse.left - px(8), copyTop + px(1) + Height(save)};
    const RECT reload = ItemRect(dialog, IDC_RELOAD);
    m_places[OpenCopy] = Sized(reload.right + px(10), reload.top, Width(reload) + px(40), Height(reload));
}

void CWindowPlaces::Rescale(UINT to)
{
    if (!to || to == m_dpi)
        return;
    m_layout.Rescale(m_dpi, to);
    for (RECT& place : m_places)
        place = dpi::Rescale(place, m_dpi, to);
    m_least = {dpi::Rescale(m_least.cx, m_dpi, to), dpi::Rescale(m_least.cy, m_dpi, to)};
    m_dpi = to;
}

RECT CWindowPlaces::Rect(Place place) const
{
    if (place == Loading) {
        // Moved to the right and down by as much as the window grew, then
        // back by half of that.
        const RECT moved = m_layout.Follow(m_places[place], anchor::Move);
        RECT rc = m_places[place];
        ::OffsetRect(&rc, (moved.left - rc.left) / 2, (moved.top - rc.top) / 2);
        return rc;
    }
    return m_layout.Follow(m_places[place], Anchors(place));
}

void CWindowPlaces::Put(HWND control, Place place, BOOL repaint)
{
    if (place == Loading) {
        m_loading = control;
        const RECT rc = Rect(place);
        ::MoveWindow(control, rc.left, rc.top, Width(rc), Height(rc), repaint);
        return;
    }
    m_layout.Add(control, m_places[place], Anchors(place), repaint);
}

void CWindowPlaces::Resize(int width, int height)
{
    m_layout.Resize(width, height);
    if (m_loading && ::IsWindow(m_loading))
        Put(m_loading, Loading);
}

void CWindowPlaces::LimitSize(MINMAXINFO* info) const
{
    // Asked before the places are known too: then Windows' own limits stand.
    if (!info || m_least.cx <= 0 || m_least.cy <= 0)
        return;
    // Never more than the screen holds: a least size beyond it (a small
    // screen at a high resolution) would make the maximised window larger
    // than the screen, its bottom rows out of sight.
    const LONG wide = info->ptMaxSize.x > 0 ? info->ptMaxSize.x : m_least.cx;
    const LONG high = info->ptMaxSize.y > 0 ? info->ptMaxSize.y : m_least.cy;
    info->ptMinTrackSize.x = m_least.cx < wide ? m_least.cx : wide;
    info->ptMinTrackSize.y = m_least.cy < high ? m_least.cy : high;
}
