// CIconButton: an owner-drawn push button with per-state caption colours, a
// raised or pressed border and a cursor of its own, drawn over a copy of the
// parent's pixels so it sits on a skinned dialog without a grey box.
#pragma once

#include "Framework.h"

class CIconButton : public CButton {
public:
    // Colour slots.
    enum {
        COLOR_FACE_PRESSED = 0, COLOR_TEXT_PRESSED,
        COLOR_FACE_NORMAL, COLOR_TEXT_NORMAL,
        COLOR_FACE_FOCUS, COLOR_TEXT_FOCUS,
        COLOR_SLOTS
    };
    // Setter results.
    enum { RESULT_OK = 0, RESULT_NO_CURSOR = 1, RESULT_BAD_SLOT = 3, RESULT_BAD_SHIFT = 5 };

    CIconButton();
    ~CIconButton() override;

    int SetColor(int nSlot, COLORREF crColor, BOOL bRepaint = TRUE);
    COLORREF GetColor(int nSlot) const { return nSlot >= 0 && nSlot < COLOR_SLOTS ? m_colors[nSlot] : 0; }
    // Moves R, G and B by one amount, limited so that no channel clips.
    int ShiftColor(int nSlot, int nAmount, BOOL bRepaint = TRUE);
    int ResetColors(BOOL bRepaint = TRUE);
    // 0: no cursor of its own. 1 when the resource cannot be loaded.
    int SetButtonCursor(int nCursorId, BOOL bRepaint = TRUE);
    int SetFlat(BOOL bFlat, BOOL bRepaint = TRUE);
    // Turns transparent drawing on; the next drawing takes a fresh copy of
    // the parent's background.
    int SetTransparent(BOOL bRepaint = TRUE);

    BOOL IsDefault() const { return m_bDefault; }
    // The letter Alt presses the button by: drawn underlined where its
    // caption first has it (while the window shows keyboard cues). 0: none.
    void SetAccessKey(char key);
    char GetAccessKey() const { return m_accessKey; }

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    COLORREF m_colors[COLOR_SLOTS];
    BOOL m_bFlat = TRUE;
    BOOL m_bTransparent = FALSE;
    BOOL m_bPressed = FALSE;
    BOOL m_bFocused = FALSE;
    BOOL m_bDefault = FALSE;
    POINT m_ptPressedShift = { 1, 1 };
    HCURSOR m_hCursor = nullptr;
    char m_accessKey = 0;
    UINT m_prefixFlags = 0;
    HDC m_dcParentCopy = nullptr;
    HBITMAP m_bmpParentCopy = nullptr;
    HGDIOBJ m_hOldParentCopyBitmap = nullptr;

    virtual void DrawBorder(HDC hdc, const RECT& rc);
    virtual void DrawCaption(HDC hdc, const char* caption, const RECT& rcArea);

    void PreSubclassWindow() override;
    void CopyParentBackground(HDC hdc);
    void ReleaseParentCopy();

    BOOL OnSetCursor(HWND hWnd, UINT nHitTest, UINT message);
    void OnSysColorChange();
    UINT OnGetDlgCode();
    LRESULT OnSetStyle(WPARAM wParam, LPARAM lParam);
    void OnClicked();
    HBRUSH CtlColor(HDC hdc, UINT nCtlType);
    LRESULT OnUpdateUiState(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};
