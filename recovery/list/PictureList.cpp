// The picture list's control and the pictures it answers from. Longer than
// most files here (about 500 lines): every notification of one owner-data
// control, the ways Wine's control has to be asked, and the model they read
// belong together; the tooltip is CPictureTip's.
#include "PictureList.h"

#include <algorithm>

#include "Dpi.h"
#include "PictureColumns.h"
#include "PictureDescription.h"

namespace {

// More slots than a screen of thumbnails, so that the ones on screen keep
// theirs while the list is drawn (a 4K screen shows some 120 large ones).
const int kThumbnailSlots = 256;

// box: the side in pixels. Boxes of 384 and 512 pixels (large ones at 150%
// and 200%) fill a screen with fewer of them.
int SlotsFor(int box)
{
    return box >= 384 ? 96 : box >= 256 ? 160 : box >= 128 ? 192 : kThumbnailSlots;
}

bool IsThumbnailSize(int box)
{
    for (int size : kThumbSizes) {
        if (size == box)
            return true;
    }
    return false;
}

// Small thumbnails handed to the cache and not written yet, at most: the
// intake waits for the cache past this (12 KB each).
const size_t kMostWaitingSmall = 2048;

const char kRecoveredLine[] = "\r\nAlready recovered into the save folder";

// Copies text into a control's buffer of the A or W kind, cut to fit.
void PutText(bool wide, void* buffer, int capacity, const CString& text)
{
    if (!buffer || capacity <= 0)
        return;
    if (wide) {
        auto* out = static_cast<wchar_t*>(buffer);
        if (!MultiByteToWideChar(CP_ACP, 0, text, -1, out, capacity))
            out[capacity - 1] = L'\0';
        out[capacity - 1] = L'\0';
    } else {
        lstrcpynA(static_cast<char*>(buffer), text, capacity);
    }
}

void ApplyRecord(CPictureItems& pictures, int item, const FindRecord& record)
{
    if (record.found)
        pictures.SetDamaged(item, record.decodes);
    else
        pictures.SetRecord(item, record.folder, record.deleted, record.damaged, record.decodes);
}

}  // namespace

bool CPictureList::Attach(HWND list, IPictureListHost& host)
{
    m_hList = list;
    m_host = &host;
    m_madeMessage = RegisterWindowMessageA("QuorvaneBoxThumbnailsMade");
    m_dpi = dpi::Of(list);
    if (!m_slots.Handle() && !MakeSlots(m_size) && !m_slots.Handle())
        return false;
    Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
    Send(LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK);
    Send(LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(m_slots.Handle()));
    m_cachedMessage = RegisterWindowMessageA("QuorvaneThumbnailsCached");
    m_boxes.UseCache(&m_cache);
    m_cache.NotifyWhenWritten(list, m_cachedMessage);

    if (!m_tip.Handle())
        m_tip.Create(list);
    return true;
}

void CPictureList::Detach()
{
    if (m_hList)
        Send(LVM_SETIMAGELIST, LVSIL_NORMAL, 0);
}

LRESULT CPictureList::Send(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageA(m_hList, message, wParam, lParam);
}

int CPictureList::NextItem(int after, UINT flags) const
{
    return static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(after), flags));
}

void CPictureList::SetState(int position, UINT state, UINT mask)
{
    LVITEMA item = {};
    item.state = state;
    item.stateMask = mask;
    Send(LVM_SETITEMSTATE, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&item));
}

void CPictureList::Redraw(int position)
{
    Send(LVM_REDRAWITEMS, static_cast<WPARAM>(position), position);
}

bool CPictureList::OnNotify(NMHDR* header, LRESULT& result)
{
    result = 0;
    if (m_tip.Handle() && header->hwndFrom == m_tip.Handle()) {
        // The tip's questions name the list's window, not a control id.
        if (header->code == TTN_GETDISPINFOA || header->code == TTN_GETDISPINFOW) {
            const int picture = m_view.ItemAt(m_tip.Position());
            m_tip.Answer(header, picture >= 0 ? PictureDetails(picture) : CString());
        }
        return true;
    }
    if (!m_hList || header->hwndFrom != m_hList)
        return false;
    switch (header->code) {
    case LVN_GETDISPINFOA:
    case LVN_GETDISPINFOW:
        OnDispInfo(header);
        return true;
    case LVN_ODFINDITEMA:
    case LVN_ODFINDITEMW:
        result = OnFindItem(header);
        return true;
    case NM_CLICK:
        OnClick(header, false);
        return true;
    // The second click of a double click comes as a double click alone.
    case NM_DBLCLK:
        OnClick(header, true);
        return true;
    case LVN_KEYDOWN:
        OnKeyDown(header);
        return true;
    case LVN_BEGINSCROLL:
        m_tip.Hide();
        return true;
    case LVN_COLUMNCLICK:
        OnColumnClick(header);
        return true;
    default:
        return false;
    }
}

bool CPictureList::PreTranslate(const MSG& msg)
{
    if (!m_hList || msg.hwnd != m_hList)
        return false;
    if (msg.message == m_madeMessage && m_madeMessage) {
        OnThumbnailsMade();
        return true;
    }
    if (msg.message == m_cachedMessage && m_cachedMessage) {
        if (!DrawsSmallThumbnails())
            DropCachedSmallThumbnails();
        return true;
    }
    // Ctrl + wheel: larger thumbnails away from the user, smaller towards.
    if (msg.message == WM_MOUSEWHEEL && (GET_KEYSTATE_WPARAM(msg.wParam) & MK_CONTROL)) {
        // From the rows, away from the user: the thumbnails again.
        if (m_details) {
            if (GET_WHEEL_DELTA_WPARAM(msg.wParam) > 0) {
                ShowDetails(false);
                if (m_host)
                    m_host->OnThumbnailSizeChosen(ThumbnailSize());
            }
            return true;
        }
        const int steps = sizeof kThumbSizes / sizeof kThumbSizes[0];
        int at = 0;
        while (at < steps - 1 && kThumbSizes[at] != ThumbnailSize())
            ++at;
        const int to = GET_WHEEL_DELTA_WPARAM(msg.wParam) > 0 ? std::min(at + 1, steps - 1) : std::max(at - 1, 0);
        if (to != at && SetThumbnailSize(kThumbSizes[to]) && m_host)
            m_host->OnThumbnailSizeChosen(kThumbSizes[to]);
        return true;
    }
    // The pointer over the list moves the details' tooltip along; leaving
    // the list or scrolling it takes the tooltip down.
    if (msg.message == WM_MOUSEMOVE || msg.message == WM_LBUTTONDOWN || msg.message == WM_LBUTTONUP ||
        msg.message == WM_RBUTTONDOWN || msg.message == WM_RBUTTONUP || msg.message == WM_MOUSELEAVE)
        TrackTip(msg);
    if (msg.message == WM_MOUSEWHEEL || msg.message == WM_MOUSEHWHEEL || msg.message == WM_VSCROLL ||
        msg.message == WM_HSCROLL || msg.message == WM_NCLBUTTONDOWN || msg.message == WM_KEYDOWN)
        m_tip.Hide();
    // Enter opens the preview; anywhere else it is the dialog's as before.
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_RETURN || !IsWindowVisible(m_hList))
        return false;
    const int focused = NextItem(-1, LVNI_FOCUSED);
    const int selected = NextItem(-1, LVNI_SELECTED);
    const bool focusedSelected =
        focused >= 0 && (Send(LVM_GETITEMSTATE, static_cast<WPARAM>(focused), LVIS_SELECTED) & LVIS_SELECTED);
    const int position = focusedSelected ? focused : selected;
    if (position >= 0 && m_host)
        m_host->OnOpenPicture(position);
    return true;
}

void CPictureList::Add(const CString& path, const ThumbnailPixels& pixels, const ::PictureDetails& details,
                       bool decodes)
{
    NewFind find;
    find.path = path;
    find.pixels = pixels;
    find.details = details;
    find.decodes = decodes;
    AddFind(find);
}

int CPictureList::AddFind(const NewFind& find)
{
    m_pictures.Add(find.path, find.pixels, find.details, find.decodes);
    const int item = m_pictures.Count() - 1;
    // Larger thumbnails shown: the small one goes to the cache, and is let
    // go once written. Faster than the cache can write (50,000 taken in at
    // once) the intake waits for it, so that memory stays bounded.
    if (!DrawsSmallThumbnails() && m_cache.IsOpen()) {
        m_cache.WriteLater(item, m_pictures.Thumbnail(item), kThumbSize);
        if (m_cache.Waiting() > kMostWaitingSmall)
            m_cache.WaitUntilWaiting(kMostWaitingSmall);
        // Now and then as well as when the cache tells: while finds are
        // taken in, its messages wait.
        if (item % 1024 == 1023)
            DropCachedSmallThumbnails();
    }
    if (find.record)
        ApplyRecord(m_pictures, item, *find.record);
    const int position = m_view.Add(m_pictures, item);
    if (position >= 0 && position != m_view.Count() - 1)
        m_bReordered = true;
    return item;
}

void CPictureList::UpdateFind(int item, const FindRecord& record)
{
    // Its place and whether it is shown may change.
    const int before = m_view.PositionOf(item);
    ApplyRecord(m_pictures, item, record);
    m_view.Update(m_pictures, item);
    if (m_view.PositionOf(item) != before)
        m_bReordered = true;
}

bool CPictureList::CountChanged() const
{
    return static_cast<int>(Send(LVM_GETITEMCOUNT)) != m_view.Count() || m_bReordered;
}

void CPictureList::ShowCount()
{
    // Items only ever join at the end: what is on screen stays where it is,
    // and only the new items have to be drawn. Some list controls (Wine's)
    // draw all of an icon view again when told of new items anyway: what
    // was waiting to be drawn before is kept, the rest is taken back,
    // unless the list's client area changed (a scroll bar came).
    HRGN waiting = CreateRectRgn(0, 0, 0, 0);
    RECT before = {};
    ::GetClientRect(m_hList, &before);
    const bool keepWaiting = waiting && GetUpdateRgn(m_hList, waiting, FALSE) != ERROR;
    const int shown = static_cast<int>(Send(LVM_GETITEMCOUNT));
    Send(LVM_SETITEMCOUNT, static_cast<WPARAM>(m_view.Count()), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    RECT after = {};
    ::GetClientRect(m_hList, &after);
    const bool drawOnlyNew = keepWaiting && EqualRect(&before, &after) && !m_bReordered;
    if (m_bReordered)
        ::InvalidateRect(m_hList, nullptr, TRUE);
    m_bReordered = false;
    if (drawOnlyNew) {
        ::ValidateRect(m_hList, nullptr);
        ::InvalidateRgn(m_hList, waiting, TRUE);
    }
    if (waiting)
        DeleteObject(waiting);
    // Some list controls (Wine's) place the items of an owner-data icon
    // view only when asked to arrange them; the others keep them arranged
    // anyway. Items already in place are not moved.
    Send(LVM_ARRANGE, LVA_DEFAULT);
    if (drawOnlyNew) {
        for (int item = std::max(shown, 0); item < m_view.Count(); ++item) {
            RECT rect = {};
            rect.left = LVIR_BOUNDS;
            if (Send(LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rect)))
                ::InvalidateRect(m_hList, &rect, TRUE);
        }
    }
}

void CPictureList::ScrollToLast()
{
    if (m_view.Count() == 0 || m_view.Sort() != PictureSort::Found || LooksElsewhere())
        return;
    const int last = m_view.Count() - 1;
    if (last == m_followed && InView(last, last))
        return;
    // What comes under the pointer is another picture than the tip's.
    m_tip.Hide();
    Send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(last), TRUE);
    m_followed = last;
    m_focusSeen = NextItem(-1, LVNI_FOCUSED);
}

bool CPictureList::InView(int first, int last) const
{
    // The items of a range fill the rows from the first's to the last's:
    // some of them are in view unless all lie above it or all below.
    RECT top = {LVIR_BOUNDS, 0, 0, 0};
    RECT bottom = {LVIR_BOUNDS, 0, 0, 0};
    if (!Send(LVM_GETITEMRECT, static_cast<WPARAM>(first), reinterpret_cast<LPARAM>(&top)) ||
        !Send(LVM_GETITEMRECT, static_cast<WPARAM>(last), reinterpret_cast<LPARAM>(&bottom)))
        return false;
    RECT client = {};
    ::GetClientRect(m_hList, &client);
    return top.top < client.bottom && bottom.bottom > client.top;
}

bool CPictureList::LooksElsewhere() const
{
    // A picture chosen, or the focus moved since the list last followed
    // (some list controls, Wine's, give the first item the focus of their
    // own accord).
    if (Send(LVM_GETSELECTEDCOUNT) > 0 || (m_followed >= 0 && NextItem(-1, LVNI_FOCUSED) != m_focusSeen))
        return true;
    // Scrolled away from the find last scrolled to and the ones after it;
    // once back at them, the list follows again.
    return m_followed >= 0 && m_followed < m_view.Count() && !InView(m_followed, m_view.Count() - 1);
}

void CPictureList::Arrange()
{
    // Some list controls (Wine's) keep an icon view's rows as they were
    // placed: a narrower list would leave pictures out to the right.
    if (m_hList && m_view.Count() > 0)
        Send(LVM_ARRANGE, LVA_DEFAULT);
}

void CPictureList::ChangeView(const std::function<void()>& change)
{
    const int place = PlaceInView();
    m_tip.Hide();
    Send(WM_SETREDRAW, FALSE);
    change();
    if (m_view.Count() > 0 && !m_details)
        Send(LVM_ARRANGE, LVA_DEFAULT);
    Send(WM_SETREDRAW, TRUE);
    ::InvalidateRect(m_hList, nullptr, TRUE);
    if (place >= 0)
        Send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(place), FALSE);
    OnViewChanged();
}

void CPictureList::ShowDetails(bool details)
{
    if (!m_hList || details == m_details)
        return;
    ChangeView([&] {
        m_details = details;
        if (details && !m_columnsMade) {
            for (int column = 0; column < kPictureColumns; ++column) {
                LVCOLUMNA lvc = {};
                lvc.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
                lvc.fmt = column == kColumnSize ? LVCFMT_RIGHT : LVCFMT_LEFT;
                lvc.cx = dpi::Scale(ColumnWidth(column), m_dpi);
                lvc.pszText = const_cast<char*>(ColumnTitle(column));
                lvc.iSubItem = column;
                Send(LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&lvc));
            }
            m_columnsMade = true;
        }
        const LONG_PTR style = ::GetWindowLongPtrA(m_hList, GWL_STYLE);
        ::SetWindowLongPtrA(m_hList, GWL_STYLE, (style & ~LVS_TYPEMASK) | (details ? LVS_REPORT : LVS_ICON));
        if (details)
            Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    });
    ShowSortArrow();
}

void CPictureList::ShowSortArrow()
{
    if (!m_columnsMade)
        return;
    bool up = true;
    const int sorted = SortColumn(m_view.Sort(), up);
    HWND header = reinterpret_cast<HWND>(Send(LVM_GETHEADER));
    for (int column = 0; header && column < kPictureColumns; ++column) {
        HDITEMA item = {};
        item.mask = HDI_FORMAT;
        if (!::SendMessageA(header, HDM_GETITEMA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item)))
            continue;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (column == sorted)
            item.fmt |= up ? HDF_SORTUP : HDF_SORTDOWN;
        ::SendMessageA(header, HDM_SETITEMA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    }
}

void CPictureList::OnColumnClick(NMHDR* header)
{
    const int column = reinterpret_cast<NMLISTVIEW*>(header)->iSubItem;
    const PictureSort sort = HeaderSort(column, m_view.Sort());
    ApplyFilter(m_view.Filter(), sort);
    if (m_host)
        m_host->OnSortChosen(sort);
}

bool CPictureList::SetThumbnailSize(int box)
{
    if (!m_hList || !IsThumbnailSize(box))
        return false;
    if (box == m_size && m_slots.Box() == BoxPixels(box))
        return true;
    bool made = false;
    ChangeView([&] { made = MakeSlots(box); });
    return made;
}

int CPictureList::BoxPixels(int box) const
{
    // Whole groups of four pixels: a row of 3-byte pixels is then whole
    // DWORDs, as a bitmap's rows are.
    return std::max(kThumbSize, (dpi::Scale(box, m_dpi) + 2) / 4 * 4);
}

void CPictureList::SetDpi(UINT dpi)
{
    if (!dpi || dpi == m_dpi)
        return;
    // The details' columns keep their share, as the user left them.
    for (int column = 0; m_hList && m_columnsMade && column < kPictureColumns; ++column) {
        const int width = static_cast<int>(Send(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column)));
        Send(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), dpi::Rescale(width, m_dpi, dpi));
    }
    m_dpi = dpi;
    if (m_hList && m_slots.Handle())
        ChangeView([&] { MakeSlots(m_size); });
}

bool CPictureList::MakeSlots(int box)
{
    // The control lets go of the old image list before it goes.
    Send(LVM_SETIMAGELIST, LVSIL_NORMAL, 0);
    m_slots.Destroy();
    const int pixels = BoxPixels(box);
    bool made = m_slots.Create(SlotsFor(pixels), pixels, m_dpi);
    m_size = box;
    if (!made) {
        // Not had: the small ones rather than none.
        m_slots.Destroy();
        m_size = kThumbSize;
        if (!m_slots.Create(kThumbnailSlots, BoxPixels(kThumbSize), m_dpi)) {
            m_slots.Destroy();
            m_slots.Create(kThumbnailSlots);
        }
    }
    m_boxes.SetBox(m_slots.Box(), m_hList, m_madeMessage);
    Send(LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(m_slots.Handle()));
    // The spacing follows the images' size again: -1 whole (some list
    // controls, Wine's, take two words of 0xFFFF as a spacing of 65535).
    Send(LVM_SETICONSPACING, 0, static_cast<LPARAM>(-1));
    return made;
}

int CPictureList::PlaceInView() const
{
    const int count = m_view.Count();
    if (count == 0)
        return -1;
    const int focused = NextItem(-1, LVNI_FOCUSED);
    if (focused >= 0 && InView(focused, focused))
        return focused;
    // The places fill the rows in order: the first whose bottom is below the
    // view's top, found by halving.
    int low = 0, high = count - 1;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        RECT rect = {LVIR_BOUNDS, 0, 0, 0};
        if (!Send(LVM_GETITEMRECT, static_cast<WPARAM>(middle), reinterpret_cast<LPARAM>(&rect)))
            return -1;
        if (rect.bottom > 0)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

void CPictureList::OnThumbnailsMade()
{
    for (int item : m_boxes.TakeMade()) {
        const int position = m_view.PositionOf(item);
        if (position >= 0 && InView(position, position))
            Redraw(position);
    }
}

void CPictureList::Clear()
{
    Send(LVM_SETITEMCOUNT, 0, 0);
    m_boxes.Clear();
    // Before the pictures: the cache's thread reads their thumbnails.
    m_cache.Close();
    m_bReordered = false;
    m_followed = -1;
    m_pictures.Clear();
    m_view.Clear();
    m_slots.Forget();
    m_recovered.Clear();
}

void CPictureList::ResetView(const PictureFilter& filter, PictureSort sort)
{
    m_view.Set(m_pictures, filter, sort);
    ShowSortArrow();
}

void CPictureList::ApplyFilter(const PictureFilter& filter, PictureSort sort)
{
    // The control's selection is by place, and the places change: the
    // focused picture is selected again where it goes.
    const int focusedAt = NextItem(-1, LVNI_FOCUSED);
    const int focused = m_view.ItemAt(focusedAt);
    m_view.Set(m_pictures, filter, sort);
    ShowSortArrow();
    // Places change: the newest find is followed again unless the user
    // has a picture chosen.
    m_followed = -1;
    // Some list controls (Wine's) visit every item to clear a selection:
    // only when there is one.
    if (focusedAt >= 0 || Send(LVM_GETSELECTEDCOUNT) > 0)
        SetState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    // Some list controls (Wine's) place the items of an owner-data icon view
    // only when asked to arrange them, and draw each item as they place it:
    // arranged only when the list grows, with drawing held until every item
    // has its place (50,000 items otherwise took seconds).
    const int shownBefore = static_cast<int>(Send(LVM_GETITEMCOUNT));
    Send(WM_SETREDRAW, FALSE);
    Send(LVM_SETITEMCOUNT, static_cast<WPARAM>(m_view.Count()), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    if (m_view.Count() > shownBefore)
        Send(LVM_ARRANGE, LVA_DEFAULT);
    Send(WM_SETREDRAW, TRUE);
    ::InvalidateRect(m_hList, nullptr, TRUE);
    m_bReordered = false;
    const int position = m_view.PositionOf(focused);
    if (position >= 0) {
        SetState(position, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        Send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(position), FALSE);
    } else if (m_view.Count() > 0) {
        Send(LVM_ENSUREVISIBLE, 0, FALSE);
    }
}

void CPictureList::SetTicks(const std::vector<int>& positions, bool ticked)
{
    for (int position : positions) {
        m_pictures.SetTicked(m_view.ItemAt(position), ticked);
        Redraw(position);
    }
    if (m_host)
        m_host->OnTicksChanged();
}

void CPictureList::TickShown(bool ticked)
{
    for (int item : m_view.Items())
        m_pictures.SetTicked(item, ticked);
    ::InvalidateRect(m_hList, nullptr, FALSE);
}

bool CPictureList::AnyShownTicked() const
{
    for (int item : m_view.Items()) {
        if (m_pictures.Ticked(item))
            return true;
    }
    return false;
}

std::vector<int> CPictureList::TickedShown() const
{
    std::vector<int> items;
    for (int item : m_view.Items()) {
        if (m_pictures.Ticked(item))
            items.push_back(item);
    }
    return items;
}

void CPictureList::MarkRecovered(const std::vector<int>& items)
{
    for (int item : items) {
        m_recovered.Mark(item);
        m_pictures.SetTicked(item, false);
    }
    ::InvalidateRect(m_hList, nullptr, FALSE);
}

CPictureList::Counts CPictureList::Count() const
{
    Counts counts;
    counts.shown = m_view.Count();
    counts.found = m_pictures.Count();
    for (int item : m_view.Items()) {
        if (m_pictures.Ticked(item)) {
            ++counts.ticked;
            counts.tickedBytes += m_pictures.Bytes(item);
        }
    }
    counts.recovered = m_recovered.Count();
    counts.damaged = m_pictures.DamagedCount();
    return counts;
}

CString CPictureList::PathAt(int position) const
{
    return m_pictures.Path(m_view.ItemAt(position));
}

void CPictureList::OnDispInfo(NMHDR* header)
{
    // The A and W forms differ only in the text's characters.
    LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(header)->item;
    const int picture = m_view.ItemAt(item.iItem);
    if (picture < 0)
        return;
    // The name goes under the thumbnail, or in the first column; the
    // control cuts it to fit.
    if (item.mask & LVIF_TEXT)
        PutText(header->code == LVN_GETDISPINFOW, item.pszText, item.cchTextMax,
                item.iSubItem > 0 ? ColumnText(m_pictures, picture, item.iSubItem)
                                  : CString(m_pictures.Name(picture).c_str()));
    // Rows show no thumbnails.
    if ((item.mask & LVIF_IMAGE) && m_details)
        item.iImage = -1;
    else if (item.mask & LVIF_IMAGE) {
        const unsigned marks = (m_recovered.Has(picture) ? CThumbnailSlots::kRecovered : 0u) |
                               (m_pictures.Damaged(picture) ? CThumbnailSlots::kDamaged : 0u);
        // A medium or large one is made as it is first shown; until then the
        // small one stands in the middle of the box.
        const uint8_t* large = nullptr;
        if (m_slots.Box() > kThumbSize && m_pictures.Decodes(picture)) {
            large = m_boxes.Get(picture);
            if (!large)
                m_boxes.Ask(picture, m_pictures.Path(picture));
        }
        if (large) {
            item.iImage = m_slots.SlotFor(picture, large, marks, m_slots.Box());
        } else {
            // The small one is read back only when the slot lacks it.
            const int shown = m_slots.Showing(picture, marks, kThumbSize);
            item.iImage = shown >= 0 ? shown : m_slots.SlotFor(picture, SmallThumbnail(picture), marks);
        }
    }
    if (item.mask & LVIF_STATE)
        item.state =
            (item.state & ~LVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(m_pictures.Ticked(picture) ? 2 : 1);
}

LRESULT CPictureList::OnFindItem(NMHDR* header)
{
    // Typing a name's first letters goes to the next picture so named.
    const auto* find = reinterpret_cast<NMLVFINDITEMA*>(header);
    if (!(find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find->lvfi.psz)
        return -1;
    CString wanted;
    if (header->code == LVN_ODFINDITEMW) {
        char text[MAX_PATH] = "";
        WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(find->lvfi.psz), -1, text, sizeof text,
                            nullptr, nullptr);
        wanted = text;
    } else {
        wanted = find->lvfi.psz;
    }
    const int length = wanted.GetLength();
    const int count = m_view.Count();
    if (length == 0 || count == 0)
        return -1;
    const int start = find->iStart >= 0 && find->iStart < count ? find->iStart : 0;
    for (int step = 0; step < count; ++step) {
        const int position = (start + step) % count;
        const std::string name = m_pictures.Name(m_view.ItemAt(position));
        if (static_cast<int>(name.size()) >= length &&
            CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.c_str(), length, wanted, length) == CSTR_EQUAL)
            return position;
    }
    return -1;
}

void CPictureList::OnClick(NMHDR* header, bool twice)
{
    LVHITTESTINFO hit = {};
    hit.pt = reinterpret_cast<NMITEMACTIVATE*>(header)->ptAction;
    const int position = static_cast<int>(Send(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (position < 0)
        return;
    // On a tick box the second click of a double click is a click like the
    // first; on the picture it opens the preview.
    if (hit.flags & LVHT_ONITEMSTATEICON)
        SetTicks({position}, !m_pictures.Ticked(m_view.ItemAt(position)));
    else if (twice && m_host)
        m_host->OnOpenPicture(position);
}

void CPictureList::OnKeyDown(NMHDR* header)
{
    if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey != VK_SPACE)
        return;
    // Space ticks or unticks the selected items together, as the focused
    // one goes.
    const int focused = NextItem(-1, LVNI_FOCUSED);
    if (focused < 0)
        return;
    std::vector<int> positions;
    for (int position = NextItem(-1, LVNI_SELECTED); position >= 0; position = NextItem(position, LVNI_SELECTED))
        positions.push_back(position);
    if (std::find(positions.begin(), positions.end(), focused) == positions.end())
        positions.push_back(focused);
    SetTicks(positions, !m_pictures.Ticked(m_view.ItemAt(focused)));
}

void CPictureList::TrackTip(const MSG& msg)
{
    LVHITTESTINFO hit = {};
    hit.pt = {static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
    int position = static_cast<int>(Send(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (!(hit.flags & (LVHT_ONITEMICON | LVHT_ONITEMLABEL)))
        position = -1;
    m_tip.Track(msg, position);
}

int CPictureList::ShownCount()
{
    return m_view.Count();
}

int CPictureList::ItemAt(int position)
{
    return m_view.ItemAt(position);
}

int CPictureList::PositionOf(int item)
{
    return m_view.PositionOf(item);
}

CString CPictureList::PicturePath(int item)
{
    return m_pictures.Path(item);
}

CString CPictureList::PictureTitle(int item)
{
    return item >= 0 && item < m_pictures.Count() ? CString(m_pictures.Name(item).c_str()) : CString();
}

CString CPictureList::PictureDetails(int item)
{
    CString details = DescribePicture(m_pictures, item);
    if (m_recovered.Has(item))
        details += kRecoveredLine;
    return details;
}

bool CPictureList::IsTicked(int item)
{
    return m_pictures.Ticked(item);
}

void CPictureList::SetTicked(int item, bool ticked)
{
    const int position = m_view.PositionOf(item);
    m_pictures.SetTicked(item, ticked);
    if (position >= 0)
        Redraw(position);
    if (m_host)
        m_host->OnTicksChanged();
}

void CPictureList::OnPreviewStep(int item)
{
    // The list follows the preview, so that closing it leaves the user
    // where they were looking.
    const int position = m_view.PositionOf(item);
    if (position < 0)
        return;
    SetState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    SetState(position, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    Send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(position), FALSE);
}

bool CPictureList::DrawsSmallThumbnails() const
{
    return !m_details && m_slots.Box() <= kThumbSize;
}

void CPictureList::KeepThumbnailsIn(const CString& folder)
{
    m_cache.Open(folder);
    OnViewChanged();
}

void CPictureList::LetGoOfThumbnailCache()
{
    // What was let go comes back from the files as it is drawn.
    m_boxes.Clear();
    m_cache.Close();
}

void CPictureList::OnViewChanged()
{
    // Back to small ones: they come back from the cache as they are drawn
    // (all of them at once would take seconds at 50,000).
    if (DrawsSmallThumbnails() || !m_cache.IsOpen())
        return;
    // Those not written yet are handed to the cache; written, they are let
    // go (when it tells).
    const std::vector<bool> kept = m_cache.Kept(kThumbSize);
    for (int item = 0; item < m_pictures.Count(); ++item) {
        const uint8_t* pixels = m_pictures.Thumbnail(item);
        if (pixels && !(static_cast<size_t>(item) < kept.size() && kept[static_cast<size_t>(item)]))
            m_cache.WriteLater(item, pixels, kThumbSize);
    }
    DropCachedSmallThumbnails();
}

void CPictureList::DropCachedSmallThumbnails()
{
    m_pictures.DropThumbnails(m_cache.Kept(kThumbSize));
}

const uint8_t* CPictureList::SmallThumbnail(int item)
{
    if (const uint8_t* held = m_pictures.Thumbnail(item))
        return held;
    m_smallRead.resize(CPictureItems::kThumbBytes);
    if (!m_cache.Read(item, kThumbSize, m_smallRead.data())) {
        // The record did not check out (or the file went): made again
        // from the picture, as when it was found.
        ThumbnailPixels pixels;
        RenderThumbnail(m_pictures.Path(item), pixels);
        for (size_t i = 0; i < CPictureItems::kThumbBytes / 3; ++i) {
            const uint32_t p = i < pixels.size() ? pixels[i] : 0xFFFFFF;
            m_smallRead[i * 3] = static_cast<uint8_t>(p);
            m_smallRead[i * 3 + 1] = static_cast<uint8_t>(p >> 8);
            m_smallRead[i * 3 + 2] = static_cast<uint8_t>(p >> 16);
        }
        if (!DrawsSmallThumbnails())
            m_cache.Write(item, m_smallRead.data(), kThumbSize, m_cache.Generation());
    }
    if (!DrawsSmallThumbnails())
        return m_smallRead.data();
    m_pictures.PutThumbnail(item, m_smallRead.data());
    return m_pictures.Thumbnail(item);
}
