#include "PictureTip.h"

#include <algorithm>
#include <vector>

#include "Dpi.h"

namespace {

// The widest a line of the tip may be at 96 dots per inch: a long folder
// is broken onto a second line.
const int kWidestLine = 480;

}  // namespace

CPictureTip::~CPictureTip()
{
    if (m_tip.IsWindow())
        m_tip.DestroyWindow();
}

bool CPictureTip::Create(HWND list)
{
    const HWND parent = GetParent(list);
    if (!m_tip.Create(parent, TTS_NOPREFIX | TTS_ALWAYSTIP, WS_EX_TOPMOST))
        return false;
    m_tip.AddWindowTool(parent, list);
    // Lines of their own (the width is set for each text as it is shown).
    m_tip.SetMaxTipWidth(kWidestLine);
    m_tip.SetDelayTime(TTDT_AUTOPOP, 30000);
    return true;
}

void CPictureTip::Track(const MSG& msg, int position)
{
    if (!m_tip.IsWindow())
        return;
    if (msg.message == WM_MOUSELEAVE) {
        m_bLeaveTracked = false;
        Hide();
        return;
    }
    if (position != m_nPosition) {
        m_tip.Pop();
        m_nPosition = position;
    }
    if (msg.message == WM_MOUSEMOVE && !m_bLeaveTracked) {
        TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, msg.hwnd, 0};
        m_bLeaveTracked = ::TrackMouseEvent(&track) != FALSE;
    }
    MSG relayed = msg;
    m_tip.RelayEvent(&relayed);
}

void CPictureTip::Hide()
{
    if (m_tip.IsWindow())
        m_tip.Pop();
    m_nPosition = -1;
}

CString CPictureTip::Fit(const CString& text)
{
    const HWND tip = m_tip.m_hWnd;
    HDC dc = ::GetDC(tip);
    if (!dc)
        return text;
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageA(tip, WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = ::SelectObject(dc, font ? font : ::GetStockObject(DEFAULT_GUI_FONT));
    const auto width = [dc](const std::string& line) {
        SIZE size = {};
        ::GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &size);
        return static_cast<int>(size.cx);
    };
    // No wider than the screen the list is on, less a margin.
    const UINT screen = dpi::Of(tip);
    int limit = dpi::Scale(kWidestLine, screen);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (::GetMonitorInfoA(::MonitorFromWindow(::GetParent(tip), MONITOR_DEFAULTTONEAREST), &monitor))
        limit = std::min<int>(limit, monitor.rcWork.right - monitor.rcWork.left - dpi::Scale(32, screen));
    limit = std::max(limit, dpi::Scale(120, screen));

    // Each line too wide is broken between words, and a word too wide for a
    // line of its own between letters.
    std::vector<std::string> lines;
    const std::string all = text.str();
    for (size_t start = 0; start <= all.size();) {
        size_t end = all.find("\r\n", start);
        if (end == std::string::npos)
            end = all.size();
        const std::string line = all.substr(start, end - start);
        start = end + 2;
        if (width(line) <= limit) {
            lines.push_back(line);
            continue;
        }
        std::string current;
        for (size_t word = 0; word <= line.size();) {
            size_t space = line.find(' ', word);
            if (space == std::string::npos)
                space = line.size();
            std::string piece = line.substr(word, space - word);
            word = space + 1;
            const std::string joined = current.empty() ? piece : current + " " + piece;
            if (width(joined) <= limit) {
                current = joined;
                continue;
            }
            if (!current.empty())
                lines.push_back(current);
            while (piece.size() > 1 && width(piece) > limit) {
                size_t fits = 1;
                while (fits + 1 < piece.size() && width(piece.substr(0, fits + 1)) <= limit)
                    ++fits;
                lines.push_back(piece.substr(0, fits));
                piece.erase(0, fits);
            }
            current = piece;
        }
        lines.push_back(current);
    }
    std::string fitted;
    int widest = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        widest = std::max(widest, width(lines[i]));
        fitted += (i > 0 ? "\r\n" : "") + lines[i];
    }
    ::SelectObject(dc, oldFont);
    ::ReleaseDC(tip, dc);
    // The tip as wide as its widest line: it breaks none of them itself (a
    // line it broke could be drawn past its edge).
    m_tip.SetMaxTipWidth(widest + dpi::Scale(8, screen));
    return CString(fitted);
}

void CPictureTip::Answer(NMHDR* header, const CString& text)
{
    m_strText = m_tip.IsWindow() && !text.IsEmpty() ? Fit(text) : text;
    if (header->code == TTN_GETDISPINFOW) {
        m_wideText.assign(static_cast<size_t>(m_strText.GetLength()) + 1, L'\0');
        MultiByteToWideChar(CP_ACP, 0, m_strText, -1, &m_wideText[0], static_cast<int>(m_wideText.size()));
        reinterpret_cast<NMTTDISPINFOW*>(header)->lpszText = &m_wideText[0];
    } else {
        reinterpret_cast<NMTTDISPINFOA*>(header)->lpszText = const_cast<char*>(m_strText.GetString());
    }
}
