// CLinkLabel: a label that draws its own text in its own font and colour,
// optionally straight over the parent's background, and can act as a link.
// Setters return the label so a configuration reads as one chain.
#pragma once

#include "Framework.h"

class CLinkLabel : public CStatic {
public:
    CLinkLabel();
    ~CLinkLabel() override;

    virtual CLinkLabel& SetForeColor(COLORREF crText);
    virtual CLinkLabel& SetCaption(const char* text);
    virtual CLinkLabel& SetBold(bool bBold);
    virtual CLinkLabel& SetFaceName(const char* faceName, BYTE charSet);
    virtual CLinkLabel& SetUnderline(bool bUnderline);
    virtual CLinkLabel& SetItalic(bool bItalic);
    virtual CLinkLabel& SetPointSize(int nPoints);
    // Adds WS_EX_TRANSPARENT (never removed).
    virtual CLinkLabel& SetTransparent(bool bTransparent = true);
    // Link adds SS_NOTIFY, no link removes it. No repaint.
    virtual CLinkLabel& SetLinkMode(bool bLink, bool bNotifyParent);
    // No repaint; the label does not own the cursor.
    virtual CLinkLabel& SetLinkCursor(HCURSOR hCursor);
    // The letter Alt picks the label by: drawn underlined where its text
    // first has it (while the window shows keyboard cues). 0: none.
    CLinkLabel& SetAccessKey(char key);
    char GetAccessKey() const { return m_accessKey; }
    // A link acts as if clicked: what a click, Space or Enter does.
    void Activate();

    // The window is now on a screen of this many dots per inch: the font
    // is made again for it, at the same point size. Until this is called
    // the label takes its window's.
    void SetDpi(UINT dpi);

    // Font height for a point size, converted at a fixed 96 dots per inch
    // through hdcRef's device-to-logical mapping (the screen's by default).
    static int PointSizeToHeight(int nPoints, HDC hdcRef = nullptr);
    // Code of the WM_NOTIFY a click sends to the parent.
    enum { NM_LINKCLICK = 0x8200 };

    const LOGFONTA& GetLogFont() const { return m_lf; }
    HFONT GetLabelFont() const { return m_hFont; }
    COLORREF GetForeColor() const { return m_crText; }

protected:
    COLORREF m_crText;
    LOGFONTA m_lf;
    HFONT m_hFont = nullptr;
    bool m_bLink = true;
    bool m_bTransparent = false;
    bool m_bNotifyParent = false;
    HCURSOR m_hLinkCursor = nullptr;
    char m_accessKey = 0;
    int m_points = 8;
    UINT m_dpi = 0;

    void PreSubclassWindow() override;
    void RebuildFont();
    void Repaint();

    void OnPaint();
    BOOL OnSetCursor(HWND hWnd, UINT nHitTest, UINT message);
    void OnLButtonDown(UINT nFlags, POINT point);
    LRESULT OnFocusChange(WPARAM wParam, LPARAM lParam);
    LRESULT OnUpdateUiState(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);
    LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};
