// The details of the picture under the pointer, in a tooltip of the list's
// own (not every list control offers info tips). The tool is the whole
// list; the tip is taken down whenever the pointer goes to another picture,
// and shown again for that one, asking for its text as it comes. It is
// taken down as well when the pointer leaves the list and when the list
// scrolls: it would tell of a picture no longer under the pointer.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "Framework.h"

class CPictureTip {
public:
    CPictureTip() = default;
    ~CPictureTip();
    CPictureTip(const CPictureTip&) = delete;
    CPictureTip& operator=(const CPictureTip&) = delete;

    // A tip for the list, owned by the list's parent.
    bool Create(HWND list);
    HWND Handle() const { return m_tip.m_hWnd; }
    // The pointer's message over the list, and the place of the picture it
    // is on (-1 for none).
    void Track(const MSG& msg, int position);
    // Takes the tip down: the list scrolled, or the pointer left it; it
    // comes again when the pointer moves onto a picture.
    void Hide();
    // The place the tip tells of, -1 for none.
    int Position() const { return m_nPosition; }
    // Answers the tip's question (TTN_GETDISPINFO, A or W) with text, its
    // long lines broken to fit.
    void Answer(NMHDR* header, const CString& text);

private:
    // The text with its lines broken to fit the tip's width on the screen;
    // the tip takes the width of the widest.
    CString Fit(const CString& text);

    CToolTipCtrl m_tip;
    int m_nPosition = -1;
    // The list tells when the pointer leaves it (WM_MOUSELEAVE).
    bool m_bLeaveTracked = false;
    // Kept until the next question: the tip reads it after the answer.
    CString m_strText;
    std::wstring m_wideText;
};
