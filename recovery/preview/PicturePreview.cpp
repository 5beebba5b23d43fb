// The preview window. Longer than most files here (about 780 lines): its
// controls and keys, the worker that decodes the picture off the window's
// thread, and the drawing of what it has, which share the one window's
// state; the picture itself comes from the picture source.
#include "PicturePreview.h"

#include <objbase.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shlwapi.h>

#include <algorithm>
#include <string>

#include "FileUtils.h"
#include "PictureDecode.h"
#include "PictureDescription.h"
#include "PictureSource.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

const char CPicturePreview::kClassName[] = "QuorvanePreview";
const char CPicturePreview::kDamagedText[] = "This picture cannot be shown: its data is damaged or incomplete.";

namespace {

const UINT WM_PREVIEW_DECODED = WM_APP + 40;
const char kLoadingText[] = "Loading...";
const char kCaptionPrefix[] = "Preview - ";
const int kStartWidth = 800;
const int kStartHeight = 600;
CString TextOf(HWND control)
{
    std::string text(static_cast<size_t>(std::max(0, ::GetWindowTextLengthA(control))) + 1, '\0');
    text.resize(static_cast<size_t>(std::max(0, ::GetWindowTextA(control, &text[0], static_cast<int>(text.size())))));
    return CString(std::move(text));
}

// Sets the text only when it differs; true when it did.
bool SetText(HWND window, const CString& text)
{
    if (TextOf(window) == text)
        return false;
    ::SetWindowTextA(window, text);
    return true;
}

// The margins, gaps and sizes, in the dialog units of the font, as a dialog
// template would give them.
struct Spacing {
    int mx, my, gapX, gapY, bw, bh, panel, tickHeight;
};

Spacing SpacingFor(int unitX, int unitY)
{
    Spacing s;
    s.mx = 7 * unitX / 4;
    s.my = 7 * unitY / 8;
    s.gapX = 4 * unitX / 4;
    s.gapY = 4 * unitY / 8;
    s.bw = 50 * unitX / 4;
    s.bh = 14 * unitY / 8;
    s.panel = 130 * unitX / 4;
    s.tickHeight = 10 * unitY / 8;
    return s;
}

// The controls' places for a client area of the start size; the layout's
// anchors carry them to any other: the details and the tick box follow the
// right edge, the row of buttons the bottom edge, Close both, and the
// position line between them widens with the window.
const int kReferenceWidth = kStartWidth;
const int kReferenceHeight = kStartHeight;

RECT Rect(int left, int top, int right, int bottom)
{
    RECT rc = {left, top, right, bottom};
    return rc;
}

// The details at the top of the right-hand panel, this tall, and the tick
// box under them (at the reference size).
RECT DetailsPlace(const Spacing& s, int height)
{
    const int panelLeft = kReferenceWidth - s.mx - s.panel;
    return Rect(panelLeft, s.my, panelLeft + s.panel, s.my + height);
}

RECT TickPlace(const Spacing& s, int detailsHeight)
{
    const RECT details = DetailsPlace(s, detailsHeight);
    return Rect(details.left, details.bottom + s.gapY, details.right, details.bottom + s.gapY + s.tickHeight);
}

// The picture of width x height fitted into area, never enlarged, centred.
RECT FitInto(const RECT& area, unsigned width, unsigned height)
{
    const int aw = static_cast<int>(area.right - area.left), ah = static_cast<int>(area.bottom - area.top);
    double scale = std::min(static_cast<double>(aw) / width, static_cast<double>(ah) / height);
    scale = std::min(scale, 1.0);
    const int w = std::max(1, static_cast<int>(width * scale + 0.5));
    const int h = std::max(1, static_cast<int>(height * scale + 0.5));
    const int x = static_cast<int>(area.left) + (aw - w) / 2, y = static_cast<int>(area.top) + (ah - h) / 2;
    return Rect(x, y, x + w, y + h);
}

}  // namespace

BEGIN_MESSAGE_MAP(CPicturePreview, CWnd)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_SIZE()
    ON_WM_CLOSE()
    ON_WM_DESTROY()
    ON_BN_CLICKED(IDC_PREVIEW_PREVIOUS, &CPicturePreview::OnPrevious)
    ON_BN_CLICKED(IDC_PREVIEW_NEXT, &CPicturePreview::OnNext)
    ON_BN_CLICKED(IDC_PREVIEW_TICK, &CPicturePreview::OnTick)
    ON_BN_CLICKED(IDC_PREVIEW_CLOSE, &CPicturePreview::OnCloseButton)
    ON_MESSAGE(WM_PREVIEW_DECODED, &CPicturePreview::OnDecoded)
    ON_MESSAGE(WM_CTLCOLORSTATIC, &CPicturePreview::OnCtlColorStatic)
    ON_WM_GETMINMAXINFO()
    ON_WM_ACTIVATE()
END_MESSAGE_MAP()

CPicturePreview::CPicturePreview() : m_shared(std::make_shared<Shared>()) {}

CPicturePreview::~CPicturePreview()
{
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
    {
        std::lock_guard<std::mutex> lock(m_shared->lock);
        m_shared->stopping = true;
        m_shared->wake.notify_all();
    }
    // Waits for a decode under way: GDI+ must not be stopped under it.
    if (m_worker.joinable())
        m_worker.join();
    m_shared->result = Image();
    m_shown = Image();
    m_placeholder.Reset();
    if (m_font)
        ::DeleteObject(m_font);
}

void CPicturePreview::Open(HWND owner, IPreviewHost& host, int item)
{
    m_host = &host;
    const bool opening = !IsOpen();
    if (opening && !Create(owner))
        return;
    ShowItem(item);
    if (opening) {
        ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
        HWND first = ::IsWindowEnabled(Control(IDC_PREVIEW_NEXT)) ? Control(IDC_PREVIEW_NEXT) : Control(IDC_PREVIEW_CLOSE);
        ::SetFocus(first);
    } else if (IsIconic()) {
        ::ShowWindow(m_hWnd, SW_RESTORE);
    }
    ::SetForegroundWindow(m_hWnd);
}

void CPicturePreview::Close()
{
    if (IsOpen())
        DestroyWindow();
}

bool CPicturePreview::IsOpen() const
{
    return m_hWnd != nullptr;
}

int CPicturePreview::Item() const
{
    return IsOpen() ? m_item : -1;
}

void CPicturePreview::OnPicturesChanged()
{
    if (IsOpen())
        Refresh();
}

int CPicturePreview::DecodesStarted() const
{
    std::lock_guard<std::mutex> lock(m_shared->lock);
    return m_shared->decodes;
}

bool CPicturePreview::Create(HWND owner)
{
    const HINSTANCE instance = AfxGetInstanceHandle();
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    if (!::GetClassInfoExA(instance, kClassName, &wc)) {
        wc = {};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        // The framework's procedure takes over once the window is subclassed.
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = instance;
        wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        // No background brush: the window paints all of itself, off screen.
        wc.lpszClassName = kClassName;
        if (!::RegisterClassExA(&wc))
            return false;
    }
    HWND hWnd = ::CreateWindowExA(0, kClassName, "Preview", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                  CW_USEDEFAULT, kStartWidth, kStartHeight, owner, nullptr, instance, nullptr);
    if (!hWnd)
        return false;
    if (!SubclassWindow(hWnd)) {
        ::DestroyWindow(hWnd);
        return false;
    }
    // The owner's icons, so that the taskbar and Alt+Tab show the program.
    if (owner) {
        for (WPARAM size : {ICON_BIG, ICON_SMALL}) {
            LRESULT icon = ::SendMessageA(owner, WM_GETICON, size, 0);
            if (icon)
                SendMessage(WM_SETICON, size, icon);
        }
    }
    if (!m_font) {
        NONCLIENTMETRICSA metrics = {};
        metrics.cbSize = sizeof metrics;
        if (::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
            m_font = ::CreateFontIndirectA(&metrics.lfMessageFont);
    }
    HDC dc = ::GetDC(m_hWnd);
    HGDIOBJ old = ::SelectObject(dc, m_font ? m_font : ::GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICA tm = {};
    ::GetTextMetricsA(dc, &tm);
    SIZE alphabet = {};
    ::GetTextExtentPoint32A(dc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &alphabet);
    ::SelectObject(dc, old);
    ::ReleaseDC(m_hWnd, dc);
    m_unitX = std::max(4, static_cast<int>((alphabet.cx / 26 + 1) / 2));
    m_unitY = std::max(8, static_cast<int>(tm.tmHeight));

    CreateControls();
    CenterOnOwner(owner);
    if (!m_placeholder)
        m_placeholder = DecodePictureFile(GetModuleFolder() + "icon.png");

    {
        std::lock_guard<std::mutex> lock(m_shared->lock);
        m_shared->notify = m_hWnd;
    }
    if (!m_worker.joinable())
        m_worker = std::thread(&CPicturePreview::Work, m_shared);
    return true;
}

void CPicturePreview::CreateControls()
{
    struct NewControl {
        int id;
        const char* cls;
        const char* text;
        DWORD style;
    };
    // In tab order.
    const NewControl controls[] = {
        {IDC_PREVIEW_MESSAGE, "STATIC", "", SS_CENTER | SS_NOPREFIX},
        {IDC_PREVIEW_DETAILS, "STATIC", "", SS_LEFT | SS_NOPREFIX},
        {IDC_PREVIEW_TICK, "BUTTON", "Recover this picture", BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP},
        {IDC_PREVIEW_PREVIOUS, "BUTTON", "< Previous", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP},
        {IDC_PREVIEW_NEXT, "BUTTON", "Next >", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP},
        {IDC_PREVIEW_POSITION, "STATIC", "", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS},
        {IDC_PREVIEW_CLOSE, "BUTTON", "Close", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP},
    };
    HFONT font = m_font ? m_font : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    for (const NewControl& made : controls) {
        HWND control = ::CreateWindowExA(0, made.cls, made.text, WS_CHILD | WS_VISIBLE | made.style, 0, 0, 0, 0,
                                         m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(made.id)),
                                         AfxGetInstanceHandle(), nullptr);
        ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    ::ShowWindow(Control(IDC_PREVIEW_MESSAGE), SW_HIDE);

    const Spacing s = SpacingFor(m_unitX, m_unitY);
    const int rowTop = kReferenceHeight - s.my - s.bh;
    const int panelLeft = kReferenceWidth - s.mx - s.panel;
    m_layout.Init(m_hWnd, kReferenceWidth, kReferenceHeight);
    // The details get as tall as their text in Layout.
    m_layout.Add(Control(IDC_PREVIEW_DETAILS), DetailsPlace(s, 0), anchor::MoveX);
    m_layout.Add(Control(IDC_PREVIEW_TICK), TickPlace(s, 0), anchor::MoveX);
    CRow row(s.mx, rowTop);
    m_layout.Add(Control(IDC_PREVIEW_PREVIOUS), row.Next(s.bw, s.bh, s.gapX), anchor::MoveY);
    m_layout.Add(Control(IDC_PREVIEW_NEXT), row.Next(s.bw, s.bh, 2 * s.gapX), anchor::MoveY);
    const int textTop = rowTop + (s.bh - m_unitY) / 2;
    m_layout.Add(Control(IDC_PREVIEW_POSITION), RECT{row.X(), textTop, panelLeft - s.gapX, textTop + m_unitY},
                 anchor::MoveY | anchor::SizeX);
    m_layout.Add(Control(IDC_PREVIEW_CLOSE),
                 RECT{kReferenceWidth - s.mx - s.bw, rowTop, kReferenceWidth - s.mx, rowTop + s.bh}, anchor::Move);
}

void CPicturePreview::CenterOnOwner(HWND owner)
{
    RECT work;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT area = work;
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &area);
    const int width = std::min(kStartWidth, static_cast<int>(work.right - work.left));
    const int height = std::min(kStartHeight, static_cast<int>(work.bottom - work.top));
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    x = std::max(static_cast<int>(work.left), std::min(x, static_cast<int>(work.right) - width));
    y = std::max(static_cast<int>(work.top), std::min(y, static_cast<int>(work.bottom) - height));
    ::SetWindowPos(m_hWnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CPicturePreview::ShowItem(int item)
{
    m_item = item;
    const int position = m_host->PositionOf(item);
    if (position >= 0)
        m_lastPosition = position;
    // The camera's small copy comes from the first bytes at once; the full
    // picture follows from the worker.
    Image thumb;
    thumb.picture = CPictureSource(m_host->PicturePath(item)).SmallCopy();
    thumb.showing = thumb.picture ? Showing::Thumbnail : Showing::Loading;
    SetShown(std::move(thumb));
    RequestDecode();
    Refresh();
}

void CPicturePreview::Refresh()
{
    if (m_item < 0 || !m_host)
        return;
    const int count = m_host->ShownCount();
    const int position = m_host->PositionOf(m_item);
    if (position >= 0)
        m_lastPosition = position;

    // The host calls this on every change of its list, many times a second
    // during a search: only what changed is set, so nothing flickers.
    SetText(m_hWnd, CString(kCaptionPrefix) + m_host->PictureTitle(m_item));
    const bool detailsChanged = SetText(Control(IDC_PREVIEW_DETAILS), m_host->PictureDetails(m_item));
    CString where;
    if (position >= 0)
        where = GroupedNumber(static_cast<uint64_t>(position + 1)) + " of " + GroupedNumber(static_cast<uint64_t>(count));
    else
        where = CString("Not in the list now (") + GroupedNumber(static_cast<uint64_t>(count)) + " shown)";
    SetText(Control(IDC_PREVIEW_POSITION), where);
    ::SendMessageA(Control(IDC_PREVIEW_TICK), BM_SETCHECK, m_host->IsTicked(m_item) ? BST_CHECKED : BST_UNCHECKED, 0);

    HWND previous = Control(IDC_PREVIEW_PREVIOUS);
    HWND next = Control(IDC_PREVIEW_NEXT);
    const bool canPrevious = Target(-1) >= 0;
    const bool canNext = Target(+1) >= 0;
    // A disabled button cannot keep the focus; hand it to its neighbour.
    HWND focus = ::GetFocus();
    if ((focus == previous && !canPrevious) || (focus == next && !canNext)) {
        HWND other = focus == previous ? next : previous;
        const bool otherOn = focus == previous ? canNext : canPrevious;
        ::SetFocus(otherOn ? other : Control(IDC_PREVIEW_CLOSE));
    }
    ::EnableWindow(previous, canPrevious);
    ::EnableWindow(next, canNext);
    // The tick box goes under the details, as tall as they are now.
    if (detailsChanged)
        Layout();
}

int CPicturePreview::Target(int direction)
{
    if (!m_host || m_item < 0)
        return -1;
    const int count = m_host->ShownCount();
    const int position = m_host->PositionOf(m_item);
    int target;
    if (position >= 0) {
        m_lastPosition = position;
        target = position + direction;
    } else {
        // Filtered out: the one after it has moved up into its place.
        const int place = std::min(std::max(m_lastPosition, 0), count);
        target = direction > 0 ? place : place - 1;
    }
    return target >= 0 && target < count ? target : -1;
}

bool CPicturePreview::Step(int direction)
{
    const int target = Target(direction);
    if (target < 0)
        return false;
    const int item = m_host->ItemAt(target);
    if (item < 0)
        return false;
    ShowItem(item);
    m_host->OnPreviewStep(item);
    return true;
}

bool CPicturePreview::StepToEnd(bool last)
{
    if (!m_host || m_item < 0)
        return false;
    const int count = m_host->ShownCount();
    if (count <= 0)
        return false;
    const int item = m_host->ItemAt(last ? count - 1 : 0);
    if (item < 0 || item == m_item)
        return false;
    ShowItem(item);
    m_host->OnPreviewStep(item);
    return true;
}

void CPicturePreview::ToggleTick()
{
    if (!m_host || m_item < 0)
        return;
    const bool ticked = !m_host->IsTicked(m_item);
    m_host->SetTicked(m_item, ticked);
    ::SendMessageA(Control(IDC_PREVIEW_TICK), BM_SETCHECK, m_host->IsTicked(m_item) ? BST_CHECKED : BST_UNCHECKED, 0);
}

BOOL CPicturePreview::PreTranslateMessage(MSG* pMsg)
{
    if (!m_hWnd || (pMsg->hwnd != m_hWnd && !::IsChild(m_hWnd, pMsg->hwnd)))
        return FALSE;
    const bool modified = (::GetKeyState(VK_CONTROL) & 0x8000) || (::GetKeyState(VK_MENU) & 0x8000);
    if (pMsg->message == WM_KEYDOWN && !modified) {
        switch (pMsg->wParam) {
        case VK_LEFT:
            Step(-1);
            return TRUE;
        case VK_RIGHT:
            Step(+1);
            return TRUE;
        case VK_HOME:
            StepToEnd(false);
            return TRUE;
        case VK_END:
            StepToEnd(true);
            return TRUE;
        case VK_SPACE:
            // Whichever control has the focus: the tick is what Space is for here.
            ToggleTick();
            return TRUE;
        case VK_ESCAPE:
            Close();
            return TRUE;
        default:
            break;
        }
    }
    // Tab, Enter on a button and the rest of dialog navigation.
    return ::IsDialogMessageA(m_hWnd, pMsg);
}

void CPicturePreview::OnPrevious()
{
    Step(-1);
}

void CPicturePreview::OnNext()
{
    Step(+1);
}

void CPicturePreview::OnTick()
{
    if (!m_host || m_item < 0)
        return;
    const bool ticked = ::SendMessageA(Control(IDC_PREVIEW_TICK), BM_GETCHECK, 0, 0) == BST_CHECKED;
    m_host->SetTicked(m_item, ticked);
}

void CPicturePreview::OnCloseButton()
{
    Close();
}

void CPicturePreview::OnClose()
{
    Close();
}

void CPicturePreview::OnDestroy()
{
    {
        std::lock_guard<std::mutex> lock(m_shared->lock);
        m_shared->notify = nullptr;
        m_shared->pending = false;
        ++m_shared->current;  // a decode under way is dropped when done
        m_shared->result = Image();
    }
    m_shown = Image();
    m_item = -1;
    m_lastPosition = -1;
    m_focus = nullptr;
    Default();
}

void CPicturePreview::OnActivate(UINT state, HWND other, BOOL minimized)
{
    (void)other;
    (void)minimized;
    if (state == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        if (focus && ::IsChild(m_hWnd, focus))
            m_focus = focus;
        return;
    }
    HWND focus = m_focus && ::IsWindow(m_focus) && ::IsWindowEnabled(m_focus) ? m_focus : nullptr;
    if (!focus)
        focus = ::IsWindowEnabled(Control(IDC_PREVIEW_NEXT)) ? Control(IDC_PREVIEW_NEXT) : Control(IDC_PREVIEW_CLOSE);
    if (!::IsIconic(m_hWnd))
        ::SetFocus(focus);
}

void CPicturePreview::OnGetMinMaxInfo(MINMAXINFO* info)
{
    info->ptMinTrackSize.x = std::max(info->ptMinTrackSize.x, static_cast<LONG>(110 * m_unitX));
    info->ptMinTrackSize.y = std::max(info->ptMinTrackSize.y, static_cast<LONG>(25 * m_unitY));
}

LRESULT CPicturePreview::OnCtlColorStatic(WPARAM wParam, LPARAM lParam)
{
    HDC dc = reinterpret_cast<HDC>(wParam);
    if (reinterpret_cast<HWND>(lParam) == Control(IDC_PREVIEW_MESSAGE)) {
        // It lies over the picture's white.
        ::SetBkColor(dc, RGB(255, 255, 255));
        ::SetTextColor(dc, m_shown.showing == Showing::Loading ? ::GetSysColor(COLOR_GRAYTEXT) : RGB(0, 0, 0));
        return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
    }
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

void CPicturePreview::OnSize(UINT type, int cx, int cy)
{
    (void)cx;
    (void)cy;
    if (type == SIZE_MINIMIZED)
        return;
    Layout();
    // The picture is centred anew; painting off screen keeps it from flickering.
    Invalidate(FALSE);
}

void CPicturePreview::Layout()
{
    if (!m_hWnd)
        return;
    RECT client;
    GetClientRect(&client);
    m_layout.Resize(client.right, client.bottom);

    // The details are as tall as their lines at the panel's width, as far
    // as there is room above the buttons for them and the tick box.
    const Spacing s = SpacingFor(m_unitX, m_unitY);
    HWND details = Control(IDC_PREVIEW_DETAILS);
    int detailsHeight = 0;
    const CString text = TextOf(details);
    if (!text.IsEmpty()) {
        RECT measure = {0, 0, s.panel, 0};
        HDC dc = ::GetDC(m_hWnd);
        HGDIOBJ old = ::SelectObject(dc, m_font ? m_font : ::GetStockObject(DEFAULT_GUI_FONT));
        ::DrawTextA(dc, text, -1, &measure, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
        ::SelectObject(dc, old);
        ::ReleaseDC(m_hWnd, dc);
        detailsHeight = measure.bottom;
    }
    const int rowTop = m_layout.Place(Control(IDC_PREVIEW_PREVIOUS)).top;
    const int room = std::max(0, rowTop - s.my - s.my - s.gapY - s.tickHeight);
    detailsHeight = std::min(detailsHeight, room);
    m_layout.Add(details, DetailsPlace(s, detailsHeight), anchor::MoveX);
    m_layout.Add(Control(IDC_PREVIEW_TICK), TickPlace(s, detailsHeight), anchor::MoveX);
    UpdateMessage();
}

RECT CPicturePreview::PictureArea() const
{
    // Left of the details panel and above the row of buttons.
    const Spacing s = SpacingFor(m_unitX, m_unitY);
    const int panelLeft = m_layout.Place(Control(IDC_PREVIEW_DETAILS)).left;
    const int rowTop = m_layout.Place(Control(IDC_PREVIEW_PREVIOUS)).top;
    return RECT{s.mx, s.my, std::max(s.mx, panelLeft - s.mx), std::max(s.my, rowTop - s.my)};
}

// The message over the picture area: centred while loading, under the
// placeholder for a damaged picture.
void CPicturePreview::UpdateMessage()
{
    HWND message = Control(IDC_PREVIEW_MESSAGE);
    const bool loading = m_shown.showing == Showing::Loading;
    const bool undrawn = m_shown.showing == Showing::Undrawn;
    const bool damaged = m_shown.showing == Showing::Damaged || undrawn;
    if (!loading && !damaged) {
        ::ShowWindow(message, SW_HIDE);
        return;
    }
    CString text = damaged ? kDamagedText : kLoadingText;
    if (undrawn && m_item >= 0 && m_host)
        text = CannotShowText(PictureTypeOf(m_host->PicturePath(m_item).str()));
    SetText(message, text);
    RECT area = PictureArea();
    ::InflateRect(&area, -m_unitX, 0);
    const int width = std::max(0, static_cast<int>(area.right - area.left));
    int top = (area.top + area.bottom) / 2 - m_unitY / 2;
    int lines = 1;
    if (damaged) {
        const UINT iconHeight = m_placeholder.Height();
        top = (area.top + area.bottom) / 2 + static_cast<int>(iconHeight) / 2 + m_unitY / 2;
        lines = 3;  // room for the text to wrap in a narrow window
    }
    ::SetWindowPos(message, nullptr, area.left, top, width, lines * m_unitY,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

BOOL CPicturePreview::OnEraseBkgnd(HDC hdc)
{
    (void)hdc;
    return TRUE;  // OnPaint covers everything
}

void CPicturePreview::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT client;
    GetClientRect(&client);
    if (client.right > 0 && client.bottom > 0) {
        HDC mem = ::CreateCompatibleDC(dc);
        HBITMAP buffer = ::CreateCompatibleBitmap(dc, client.right, client.bottom);
        HGDIOBJ oldBitmap = ::SelectObject(mem, buffer);
        ::FillRect(mem, &client, ::GetSysColorBrush(COLOR_BTNFACE));
        const RECT area = PictureArea();
        RECT frame = area;
        ::InflateRect(&frame, 1, 1);
        ::FrameRect(mem, &frame, ::GetSysColorBrush(COLOR_BTNSHADOW));
        ::FillRect(mem, &area, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        DrawPicture(mem, area);
        ::BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                 ps.rcPaint.bottom - ps.rcPaint.top, mem, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
        ::SelectObject(mem, oldBitmap);
        ::DeleteObject(buffer);
        ::DeleteDC(mem);
    }
    ::EndPaint(m_hWnd, &ps);
}

void CPicturePreview::DrawPicture(HDC hdc, const RECT& area)
{
    if (area.right - area.left <= 0 || area.bottom - area.top <= 0)
        return;
    GpGraphics* graphics = nullptr;
    if (GdipCreateFromHDC(hdc, &graphics) != Ok)
        return;
    GdipSetClipRectI(graphics, area.left, area.top, area.right - area.left, area.bottom - area.top, CombineModeReplace);
    const DecodedPicture& shown = m_shown.picture;
    if ((m_shown.showing == Showing::Damaged || m_shown.showing == Showing::Undrawn) && m_placeholder) {
        const UINT w = m_placeholder.Width(), h = m_placeholder.Height();
        const int x = (area.left + area.right - static_cast<int>(w)) / 2;
        const int y = (area.top + area.bottom - static_cast<int>(h)) / 2 - m_unitY;
        GdipDrawImageRectI(graphics, m_placeholder.Get(), x, y, static_cast<INT>(w), static_cast<INT>(h));
    } else if (shown && shown.width > 0 && shown.height > 0) {
        const RECT fit = FitInto(area, shown.width, shown.height);
        const int w = fit.right - fit.left, h = fit.bottom - fit.top;
        // The screen-sized copy at its own size is copied as it is.
        const bool same = w == shown.srcWidth && h == shown.srcHeight;
        GdipSetInterpolationMode(graphics, same ? InterpolationModeNearestNeighbor : InterpolationModeHighQualityBilinear);
        GdipSetPixelOffsetMode(graphics, PixelOffsetModeHalf);
        GdipDrawImageRectRectI(graphics, shown.image.Get(), fit.left, fit.top, w, h, shown.srcX, shown.srcY,
                               shown.srcWidth, shown.srcHeight, UnitPixel, nullptr, nullptr, nullptr);
    }
    GdipDeleteGraphics(graphics);
}

void CPicturePreview::SetShown(Image image)
{
    m_shown = std::move(image);
    if (m_hWnd) {
        UpdateMessage();
        RECT area = PictureArea();
        InvalidateRect(&area, FALSE);
    }
}

void CPicturePreview::RequestDecode()
{
    // The full picture is kept only as large as the screen it is shown on.
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    int maxWidth = 1920, maxHeight = 1200;
    if (::GetMonitorInfoA(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor)) {
        maxWidth = monitor.rcMonitor.right - monitor.rcMonitor.left;
        maxHeight = monitor.rcMonitor.bottom - monitor.rcMonitor.top;
    }
    std::lock_guard<std::mutex> lock(m_shared->lock);
    // The newest request replaces one not yet begun.
    m_shared->request.generation = ++m_shared->current;
    m_shared->request.path = m_host->PicturePath(m_item);
    m_shared->request.maxWidth = maxWidth;
    m_shared->request.maxHeight = maxHeight;
    m_shared->pending = true;
    m_shared->result = Image();
    m_shared->wake.notify_one();
}

LRESULT CPicturePreview::OnDecoded(WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    Image image;
    {
        std::lock_guard<std::mutex> lock(m_shared->lock);
        if (static_cast<unsigned>(wParam) != m_shared->current || m_shared->resultGeneration != m_shared->current ||
            m_shared->result.showing == Showing::Nothing)
            return 0;
        image = std::move(m_shared->result);
        m_shared->result = Image();
    }
    SetShown(std::move(image));
    return 0;
}

CPicturePreview::Image CPicturePreview::Decode(const Request& request)
{
    Image image;
    image.showing = Showing::Damaged;
    CPictureSource source(request.path);
    if (!source.Draws()) {
        image.showing = Showing::Undrawn;
        return image;
    }
    // A damaged JPEG that nothing decodes whole: what can be had of it,
    // the rest grey, shown as large as the picture.
    DecodedPicture full = source.Whole();
    if (!full)
        full = source.Salvage();
    // Only the screen-sized copy is kept: a 12-megapixel photo takes 48 MB decoded.
    image.picture = FittedCopy(full, request.maxWidth, request.maxHeight);
    if (image.picture)
        image.showing = Showing::Picture;
    // A RAW that carries no picture is not damaged: it says why it is not shown.
    else if (source.DrawsCarriedOnly())
        image.showing = Showing::Undrawn;
    return image;
}

void CPicturePreview::Work(std::shared_ptr<Shared> shared)
{
    // GDI+ reads files through COM objects.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::unique_lock<std::mutex> lock(shared->lock);
    for (;;) {
        shared->wake.wait(lock, [&] { return shared->stopping || shared->pending; });
        if (shared->stopping)
            break;
        const Request request = shared->request;
        shared->pending = false;
        ++shared->decodes;
        lock.unlock();

        Image image = Decode(request);

        lock.lock();
        if (request.generation == shared->current && !shared->stopping && shared->notify) {
            shared->result = std::move(image);
            shared->resultGeneration = request.generation;
            ::PostMessageA(shared->notify, WM_PREVIEW_DECODED, request.generation, 0);
        }
    }
    lock.unlock();
    if (SUCCEEDED(com))
        CoUninitialize();
}
