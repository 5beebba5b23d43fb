// The filter bar's controls. Longer than most files here (about 420 lines):
// making its dozen controls, laying them out in one row or two as its width
// and resolution allow, and reading them back into a filter are one
// control's work on the same members; apart, each part would reach into them.
#include "FilterBar.h"

#include <algorithm>
#include <cstdio>

namespace {

enum : int {
    IDC_TYPE_FIRST = 100,  // one per type
    IDC_DELETED = 110,
    IDC_MIN_SIDE,
    IDC_MIN_BYTES,
    IDC_FIND_TEXT,
    IDC_SORT,
    IDC_HIDE_DAMAGED,
    IDC_VIEW,
};

const int kRowHeight = 26;
const int kMargin = 4;
// The first row: the label, then the type boxes, then the deleted choice.
const int kTypesLeft = kMargin + 2 + 38;
const int kTypeGap = 4;
const int kDeletedWidth = 150;  // the choice's longest entry, with its arrow

struct Choice {
    const char* text;
    uint64_t value;
};

const Choice kMinSides[] = {
    {"Pictures of any size", 0},
    {"Hide pictures smaller than 100 x 100", 100},
    {"Hide pictures smaller than 200 x 200", 200},
    {"Hide pictures smaller than 500 x 500", 500},
    {"Hide pictures smaller than 1000 x 1000", 1000},
};
const Choice kMinBytes[] = {
    {"Files of any size", 0},
    {"Hide files smaller than 10 KB", 10 * 1024},
    {"Hide files smaller than 50 KB", 50 * 1024},
    {"Hide files smaller than 100 KB", 100 * 1024},
    {"Hide files smaller than 1 MB", 1024 * 1024},
};
const char* const kSorts[] = {"Order found", "Date, newest first", "Date, oldest first", "Size, largest first",
                              "Name, A to Z"};
// The list's views, as Explorer's View names them, with their thumbnails'
// size.
const Choice kViews[] = {
    {"Small thumbnails", 64}, {"Medium thumbnails", 128}, {"Large thumbnails", 256}, {"Details", 0}};
const int kViewCount = 4;
const PictureSort kSortValues[] = {PictureSort::Found, PictureSort::NewestFirst, PictureSort::OldestFirst,
                                   PictureSort::LargestFirst, PictureSort::Name};

void FitDroppedWidth(CComboBox& combo)
{
    HDC dc = combo.GetDC();
    HGDIOBJ old = SelectObject(dc, combo.GetFont());
    int widest = 0;
    for (int i = 0; i < combo.GetCount(); ++i) {
        const CString text = combo.GetLBText(i);
        SIZE size = {};
        GetTextExtentPoint32A(dc, text, text.GetLength(), &size);
        widest = std::max(widest, static_cast<int>(size.cx));
    }
    SelectObject(dc, old);
    combo.ReleaseDC(dc);
    combo.SetDroppedWidth(widest + 2 * GetSystemMetrics(SM_CXEDGE) + 8);
}

int Selected(const CComboBox& combo)
{
    const int at = combo.GetCurSel();
    return at == CB_ERR ? 0 : at;
}

}  // namespace

BEGIN_MESSAGE_MAP(CFilterBar, CWnd)
    ON_WM_ERASEBKGND()
    ON_WM_SIZE()
    ON_MESSAGE(WM_CTLCOLORSTATIC, &CFilterBar::OnCtlColor)
    ON_MESSAGE(WM_CTLCOLORBTN, &CFilterBar::OnCtlColor)
    ON_CONTROL(BN_CLICKED, IDC_TYPE_FIRST + kTypeJpeg, &CFilterBar::OnChanged)
    ON_CONTROL(BN_CLICKED, IDC_TYPE_FIRST + kTypeGif, &CFilterBar::OnChanged)
    ON_CONTROL(BN_CLICKED, IDC_TYPE_FIRST + kTypePng, &CFilterBar::OnChanged)
    ON_CONTROL(BN_CLICKED, IDC_TYPE_FIRST + kTypeBmp, &CFilterBar::OnChanged)
    ON_CONTROL(BN_CLICKED, IDC_TYPE_FIRST + kTypeTiff, &CFilterBar::OnChanged)
    ON_CONTROL(BN_CLICKED, IDC_TYPE_FIRST + kTypeRaw, &CFilterBar::OnChanged)
    ON_CONTROL(BN_CLICKED, IDC_TYPE_FIRST + kTypeHeic, &CFilterBar::OnChanged)
    ON_CONTROL(BN_CLICKED, IDC_TYPE_FIRST + kTypeAvif, &CFilterBar::OnChanged)
    ON_CONTROL(BN_CLICKED, IDC_TYPE_FIRST + kTypeWebp, &CFilterBar::OnChanged)
    ON_CONTROL(CBN_SELCHANGE, IDC_DELETED, &CFilterBar::OnChanged)
    ON_CONTROL(CBN_SELCHANGE, IDC_MIN_SIDE, &CFilterBar::OnChanged)
    ON_CONTROL(CBN_SELCHANGE, IDC_MIN_BYTES, &CFilterBar::OnChanged)
    ON_CONTROL(CBN_SELCHANGE, IDC_SORT, &CFilterBar::OnChanged)
    ON_CONTROL(BN_CLICKED, IDC_HIDE_DAMAGED, &CFilterBar::OnChanged)
    ON_CONTROL(CBN_SELCHANGE, IDC_VIEW, &CFilterBar::OnChanged)
    ON_CONTROL(EN_CHANGE, IDC_FIND_TEXT, &CFilterBar::OnChanged)
END_MESSAGE_MAP()

int CFilterBar::Height(UINT dpi)
{
    return dpi::Scale(3 * kRowHeight + 2 * kMargin, dpi);
}

HWND CFilterBar::Add(const char* cls, const char* text, DWORD style, const RECT& rc, int id)
{
    HWND control = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, rc.left, rc.top, rc.right - rc.left,
                                   rc.bottom - rc.top, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   AfxGetInstanceHandle(), nullptr);
    if (control)
        ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    return control;
}

void CFilterBar::Add(CWnd& control, const char* cls, const char* text, DWORD style, const RECT& rc, int id)
{
    control.SubclassWindow(Add(cls, text, style, rc, id));
}

bool CFilterBar::Create(CWnd& parent, const RECT& rc, int id)
{
    // A static holds the controls: it takes no focus and draws nothing of
    // its own; WS_EX_CONTROLPARENT lets Tab go through its children.
    HWND bar = CreateWindowExA(WS_EX_CONTROLPARENT, "STATIC", "", WS_CHILD | WS_CLIPCHILDREN, rc.left, rc.top,
                               rc.right - rc.left, rc.bottom - rc.top, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), AfxGetInstanceHandle(), nullptr);
    if (!bar || !SubclassWindow(bar))
        return false;
    m_dpi = dpi::Of(parent.m_hWnd);
    m_fontDpi = m_dpi;
    m_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const DWORD list = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP;

    // The first row: the label, then the type boxes (placed by LayOutTypes;
    // the later formats' boxes show once one is found).
    const int top1 = Px(kMargin + 2);
    Add("STATIC", "Show:", SS_LEFT, CRow(Px(kMargin + 2), top1).Next(Px(36), Px(16), 0, Px(3)), -1);
    for (int type = 0; type < kPictureTypes; ++type) {
        Add(m_types[type], "BUTTON", PictureTypeName(static_cast<PictureType>(type)),
            BS_AUTOCHECKBOX | WS_TABSTOP | (type == 0 ? WS_GROUP : 0), CRow(Px(kTypesLeft), top1).Next(Px(96), Px(20)),
            IDC_TYPE_FIRST + type);
        m_types[type].SetCheck(BST_CHECKED);
        if (!AlwaysShown(type))
            m_types[type].ShowWindow(SW_HIDE);
    }

    // The second row: the least sizes, the text to find, the order.
    CRow row2(Px(kMargin + 2), Px(kMargin + kRowHeight + 1));
    Add(m_minSide, "COMBOBOX", "", list, row2.Next(Px(240), Px(200), Px(6)), IDC_MIN_SIDE);
    for (const Choice& choice : kMinSides)
        m_minSide.AddString(choice.text);
    Add(m_minBytes, "COMBOBOX", "", list, row2.Next(Px(186), Px(200), Px(8)), IDC_MIN_BYTES);
    for (const Choice& choice : kMinBytes)
        m_minBytes.AddString(choice.text);
    m_findLabel = Add("STATIC", "Find:", SS_LEFT, row2.Next(Px(30), Px(16), Px(2), Px(4)), -1);
    Add(m_text, "EDIT", "", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, row2.Next(Px(108), Px(21), Px(8), Px(1)),
        IDC_FIND_TEXT);
    m_text.ModifyStyleEx(0, WS_EX_CLIENTEDGE, SWP_FRAMECHANGED);
    m_sortLabel = Add("STATIC", "Sort:", SS_LEFT, row2.Next(Px(28), Px(16), Px(2), Px(4)), -1);
    Add(m_sort, "COMBOBOX", "", list, row2.Next(Px(132), Px(200)), IDC_SORT);
    for (const char* sort : kSorts)
        m_sort.AddString(sort);

    // The third row: what the file system said, and whether damaged
    // pictures show (that box once there are any).
    CRow row3(Px(kMargin + 2), Px(kMargin + 2 * kRowHeight));
    Add(m_deleted, "COMBOBOX", "", list, row3.Next(Px(kDeletedWidth), Px(200), Px(12)), IDC_DELETED);
    m_deleted.AddString("Deleted and present");
    m_deleted.AddString("Deleted only");
    Add(m_hideDamaged, "BUTTON", "Hide damaged pictures", BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP,
        row3.Next(Px(160), Px(20), 0, Px(1)), IDC_HIDE_DAMAGED);
    m_hideDamaged.ShowWindow(SW_HIDE);
    // How the list shows the pictures; kept when the filters are reset.
    Add("STATIC", "View:", SS_LEFT, row3.Next(Px(32), Px(16), Px(2), Px(4)), -1);
    Add(m_view, "COMBOBOX", "", list, row3.Next(Px(132), Px(200)), IDC_VIEW);
    for (const Choice& view : kViews)
        m_view.AddString(view.text);
    m_view.SetCurSel(0);
    // The lists open as wide as their longest entry.
    for (CComboBox* combo : {&m_deleted, &m_minSide, &m_minBytes, &m_sort, &m_view})
        FitDroppedWidth(*combo);
    Reset();
    LayOutTypes(true);
    return true;
}

CFilterBar::~CFilterBar()
{
    if (m_ownFont)
        ::DeleteObject(m_ownFont);
}

void CFilterBar::Rescale(UINT dpi)
{
    if (!m_hWnd || !dpi || dpi == m_dpi)
        return;
    // The stock font is made for the screen the program started on.
    LOGFONTA lf = {};
    ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    lf.lfHeight = dpi::Rescale(lf.lfHeight, m_fontDpi, dpi);
    lf.lfWidth = 0;
    HFONT font = dpi == m_fontDpi ? nullptr : ::CreateFontIndirectA(&lf);
    m_font = font ? font : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT rc;
        ::GetWindowRect(child, &rc);
        // A drop-down list's height is its dropped list's; that too scales.
        char cls[16] = {};
        ::GetClassNameA(child, cls, sizeof cls);
        RECT dropped;
        if (lstrcmpiA(cls, "ComboBox") == 0 &&
            ::SendMessageA(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped)))
            rc.bottom = rc.top + (dropped.bottom - dropped.top);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        const RECT to = dpi::Rescale(rc, m_dpi, dpi);
        ::SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
        ::SetWindowPos(child, nullptr, to.left, to.top, to.right - to.left, to.bottom - to.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (m_ownFont)
        ::DeleteObject(m_ownFont);
    m_ownFont = font;
    m_dpi = dpi;
    for (CComboBox* combo : {&m_deleted, &m_minSide, &m_minBytes, &m_sort, &m_view})
        FitDroppedWidth(*combo);
    LayOutTypes(true);
    RECT bar;
    GetClientRect(&bar);
    FitSecondRow(bar.right);
}

bool CFilterBar::AlwaysShown(int type)
{
    return CanDrawPictureType(static_cast<PictureType>(type));
}

void CFilterBar::LayOutTypes(bool redrawAll)
{
    // Each box as wide as its text needs, so that all nine fit in the row.
    HDC dc = GetDC();
    HGDIOBJ old = ::SelectObject(dc, m_font);
    const int box = ::GetSystemMetrics(SM_CXMENUCHECK) + Px(3);
    int widths[kPictureTypes] = {};
    for (int type = 0; type < kPictureTypes; ++type) {
        if (!AlwaysShown(type) && m_counts[type] <= 0) {
            if (::GetWindowLongA(m_types[type].m_hWnd, GWL_STYLE) & WS_VISIBLE)
                m_types[type].ShowWindow(SW_HIDE);
            continue;
        }
        const CString text = m_types[type].GetWindowText();
        SIZE size = {};
        ::GetTextExtentPoint32A(dc, text, text.GetLength(), &size);
        widths[type] = box + size.cx + Px(2);
    }
    ::SelectObject(dc, old);
    ReleaseDC(dc);

    // Only the boxes whose place changed move; a box whose count changed
    // and kept its width has drawn itself anew with its text. The bar's
    // other controls did not change and are not drawn again.
    CRow row(Px(kTypesLeft), Px(kMargin + 2));
    RECT moved = {};
    for (int type = 0; type < kPictureTypes; ++type) {
        if (!widths[type])
            continue;
        const RECT rc = row.Next(widths[type], Px(20), Px(kTypeGap));
        HWND box = m_types[type].m_hWnd;
        RECT was = {};
        ::GetWindowRect(box, &was);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&was), 2);
        const bool shown = (::GetWindowLongA(box, GWL_STYLE) & WS_VISIBLE) != 0;
        if (shown && ::EqualRect(&was, &rc))
            continue;
        m_types[type].SetWindowPos(nullptr, rc.left, rc.top, widths[type], Px(20),
                                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_SHOWWINDOW);
        if (shown)
            ::UnionRect(&moved, &moved, &was);
        ::UnionRect(&moved, &moved, &rc);
    }
    const bool damagedShown = (::GetWindowLongA(m_hideDamaged.m_hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
    if (damagedShown != (m_damaged > 0))
        m_hideDamaged.ShowWindow(m_damaged > 0 ? SW_SHOW : SW_HIDE);
    // Boxes that moved leave their old places behind: that part of the row
    // is drawn anew. A new size or resolution draws the whole bar anew.
    if (redrawAll)
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    else if (!::IsRectEmpty(&moved))
        ::RedrawWindow(m_hWnd, &moved, nullptr, RDW_INVALIDATE | RDW_ERASE);
}

void CFilterBar::OnSize(UINT type, int cx, int cy)
{
    (void)type;
    (void)cy;
    LayOutTypes(true);
    FitSecondRow(cx);
}

void CFilterBar::FitSecondRow(int width)
{
    // The row is made for the bar at 96 dots per inch, where it just fits.
    // A window that grew less than its fonts (a dialog's units follow its
    // font's metrics, not the resolution alone) narrows the three lists
    // and the Find box alike, so that none is cut off at the bar's edge.
    if (!m_minSide.m_hWnd || !m_findLabel || !m_sortLabel)
        return;
    const int lists[] = {Px(240), Px(186), Px(108), Px(132)};
    const int fixed = Px(kMargin + 2) + Px(6) + Px(8) + Px(30) + Px(2) + Px(8) + Px(28) + Px(2);
    int wanted = 0;
    for (int list : lists)
        wanted += list;
    const int room = width - fixed;
    if (room <= 0)
        return;
    auto fit = [&](int list) { return wanted > room ? ::MulDiv(list, room, wanted) : list; };
    CRow row(Px(kMargin + 2), Px(kMargin + kRowHeight + 1));
    auto place = [](HWND control, const RECT& rc, bool list) {
        // A list's height is its dropped list's: kept.
        int height = rc.bottom - rc.top;
        RECT dropped;
        if (list && ::SendMessageA(control, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped)))
            height = dropped.bottom - dropped.top;
        ::SetWindowPos(control, nullptr, rc.left, rc.top, rc.right - rc.left, height, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    RECT rc = row.Next(fit(lists[0]), Px(200), Px(6));
    place(m_minSide.m_hWnd, rc, true);
    rc = row.Next(fit(lists[1]), Px(200), Px(8));
    place(m_minBytes.m_hWnd, rc, true);
    place(m_findLabel, row.Next(Px(30), Px(16), Px(2), Px(4)), false);
    place(m_text.m_hWnd, row.Next(fit(lists[2]), Px(21), Px(8), Px(1)), false);
    place(m_sortLabel, row.Next(Px(28), Px(16), Px(2), Px(4)), false);
    place(m_sort.m_hWnd, row.Next(fit(lists[3]), Px(200)), true);
}

void CFilterBar::Reset()
{
    m_resetting = true;
    for (CButton& type : m_types)
        type.SetCheck(BST_CHECKED);
    for (CComboBox* combo : {&m_deleted, &m_minSide, &m_minBytes, &m_sort})
        combo->SetCurSel(0);
    m_headerSort = PictureSort::Found;
    m_text.SetWindowText("");
    m_hideDamaged.SetCheck(BST_UNCHECKED);
    m_resetting = false;
}

PictureFilter CFilterBar::Filter() const
{
    PictureFilter filter;
    for (int type = 0; type < kPictureTypes; ++type)
        filter.types[type] = m_types[type].GetCheck() == BST_CHECKED;
    filter.deletedOnly = Selected(m_deleted) == 1;
    filter.minSide = static_cast<unsigned>(kMinSides[Selected(m_minSide) % 5].value);
    filter.minBytes = kMinBytes[Selected(m_minBytes) % 5].value;
    filter.text = m_text.GetWindowText().str();
    filter.hideDamaged = m_hideDamaged.GetCheck() == BST_CHECKED;
    return filter;
}

int CFilterBar::View() const
{
    return static_cast<int>(kViews[Selected(m_view) % kViewCount].value);
}

void CFilterBar::ShowView(int view)
{
    for (int i = 0; i < kViewCount; ++i) {
        if (static_cast<int>(kViews[i].value) == view)
            m_view.SetCurSel(i);
    }
}

void CFilterBar::ShowSort(PictureSort sort)
{
    // An order of the details view's headers that the box does not have
    // leaves it empty.
    m_headerSort = sort;
    m_sort.SetCurSel(-1);
    for (int i = 0; i < 5; ++i) {
        if (kSortValues[i] == sort)
            m_sort.SetCurSel(i);
    }
}

PictureSort CFilterBar::Sort() const
{
    if (m_sort.GetCurSel() == CB_ERR)
        return m_headerSort;
    return kSortValues[Selected(m_sort) % 5];
}

void CFilterBar::SetTypeCounts(const CPictureItems& items)
{
    bool changed = false;
    for (int type = 0; type < kPictureTypes; ++type) {
        const int count = items.TypeCount(static_cast<PictureType>(type));
        if (count == m_counts[type])
            continue;
        m_counts[type] = count;
        char text[64];
        std::snprintf(text, sizeof text, "%s (%d)", PictureTypeName(static_cast<PictureType>(type)), count);
        m_types[type].SetWindowText(text);
        changed = true;
    }
    if (items.DamagedCount() != m_damaged) {
        changed = changed || (m_damaged > 0) != (items.DamagedCount() > 0);
        m_damaged = items.DamagedCount();
    }
    if (changed)
        LayOutTypes(false);
}

BOOL CFilterBar::OnEraseBkgnd(HDC hdc)
{
    RECT rc;
    GetClientRect(&rc);
    ::FillRect(hdc, &rc, ::GetSysColorBrush(COLOR_BTNFACE));
    return TRUE;
}

LRESULT CFilterBar::OnCtlColor(WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void CFilterBar::OnChanged()
{
    if (!m_resetting)
        Notify();
}

void CFilterBar::Notify()
{
    ::SendMessageA(GetParentHwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), kFilterChanged),
                   reinterpret_cast<LPARAM>(m_hWnd));
}
