// The preview window: its controls, its messages and what the picture area
// shows; the steps through the host's list and the keys are PreviewSteps'. Their places are PreviewLayout's,
// the painting PreviewPaint's, the full picture PreviewDecoder's.
#include "PicturePreview.h"

#include <algorithm>
#include <string>

#include "FileUtils.h"
#include "PictureDecode.h"
#include "PictureDescription.h"
#include "PreviewPaint.h"
#include "PreviewText.h"

const char CPicturePreview::kClassName[] = "QuorvanePreview";
const char CPicturePreview::kDamagedText[] = "This picture cannot be shown: its data is damaged or incomplete.";

namespace {

const char kLoadingText[] = "Loading...";
const int kStartWidth = CPreviewLayout::kStartWidth;
const int kStartHeight = CPreviewLayout::kStartHeight;

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
    ON_MESSAGE(CPreviewDecoder::kDecodedMessage, &CPicturePreview::OnDecoded)
    ON_MESSAGE(WM_CTLCOLORSTATIC, &CPicturePreview::OnCtlColorStatic)
    ON_WM_GETMINMAXINFO()
    ON_WM_ACTIVATE()
END_MESSAGE_MAP()

CPicturePreview::CPicturePreview() = default;

CPicturePreview::~CPicturePreview()
{
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
    m_decoder.Stop();
    m_shown = PreviewImage();
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
    return m_decoder.Started();
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
    m_layout.Measure(m_hWnd, m_font);

    CreateControls();
    CenterOnOwner(owner);
    if (!m_placeholder)
        m_placeholder = DecodePictureFile(GetModuleFolder() + "icon.png");

    m_decoder.Start(m_hWnd);
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

    m_layout.Init(m_hWnd, Controls());
}

PreviewControls CPicturePreview::Controls() const
{
    return {Control(IDC_PREVIEW_DETAILS),  Control(IDC_PREVIEW_TICK),     Control(IDC_PREVIEW_PREVIOUS),
            Control(IDC_PREVIEW_NEXT),     Control(IDC_PREVIEW_POSITION), Control(IDC_PREVIEW_CLOSE)};
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
    m_decoder.Forget();
    m_shown = PreviewImage();
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
    m_layout.LimitTracking(info);
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
    m_layout.Fit(m_hWnd, m_font, Controls(), TextOf(Control(IDC_PREVIEW_DETAILS)));
    UpdateMessage();
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
    ::InflateRect(&area, -m_layout.UnitX(), 0);
    const int width = std::max(0, static_cast<int>(area.right - area.left));
    const int unitY = m_layout.UnitY();
    int top = (area.top + area.bottom) / 2 - unitY / 2;
    int lines = 1;
    if (damaged) {
        const UINT iconHeight = m_placeholder.Height();
        top = (area.top + area.bottom) / 2 + static_cast<int>(iconHeight) / 2 + unitY / 2;
        lines = 3;  // room for the text to wrap in a narrow window
    }
    ::SetWindowPos(message, nullptr, area.left, top, width, lines * unitY,
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
    PaintPreview(m_hWnd, dc, ps.rcPaint, PictureArea(), m_shown, m_placeholder, m_layout.UnitY());
    ::EndPaint(m_hWnd, &ps);
}

void CPicturePreview::SetShown(PreviewImage image)
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
    m_decoder.Request(m_host->PicturePath(m_item), maxWidth, maxHeight);
}

LRESULT CPicturePreview::OnDecoded(WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    PreviewImage image;
    if (m_decoder.Take(wParam, image))
        SetShown(std::move(image));
    return 0;
}
