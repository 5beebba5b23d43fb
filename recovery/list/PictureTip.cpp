#include "PictureTip.h"

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
    // Lines of their own, as wide as a long folder needs.
    m_tip.SetMaxTipWidth(480);
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

void CPictureTip::Answer(NMHDR* header, const CString& text)
{
    m_strText = text;
    if (header->code == TTN_GETDISPINFOW) {
        m_wideText.assign(static_cast<size_t>(m_strText.GetLength()) + 1, L'\0');
        MultiByteToWideChar(CP_ACP, 0, m_strText, -1, &m_wideText[0], static_cast<int>(m_wideText.size()));
        reinterpret_cast<NMTTDISPINFOW*>(header)->lpszText = &m_wideText[0];
    } else {
        reinterpret_cast<NMTTDISPINFOA*>(header)->lpszText = const_cast<char*>(m_strText.GetString());
    }
}
