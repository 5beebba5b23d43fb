#include "PreviewLayout.h"

#include <algorithm>

namespace {

// The margins, gaps and sizes, in the dialog units of the font.
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

// The controls' places are for a client area of the start size.
const int kReferenceWidth = CPreviewLayout::kStartWidth;
const int kReferenceHeight = CPreviewLayout::kStartHeight;

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

HGDIOBJ FontOrGui(HFONT font)
{
    return font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT);
}

}  // namespace

void CPreviewLayout::Measure(HWND window, HFONT font)
{
    HDC dc = ::GetDC(window);
    HGDIOBJ old = ::SelectObject(dc, FontOrGui(font));
    TEXTMETRICA tm = {};
    ::GetTextMetricsA(dc, &tm);
    SIZE alphabet = {};
    ::GetTextExtentPoint32A(dc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &alphabet);
    ::SelectObject(dc, old);
    ::ReleaseDC(window, dc);
    m_unitX = std::max(4, static_cast<int>((alphabet.cx / 26 + 1) / 2));
    m_unitY = std::max(8, static_cast<int>(tm.tmHeight));
}

void CPreviewLayout::Init(HWND window, const PreviewControls& c)
{
    const Spacing s = SpacingFor(m_unitX, m_unitY);
    const int rowTop = kReferenceHeight - s.my - s.bh;
    const int panelLeft = kReferenceWidth - s.mx - s.panel;
    m_layout.Init(window, kReferenceWidth, kReferenceHeight);
    // The details get as tall as their text in Fit.
    m_layout.Add(c.details, DetailsPlace(s, 0), anchor::MoveX);
    m_layout.Add(c.tick, TickPlace(s, 0), anchor::MoveX);
    CRow row(s.mx, rowTop);
    m_layout.Add(c.previous, row.Next(s.bw, s.bh, s.gapX), anchor::MoveY);
    m_layout.Add(c.next, row.Next(s.bw, s.bh, 2 * s.gapX), anchor::MoveY);
    const int textTop = rowTop + (s.bh - m_unitY) / 2;
    m_layout.Add(c.position, RECT{row.X(), textTop, panelLeft - s.gapX, textTop + m_unitY},
                 anchor::MoveY | anchor::SizeX);
    m_layout.Add(c.close, RECT{kReferenceWidth - s.mx - s.bw, rowTop, kReferenceWidth - s.mx, rowTop + s.bh},
                 anchor::Move);
}

void CPreviewLayout::Fit(HWND window, HFONT font, const PreviewControls& c, const CString& detailsText)
{
    RECT client;
    ::GetClientRect(window, &client);
    m_layout.Resize(client.right, client.bottom);

    const Spacing s = SpacingFor(m_unitX, m_unitY);
    int detailsHeight = 0;
    if (!detailsText.IsEmpty()) {
        RECT measure = {0, 0, s.panel, 0};
        HDC dc = ::GetDC(window);
        HGDIOBJ old = ::SelectObject(dc, FontOrGui(font));
        ::DrawTextA(dc, detailsText, -1, &measure, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
        ::SelectObject(dc, old);
        ::ReleaseDC(window, dc);
        detailsHeight = measure.bottom;
    }
    const int rowTop = m_layout.Place(c.previous).top;
    const int room = std::max(0, rowTop - s.my - s.my - s.gapY - s.tickHeight);
    detailsHeight = std::min(detailsHeight, room);
    m_layout.Add(c.details, DetailsPlace(s, detailsHeight), anchor::MoveX);
    m_layout.Add(c.tick, TickPlace(s, detailsHeight), anchor::MoveX);
}

RECT CPreviewLayout::PictureArea(const PreviewControls& c) const
{
    const Spacing s = SpacingFor(m_unitX, m_unitY);
    const int panelLeft = m_layout.Place(c.details).left;
    const int rowTop = m_layout.Place(c.previous).top;
    return RECT{s.mx, s.my, std::max(s.mx, panelLeft - s.mx), std::max(s.my, rowTop - s.my)};
}

void CPreviewLayout::LimitTracking(MINMAXINFO* info) const
{
    info->ptMinTrackSize.x = std::max(info->ptMinTrackSize.x, static_cast<LONG>(110 * m_unitX));
    info->ptMinTrackSize.y = std::max(info->ptMinTrackSize.y, static_cast<LONG>(25 * m_unitY));
}
