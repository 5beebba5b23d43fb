#include "Wnd.h"

#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "WinApp.h"

namespace {

// Each bound window's object, by handle. Looked up for every message a
// window gets: kept here rather than in a window property, which some
// systems (Wine) answer only through their window server. Never destroyed:
// windows may still get messages while the program's statics go.
struct BoundObjects {
    std::mutex lock;
    std::unordered_map<HWND, CWnd*> objects;
};

BoundObjects& Bound()
{
    static BoundObjects* const bound = new BoundObjects;
    return *bound;
}

bool IsControlColorMessage(UINT message)
{
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}
}

CWnd::~CWnd()
{
    // The window outlives the object (for instance a control whose dialog is
    // still open): give it back its own procedure.
    if (m_hWnd && m_pfnSuper)
        UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    BoundObjects& bound = Bound();
    std::lock_guard<std::mutex> guard(bound.lock);
    const auto found = bound.objects.find(hWnd);
    return found == bound.objects.end() ? nullptr : found->second;
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (CWnd* pWnd = FromHandlePermanent(hWnd))
        return pWnd;
    if (!hWnd)
        return nullptr;
    // One wrapper per handle, kept for the thread's life: callers may hold
    // the pointer as MFC's temporary objects allow, and there are few windows.
    thread_local std::map<HWND, std::unique_ptr<CWnd>> wrappers;
    std::unique_ptr<CWnd>& wrapper = wrappers[hWnd];
    if (!wrapper)
        wrapper.reset(new CWnd);
    wrapper->m_hWnd = hWnd;
    return wrapper.get();
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!hWnd || m_hWnd || !::IsWindow(hWnd))
        return FALSE;
    {
        BoundObjects& bound = Bound();
        std::lock_guard<std::mutex> guard(bound.lock);
        if (!bound.objects.emplace(hWnd, this).second)
            return FALSE;
    }
    m_hWnd = hWnd;
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StaticWindowProc)));
    PreSubclassWindow();
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(int nID, CWnd* pParent)
{
    return pParent ? SubclassWindow(::GetDlgItem(pParent->m_hWnd, nID)) : FALSE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND hWnd = m_hWnd;
    if (!hWnd)
        return nullptr;
    if (m_pfnSuper)
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    Detach();
    return hWnd;
}

void CWnd::Detach()
{
    if (m_hWnd) {
        BoundObjects& bound = Bound();
        std::lock_guard<std::mutex> guard(bound.lock);
        const auto found = bound.objects.find(m_hWnd);
        if (found != bound.objects.end() && found->second == this)
            bound.objects.erase(found);
    }
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
}

BOOL CWnd::PreTranslateMessage(MSG* pMsg)
{
    (void)pMsg;
    return FALSE;
}

LRESULT CALLBACK CWnd::StaticWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = FromHandlePermanent(hWnd);
    if (!pWnd)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);

    CurrentMessage saved = pWnd->m_current;
    pWnd->m_current = { message, wParam, lParam };
    LRESULT result = pWnd->WindowProc(message, wParam, lParam);
    pWnd->m_current = saved;

    if (message == WM_NCDESTROY && pWnd->m_hWnd == hWnd) {
        pWnd->Detach();
        CWinApp* pApp = AfxGetApp();
        if (pApp && pApp->m_pMainWnd == pWnd) {
            pApp->m_pMainWnd = nullptr;
            ::PostQuitMessage(0);
        }
        pWnd->PostNcDestroy();
    }
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (OnWndMsg(message, wParam, lParam, &result))
        return result;
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    // A reflected notification has no original procedure to go to.
    if (m_current.message >= WM_REFLECT_BASE && m_current.message < WM_REFLECT_BASE + 0x400)
        return 0;
    return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

const MessageMap* CWnd::GetThisMessageMap()
{
    static const MessageMapEntry s_entries[] = { { 0, 0, 0, nullptr } };
    static const MessageMap s_map = { nullptr, s_entries };
    return &s_map;
}

const MessageMap* CWnd::GetMessageMap() const
{
    return GetThisMessageMap();
}

BOOL CWnd::DispatchToMap(UINT message, UINT code, UINT id, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    for (const MessageMap* pMap = GetMessageMap(); pMap;
         pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const MessageMapEntry* pEntry = pMap->pEntries; pEntry->pfn; ++pEntry) {
            if (pEntry->nMessage == message && pEntry->nCode == code && pEntry->nID == id) {
                *pResult = pEntry->pfn(this, wParam, lParam);
                return TRUE;
            }
        }
    }
    return FALSE;
}

BOOL CWnd::OnChildNotify(UINT reflected, UINT code, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    CurrentMessage saved = m_current;
    m_current = { reflected, wParam, lParam };
    BOOL handled = DispatchToMap(reflected, code, 0, wParam, lParam, pResult);
    m_current = saved;
    return handled;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    UINT code = 0;
    UINT id = 0;
    if (message == WM_COMMAND) {
        code = HIWORD(wParam);
        id = LOWORD(wParam);
        // The control sees its own notification first; it then goes on to
        // this window's map as usual.
        CWnd* pChild = FromHandlePermanent(reinterpret_cast<HWND>(lParam));
        if (pChild && pChild != this) {
            LRESULT ignored = 0;
            pChild->OnChildNotify(WM_REFLECT_COMMAND, code, wParam, lParam, &ignored);
        }
    } else if (message == WM_NOTIFY) {
        const NMHDR* pHeader = reinterpret_cast<const NMHDR*>(lParam);
        code = pHeader->code;
        id = static_cast<UINT>(pHeader->idFrom);
    } else if (message == WM_DRAWITEM) {
        const DRAWITEMSTRUCT* pDraw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        CWnd* pChild = pDraw->CtlType == ODT_MENU ? nullptr : FromHandlePermanent(pDraw->hwndItem);
        if (pChild && pChild != this && pChild->OnChildNotify(WM_REFLECT_DRAWITEM, 0, wParam, lParam, pResult))
            return TRUE;
    } else if (IsControlColorMessage(message)) {
        CWnd* pChild = FromHandlePermanent(reinterpret_cast<HWND>(lParam));
        LRESULT brush = 0;
        if (pChild && pChild != this &&
            pChild->OnChildNotify(WM_REFLECT_CTLCOLOR, 0, wParam, message - WM_CTLCOLORMSGBOX, &brush) && brush) {
            *pResult = brush;
            return TRUE;
        }
    }
    if (DispatchToMap(message, code, id, wParam, lParam, pResult))
        return TRUE;
    if (message == WM_COMMAND && OnCommand(id, code)) {
        *pResult = 0;
        return TRUE;
    }
    return FALSE;
}

void CWnd::ScreenToClient(RECT* pRect) const
{
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(pRect), 2);
}

void CWnd::ClientToScreen(RECT* pRect) const
{
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(pRect), 2);
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT swpFlags)
{
    DWORD style = GetStyle();
    DWORD newStyle = (style & ~dwRemove) | dwAdd;
    if (style == newStyle)
        return FALSE;
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(newStyle));
    if (swpFlags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
    return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT swpFlags)
{
    DWORD style = GetExStyle();
    DWORD newStyle = (style & ~dwRemove) | dwAdd;
    if (style == newStyle)
        return FALSE;
    ::SetWindowLongPtrA(m_hWnd, GWL_EXSTYLE, static_cast<LONG_PTR>(newStyle));
    if (swpFlags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

void CWnd::GetWindowText(CString& text) const
{
    text = GetWindowText();
}

CString CWnd::GetWindowText() const
{
    int length = ::GetWindowTextLengthA(m_hWnd);
    if (length <= 0)
        return CString();
    std::string buffer(static_cast<size_t>(length) + 1, '\0');
    int copied = ::GetWindowTextA(m_hWnd, &buffer[0], length + 1);
    buffer.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return CString(std::move(buffer));
}

CString CWnd::GetDlgItemText(int nID) const
{
    HWND hItem = ::GetDlgItem(m_hWnd, nID);
    return hItem ? FromHandle(hItem)->GetWindowText() : CString();
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type)
{
    if (!caption) {
        CWinApp* pApp = AfxGetApp();
        caption = pApp && pApp->m_pszAppName ? pApp->m_pszAppName : "";
    }
    return ::MessageBoxA(m_hWnd, text ? text : "", caption, type);
}

BOOL AfxPreTranslateMessage(MSG* pMsg, HWND hStop)
{
    for (HWND hWnd = pMsg->hwnd; hWnd; hWnd = ::GetParent(hWnd)) {
        CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
        if (pWnd && pWnd->PreTranslateMessage(pMsg))
            return TRUE;
        if (hWnd == hStop)
            break;
    }
    return FALSE;
}
