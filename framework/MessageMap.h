// Message maps: a static table per class, chained to the base class's table.
// Each entry holds a small generated function that unpacks the message and
// calls the handler through a member pointer of the exact documented type,
// so a handler with the wrong signature does not compile.
#pragma once

#include <windows.h>
#include <type_traits>

class CWnd;

// Private message numbers under which a parent offers a notification back to
// the child control it came from, before handling it itself.
enum : UINT {
    WM_REFLECT_BASE = 0xBC00,
    WM_REFLECT_COMMAND = WM_REFLECT_BASE + WM_COMMAND,   // wParam, lParam as WM_COMMAND
    WM_REFLECT_DRAWITEM = WM_REFLECT_BASE + WM_DRAWITEM, // lParam: DRAWITEMSTRUCT*
    WM_REFLECT_CTLCOLOR = WM_REFLECT_BASE + WM_CTLCOLORSTATIC, // wParam: HDC, lParam: CTLCOLOR_*
};

typedef LRESULT (*MessageHandlerThunk)(CWnd* pWnd, WPARAM wParam, LPARAM lParam);

struct MessageMapEntry {
    UINT nMessage;
    UINT nCode;  // notification code for WM_COMMAND / WM_NOTIFY entries, else 0
    UINT nID;    // control or command id for WM_COMMAND / WM_NOTIFY entries, else 0
    MessageHandlerThunk pfn;
};

struct MessageMap {
    const MessageMap* (*pfnGetBaseMap)();
    const MessageMapEntry* pEntries; // ends with an entry whose pfn is null
};

// Pointer-to-member type of a handler, spelled from a plain function type.
template <class C, class F>
struct MessageMapMember {
    typedef F C::*Type;
};

// Handler signatures.
namespace msgsig {
typedef void Void();
typedef void Timer(UINT_PTR);
typedef HCURSOR QueryDragIcon();
typedef LRESULT Message(WPARAM, LPARAM);
typedef BOOL EraseBkgnd(HDC);
typedef void Size(UINT, int, int);
typedef BOOL SetCursor(HWND, UINT, UINT);
typedef UINT GetDlgCode();
typedef void Mouse(UINT, POINT);
typedef void DrawItem(LPDRAWITEMSTRUCT);
typedef HBRUSH CtlColor(HDC, UINT);
typedef void Notify(NMHDR*, LRESULT*);
typedef BOOL HelpInfo(HELPINFO*);
typedef void GetMinMaxInfo(MINMAXINFO*);
typedef void Activate(UINT, HWND, BOOL);
}

#define DECLARE_MESSAGE_MAP()                              \
protected:                                                 \
    static const MessageMap* GetThisMessageMap();          \
    virtual const MessageMap* GetMessageMap() const;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                  \
    const MessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const MessageMap* theClass::GetThisMessageMap()                             \
    {                                                                           \
        typedef theClass ThisClass;                                             \
        typedef baseClass TheBaseClass;                                         \
        static_assert(std::is_base_of<TheBaseClass, ThisClass>::value,          \
                      "message map base must be a base class");                 \
        static const MessageMapEntry s_entries[] = {

#define END_MESSAGE_MAP()                                                       \
            { 0, 0, 0, nullptr } };                                             \
        static const MessageMap s_map = { &TheBaseClass::GetThisMessageMap, s_entries }; \
        return &s_map;                                                          \
    }

// One entry: the generated function binds the handler to a member pointer of
// type Sig (compile-time check), then runs the body with pThis_ and pfn_.
#define MESSAGE_MAP_ENTRY_(msg, code, id, Sig, fn, ...)                         \
    { (msg), (code), (id),                                                      \
      [](CWnd* pWnd_, WPARAM wParam, LPARAM lParam) -> LRESULT {                \
          (void)wParam; (void)lParam;                                           \
          MessageMapMember<ThisClass, Sig>::Type pfn_ = fn;                     \
          ThisClass* pThis_ = static_cast<ThisClass*>(pWnd_);                   \
          __VA_ARGS__ } },

#define ON_COMMAND(id, fn) \
    MESSAGE_MAP_ENTRY_(WM_COMMAND, 0, id, msgsig::Void, fn, (pThis_->*pfn_)(); return 0;)
#define ON_CONTROL(code, id, fn) \
    MESSAGE_MAP_ENTRY_(WM_COMMAND, code, id, msgsig::Void, fn, (pThis_->*pfn_)(); return 0;)
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_STN_CLICKED(id, fn) ON_CONTROL(STN_CLICKED, id, fn)
#define ON_NOTIFY(code, id, fn)                                                 \
    MESSAGE_MAP_ENTRY_(WM_NOTIFY, static_cast<UINT>(code), id, msgsig::Notify, fn, \
        LRESULT result_ = 0;                                                    \
        (pThis_->*pfn_)(reinterpret_cast<NMHDR*>(lParam), &result_); return result_;)
#define ON_MESSAGE(msg, fn) \
    MESSAGE_MAP_ENTRY_(msg, 0, 0, msgsig::Message, fn, return (pThis_->*pfn_)(wParam, lParam);)

#define ON_WM_PAINT() \
    MESSAGE_MAP_ENTRY_(WM_PAINT, 0, 0, msgsig::Void, &ThisClass::OnPaint, (pThis_->*pfn_)(); return 0;)
#define ON_WM_CLOSE() \
    MESSAGE_MAP_ENTRY_(WM_CLOSE, 0, 0, msgsig::Void, &ThisClass::OnClose, (pThis_->*pfn_)(); return 0;)
#define ON_WM_DESTROY() \
    MESSAGE_MAP_ENTRY_(WM_DESTROY, 0, 0, msgsig::Void, &ThisClass::OnDestroy, (pThis_->*pfn_)(); return 0;)
#define ON_WM_SYSCOLORCHANGE()                                                  \
    MESSAGE_MAP_ENTRY_(WM_SYSCOLORCHANGE, 0, 0, msgsig::Void, &ThisClass::OnSysColorChange, \
        (pThis_->*pfn_)(); return 0;)
#define ON_WM_TIMER()                                                           \
    MESSAGE_MAP_ENTRY_(WM_TIMER, 0, 0, msgsig::Timer, &ThisClass::OnTimer,      \
        (pThis_->*pfn_)(static_cast<UINT_PTR>(wParam)); return 0;)
#define ON_WM_QUERYDRAGICON()                                                   \
    MESSAGE_MAP_ENTRY_(WM_QUERYDRAGICON, 0, 0, msgsig::QueryDragIcon, &ThisClass::OnQueryDragIcon, \
        return reinterpret_cast<LRESULT>((pThis_->*pfn_)());)
#define ON_WM_ERASEBKGND()                                                      \
    MESSAGE_MAP_ENTRY_(WM_ERASEBKGND, 0, 0, msgsig::EraseBkgnd, &ThisClass::OnEraseBkgnd, \
        return (pThis_->*pfn_)(reinterpret_cast<HDC>(wParam));)
#define ON_WM_SIZE()                                                            \
    MESSAGE_MAP_ENTRY_(WM_SIZE, 0, 0, msgsig::Size, &ThisClass::OnSize,         \
        (pThis_->*pfn_)(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)); return 0;)
#define ON_WM_GETMINMAXINFO()                                                   \
    MESSAGE_MAP_ENTRY_(WM_GETMINMAXINFO, 0, 0, msgsig::GetMinMaxInfo, &ThisClass::OnGetMinMaxInfo, \
        (pThis_->*pfn_)(reinterpret_cast<MINMAXINFO*>(lParam)); return 0;)
// State: WA_ACTIVE, WA_CLICKACTIVE or WA_INACTIVE; other: the window losing
// or gaining the activation (may be null); minimized: whether this one is.
#define ON_WM_ACTIVATE()                                                        \
    MESSAGE_MAP_ENTRY_(WM_ACTIVATE, 0, 0, msgsig::Activate, &ThisClass::OnActivate, \
        (pThis_->*pfn_)(LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam) != 0); return 0;)
#define ON_WM_SETCURSOR()                                                       \
    MESSAGE_MAP_ENTRY_(WM_SETCURSOR, 0, 0, msgsig::SetCursor, &ThisClass::OnSetCursor, \
        return (pThis_->*pfn_)(reinterpret_cast<HWND>(wParam), LOWORD(lParam), HIWORD(lParam));)
#define ON_WM_GETDLGCODE()                                                      \
    MESSAGE_MAP_ENTRY_(WM_GETDLGCODE, 0, 0, msgsig::GetDlgCode, &ThisClass::OnGetDlgCode, \
        return (pThis_->*pfn_)();)
// F1: Windows sends WM_HELP to the window with the focus, and a child that
// does not handle it passes it on to its parent.
#define ON_WM_HELPINFO()                                                        \
    MESSAGE_MAP_ENTRY_(WM_HELP, 0, 0, msgsig::HelpInfo, &ThisClass::OnHelpInfo, \
        return (pThis_->*pfn_)(reinterpret_cast<HELPINFO*>(lParam));)
#define ON_WM_LBUTTONDOWN()                                                     \
    MESSAGE_MAP_ENTRY_(WM_LBUTTONDOWN, 0, 0, msgsig::Mouse, &ThisClass::OnLButtonDown, \
        POINT pt_ = { static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)) }; \
        (pThis_->*pfn_)(static_cast<UINT>(wParam), pt_); return 0;)

// Reflected to the control itself by its parent.
#define ON_WM_DRAWITEM_REFLECT()                                                \
    MESSAGE_MAP_ENTRY_(WM_REFLECT_DRAWITEM, 0, 0, msgsig::DrawItem, &ThisClass::DrawItem, \
        (pThis_->*pfn_)(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam)); return TRUE;)
#define ON_CONTROL_REFLECT(code, fn) \
    MESSAGE_MAP_ENTRY_(WM_REFLECT_COMMAND, code, 0, msgsig::Void, fn, (pThis_->*pfn_)(); return 0;)
#define ON_WM_CTLCOLOR_REFLECT()                                                \
    MESSAGE_MAP_ENTRY_(WM_REFLECT_CTLCOLOR, 0, 0, msgsig::CtlColor, &ThisClass::CtlColor, \
        return reinterpret_cast<LRESULT>((pThis_->*pfn_)(reinterpret_cast<HDC>(wParam), \
                                                         static_cast<UINT>(lParam)));)
