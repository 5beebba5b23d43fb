#include "PictureTip.h"

CPictureTip::~CPictureTip()
{
    if (m_hTip && IsWindow(m_hTip))
        DestroyWindow(m_hTip);
}

bool CPictureTip::Create(HWND list)
{
    const HWND parent = GetParent(list);
    m_hTip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr,
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(list, GWLP_HINSTANCE)), nullptr);
    if (!m_hTip)
        return false;
    TOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = parent;
    tool.uId = reinterpret_cast<UINT_PTR>(list);
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    ::SendMessageA(m_hTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    // Lines of their own, as wide as a long folder needs.
    ::SendMessageA(m_hTip, TTM_SETMAXTIPWIDTH, 0, 480);
    ::SendMessageA(m_hTip, TTM_SETDELAYTIME, TTDT_AUTOPOP, 30000);
    return true;
}

void CPictureTip::Track(const MSG& msg, int position)
{
    if (!m_hTip)
        return;
    if (position != m_nPosition) {
        ::SendMessageA(m_hTip, TTM_POP, 0, 0);
        m_nPosition = position;
    }
    MSG relayed = msg;
    ::SendMessageA(m_hTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
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
