// CWnd: a window handle with the calls the program makes on it, and
// subclassing, which routes the window's messages through a message map.
#pragma once

#include <windows.h>

#include "MessageMap.h"
#include "String.h"

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The C++ object subclassing hWnd, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);
    // The subclassing object, else a wrapper owned by the framework (valid
    // on this thread for the rest of the program; it does not own the window).
    static CWnd* FromHandle(HWND hWnd);

    // Subclassing: the window's procedure is replaced by the framework's,
    // then PreSubclassWindow runs. Detached automatically when destroyed.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(int nID, CWnd* pParent);
    HWND UnsubclassWindow();
    virtual void PreSubclassWindow() {}

    // Called by the modal loops before a message meant for this window (or
    // one of its children) is dispatched; TRUE means it was consumed.
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    // Message map dispatch, then Default().
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The original window procedure with the message being handled now.
    LRESULT Default();
    // The original window procedure with a message of the caller's choice.
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Showing, placing and painting.
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    void MoveWindow(int x, int y, int cx, int cy, BOOL bRepaint = TRUE) { ::MoveWindow(m_hWnd, x, y, cx, cy, bRepaint); }
    void MoveWindow(const RECT& rc, BOOL bRepaint = TRUE) { MoveWindow(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, bRepaint); }
    BOOL SetWindowPos(HWND hAfter, int x, int y, int cx, int cy, UINT flags) { return ::SetWindowPos(m_hWnd, hAfter, x, y, cx, cy, flags); }
    void GetWindowRect(RECT* pRect) const { ::GetWindowRect(m_hWnd, pRect); }
    void GetClientRect(RECT* pRect) const { ::GetClientRect(m_hWnd, pRect); }
    void ScreenToClient(POINT* pPoint) const { ::ScreenToClient(m_hWnd, pPoint); }
    void ScreenToClient(RECT* pRect) const;
    void ClientToScreen(POINT* pPoint) const { ::ClientToScreen(m_hWnd, pPoint); }
    void ClientToScreen(RECT* pRect) const;
    void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
    void InvalidateRect(const RECT* pRect, BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, pRect, bErase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    BOOL RedrawWindow(const RECT* pRect = nullptr, HRGN hRgn = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE)
    { return ::RedrawWindow(m_hWnd, pRect, hRgn, flags); }
    void SetRedraw(BOOL bRedraw = TRUE) { SendMessage(WM_SETREDRAW, bRedraw, 0); }
    HDC GetDC() { return ::GetDC(m_hWnd); }
    int ReleaseDC(HDC hdc) { return ::ReleaseDC(m_hWnd, hdc); }

    // State and styles.
    BOOL IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE)); }
    // With swpFlags non-zero, SetWindowPos applies the change (frame, size...).
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT swpFlags = 0);
    BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT swpFlags = 0);
    BOOL DestroyWindow();

    // Text.
    void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text ? text : ""); }
    void GetWindowText(CString& text) const;
    CString GetWindowText() const;
    int GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }
    void SetFont(HFONT hFont, BOOL bRedraw = TRUE) { SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(hFont), bRedraw); }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0)); }

    // Relatives and dialog items.
    CWnd* GetParent() const { return FromHandle(GetParentHwnd()); }
    HWND GetParentHwnd() const { return ::GetParent(m_hWnd); }
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    void SetDlgItemText(int nID, const char* text) { ::SetDlgItemTextA(m_hWnd, nID, text ? text : ""); }
    CString GetDlgItemText(int nID) const;

    // Messages, focus, timers.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) { return ::SendMessageA(m_hWnd, message, wParam, lParam); }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) { return ::PostMessageA(m_hWnd, message, wParam, lParam); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse) { return ::SetTimer(m_hWnd, nIDEvent, nElapse, nullptr); }
    BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }
    // Caption null: the application's name.
    int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK);

protected:
    static const MessageMap* GetThisMessageMap();
    virtual const MessageMap* GetMessageMap() const;

    // Offers the message to the maps (with reflection to child controls);
    // TRUE when a handler took it, its result in *pResult.
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // A command (WM_COMMAND) that no entry of the maps takes, after the
    // control it came from has seen it; true when it was handled. Lets a
    // window hand commands on to the objects it is made of.
    virtual bool OnCommand(UINT id, UINT code)
    {
        (void)id;
        (void)code;
        return false;
    }
    // Looks the message up in this object's maps and runs the handler.
    BOOL DispatchToMap(UINT message, UINT code, UINT id, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // Runs a notification reflected by the parent; TRUE when handled.
    BOOL OnChildNotify(UINT reflected, UINT code, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // After WM_NCDESTROY, once the object is detached from the window.
    virtual void PostNcDestroy() {}

    static LRESULT CALLBACK StaticWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    struct CurrentMessage { UINT message; WPARAM wParam; LPARAM lParam; };
    CurrentMessage m_current = { 0, 0, 0 };
    WNDPROC m_pfnSuper = nullptr;

    void Detach();
    friend class CDialog;
};

// Walks from the message's window up its ancestors (stopping after hStop,
// when given), offering the message to each attached object's
// PreTranslateMessage. TRUE when one consumed it.
BOOL AfxPreTranslateMessage(MSG* pMsg, HWND hStop = nullptr);
