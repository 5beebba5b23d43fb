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
const PictureSort kSortValues[] = {PictureSort::Found, PictureSort::NewestFirst, PictureSort::OldestFirst,
                                   PictureSort::LargestFirst, PictureSort::Name};

void FitDroppedWidth(HWND combo)
{
    HDC dc = GetDC(combo);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(combo, WM_GETFONT, 0, 0)));
    int widest = 0;
    const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[128] = "";
        if (SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) >= static_cast<LRESULT>(sizeof text))
            continue;
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        SIZE size = {};
        GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
        widest = std::max(widest, static_cast<int>(size.cx));
    }
    SelectObject(dc, old);
    ReleaseDC(combo, dc);
    SendMessageA(combo, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(widest + 2 * GetSystemMetrics(SM_CXEDGE) + 8), 0);
}

int Selected(HWND combo)
{
    const LRESULT at = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    return at == CB_ERR ? 0 : static_cast<int>(at);
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
    ON_CONTROL(EN_CHANGE, IDC_FIND_TEXT, &CFilterBar::OnChanged)
END_MESSAGE_MAP()

int CFilterBar::Height()
{
    return 3 * kRowHeight + 2 * kMargin;
}

HWND CFilterBar::Add(const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id)
{
    HWND control = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, m_hWnd,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), AfxGetInstanceHandle(),
                                   nullptr);
    if (control)
        ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    return control;
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
    m_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

    const int top1 = kMargin + 2;
    const int top2 = kMargin + kRowHeight + 1;
    int x = kMargin + 2;
    Add("STATIC", "Show:", SS_LEFT, x, top1 + 3, 36, 16, -1);
    for (int type = 0; type < kPictureTypes; ++type) {
        // Placed by LayOutTypes; the later formats' boxes show once one is found.
        m_types[type] = Add("BUTTON", PictureTypeName(static_cast<PictureType>(type)),
                            BS_AUTOCHECKBOX | WS_TABSTOP | (type == 0 ? WS_GROUP : 0), kTypesLeft, top1, 96, 20,
                            IDC_TYPE_FIRST + type);
        ::SendMessageA(m_types[type], BM_SETCHECK, BST_CHECKED, 0);
        if (!AlwaysShown(type))
            ::ShowWindow(m_types[type], SW_HIDE);
    }
    x = kMargin + 2;
    m_minSide = Add("COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP, x, top2, 240, 200,
                    IDC_MIN_SIDE);
    for (const Choice& choice : kMinSides)
        ::SendMessageA(m_minSide, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.text));
    x += 246;
    m_minBytes = Add("COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP, x, top2, 186, 200,
                     IDC_MIN_BYTES);
    for (const Choice& choice : kMinBytes)
        ::SendMessageA(m_minBytes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.text));
    x += 194;
    Add("STATIC", "Find:", SS_LEFT, x, top2 + 4, 30, 16, -1);
    x += 32;
    m_text = Add("EDIT", "", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, x, top2 + 1, 108, 21, IDC_FIND_TEXT);
    SetWindowLongPtrA(m_text, GWL_EXSTYLE, GetWindowLongPtrA(m_text, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
    ::SetWindowPos(m_text, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    x += 116;
    Add("STATIC", "Sort:", SS_LEFT, x, top2 + 4, 28, 16, -1);
    x += 30;
    m_sort = Add("COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP, x, top2, 132, 200,
                 IDC_SORT);
    for (const char* sort : kSorts)
        ::SendMessageA(m_sort, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(sort));

    // The third row: what the file system said, and whether damaged
    // pictures show (that box once there are any).
    const int top3 = kMargin + 2 * kRowHeight;
    x = kMargin + 2;
    m_deleted = Add("COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP, x, top3, kDeletedWidth,
                    200, IDC_DELETED);
    ::SendMessageA(m_deleted, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Deleted and present"));
    ::SendMessageA(m_deleted, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Deleted only"));
    m_hideDamaged = Add("BUTTON", "Hide damaged pictures", BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP,
                        x + kDeletedWidth + 12, top3 + 1, 160, 20, IDC_HIDE_DAMAGED);
    ::ShowWindow(m_hideDamaged, SW_HIDE);
    // The lists open as wide as their longest entry.
    for (HWND combo : {m_deleted, m_minSide, m_minBytes, m_sort})
        FitDroppedWidth(combo);
    Reset();
    LayOutTypes();
    return true;
}

bool CFilterBar::AlwaysShown(int type)
{
    return CanDrawPictureType(static_cast<PictureType>(type));
}

void CFilterBar::LayOutTypes()
{
    // Each box as wide as its text needs, so that all nine fit in the row.
    HDC dc = ::GetDC(m_hWnd);
    HGDIOBJ old = ::SelectObject(dc, m_font);
    const int box = ::GetSystemMetrics(SM_CXMENUCHECK) + 3;
    int widths[kPictureTypes] = {};
    for (int type = 0; type < kPictureTypes; ++type) {
        if (!AlwaysShown(type) && m_counts[type] <= 0) {
            ::ShowWindow(m_types[type], SW_HIDE);
            continue;
        }
        char text[64] = "";
        ::GetWindowTextA(m_types[type], text, sizeof text);
        SIZE size = {};
        ::GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
        widths[type] = box + size.cx + 2;
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(m_hWnd, dc);

    int x = kTypesLeft;
    for (int type = 0; type < kPictureTypes; ++type) {
        if (!widths[type])
            continue;
        ::SetWindowPos(m_types[type], nullptr, x, kMargin + 2, widths[type], 20,
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_SHOWWINDOW);
        x += widths[type] + kTypeGap;
    }
    ::ShowWindow(m_hideDamaged, m_damaged > 0 ? SW_SHOW : SW_HIDE);
    // Boxes that moved leave their old places behind: the row is drawn anew.
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CFilterBar::OnSize(UINT type, int cx, int cy)
{
    (void)type;
    (void)cx;
    (void)cy;
    LayOutTypes();
}

void CFilterBar::Reset()
{
    m_resetting = true;
    for (HWND type : m_types)
        ::SendMessageA(type, BM_SETCHECK, BST_CHECKED, 0);
    ::SendMessageA(m_deleted, CB_SETCURSEL, 0, 0);
    ::SendMessageA(m_minSide, CB_SETCURSEL, 0, 0);
    ::SendMessageA(m_minBytes, CB_SETCURSEL, 0, 0);
    ::SendMessageA(m_sort, CB_SETCURSEL, 0, 0);
    ::SetWindowTextA(m_text, "");
    ::SendMessageA(m_hideDamaged, BM_SETCHECK, BST_UNCHECKED, 0);
    m_resetting = false;
}

PictureFilter CFilterBar::Filter() const
{
    PictureFilter filter;
    for (int type = 0; type < kPictureTypes; ++type)
        filter.types[type] = ::SendMessageA(m_types[type], BM_GETCHECK, 0, 0) == BST_CHECKED;
    filter.deletedOnly = Selected(m_deleted) == 1;
    filter.minSide = static_cast<unsigned>(kMinSides[Selected(m_minSide) % 5].value);
    filter.minBytes = kMinBytes[Selected(m_minBytes) % 5].value;
    char text[MAX_PATH] = "";
    ::GetWindowTextA(m_text, text, sizeof text);
    filter.text = text;
    filter.hideDamaged = ::SendMessageA(m_hideDamaged, BM_GETCHECK, 0, 0) == BST_CHECKED;
    return filter;
}

PictureSort CFilterBar::Sort() const
{
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
        ::SetWindowTextA(m_types[type], text);
        changed = true;
    }
    if (items.DamagedCount() != m_damaged) {
        changed = changed || (m_damaged > 0) != (items.DamagedCount() > 0);
        m_damaged = items.DamagedCount();
    }
    if (changed)
        LayOutTypes();
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
