#include "WindowPlaces.h"

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
    m_places[Status] = Sized(selectDrive.left, 5, Width(status), Height(selectDrive) + 5);
    const int loadingWidth = Width(selectDrive) + 30;
    const int loadingHeight = Height(selectDrive) + 10;
    m_places[Loading] = Sized((Width(window) - loadingWidth) / 2, (Height(window) - loadingHeight) / 2, loadingWidth,
                              loadingHeight);

    // The copy's bar and line take the save folder's row and the one above.
    const int progressTop = next.bottom + 15 - progressHeight;
    m_places[ProgressBar] = Sized(next.left, progressTop, Width(save), progressHeight);
    m_places[ProgressText] = {next.left, progressTop - 25, next.left + Width(save), progressTop - 5};
    m_places[CopyCancel] = Sized(browse.left, progressTop, Width(next), Height(next));
    m_places[TipText] = {next.right + 5, next.top, next.left + Width(save) + 80, next.bottom};

    // The search's bar from the list's left edge, its line beside it.
    CRow searchRow(next.left, next.bottom + 8);
    m_places[SearchBar] = searchRow.Next(220, 14, 10);
    m_places[SearchLine] = searchRow.Next(save.right + 80 - searchRow.X(), 18, 0, -2);

    // New search and the last search's link after Next, in its row.
    m_places[NewSearch] = Sized(next.right + 10, next.top, Width(next) + 20, Height(next));
    // The arrangement's choice after New search; its height takes in the
    // dropped list.
    const RECT& newSearch = m_places[NewSearch];
    m_places[Arrangement] = Sized(newSearch.right + 10, next.top, 2 * Width(next) + 20, 6 * Height(next));
    const int linkHeight = Height(help) + 4;
    const int linkTop = next.top + (Height(next) - linkHeight) / 2;
    m_places[LastSearchLink] = {next.right + 12, linkTop, drives.right, linkTop + linkHeight};

    // The finds: the select-all label and the count line after it, the
    // filter bar under them and the list under it, as wide as the drive list.
    const RECT& statusPlace = m_places[Status];
    m_places[SelectAll] = Sized(drives.left, statusPlace.bottom + 3, selectAllWidth, Height(selectAll));
    const RECT& selectAllPlace = m_places[SelectAll];
    m_places[CountLine] = {selectAllPlace.right + 12, selectAllPlace.top, settings.left - 12, selectAllPlace.bottom};
    const int barTop = statusPlace.bottom + Height(selectAll) + 5;
    m_places[FilterBar] = {drives.left, barTop, drives.right, barTop + filterBarHeight};
    const int listTop = barTop + filterBarHeight + 2;
    m_places[PictureList] = {drives.left, listTop, drives.right, drives.bottom + 40};
    m_places[PictureListShort] = {drives.left, listTop, drives.right, drives.bottom};

    // The copy of the disk: a row under Next, its folder up to a Browse
    // under the save folder's.
    const int copyTop = next.bottom + 6;
    m_places[CopyCheck] = Sized(next.left, copyTop, 290, Height(save) + 2);
    m_places[CopyBrowse] = Sized(browse.left, copyTop, Width(browse), Height(browse));
    m_places[CopyPlace] = {next.left + 296, copyTop + 1, browse.left - 8, copyTop + 1 + Height(save)};
    const RECT reload = ItemRect(dialog, IDC_RELOAD);
    m_places[OpenCopy] = Sized(reload.right + 10, reload.top, Width(reload) + 40, Height(reload));
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
    info->ptMinTrackSize.x = m_least.cx;
    info->ptMinTrackSize.y = m_least.cy;
}
