// The bar above the picture list where the user narrows the finds down:
// the types found (with their counts), deleted ones only, damaged ones
// hidden (once there are any), a least size in pixels and in bytes, a text
// to look for in names and folders, and the order; beside them how the
// list shows the pictures (the thumbnails' size). A strip of standard controls on the system's face colour; it tells
// its parent of every change with WM_COMMAND (its id, kFilterChanged).
#pragma once

#include <windows.h>

#include "Framework.h"
#include "PictureView.h"

class CFilterBar : public CWnd {
public:
    static const UINT kFilterChanged = 1;

    // Made hidden, as a child of parent at rc, with this id.
    bool Create(CWnd& parent, const RECT& rc, int id);
    PictureFilter Filter() const;
    PictureSort Sort() const;
    // The view chosen: the thumbnails' size (64, 128 or 256), or 0 for the
    // details. Show sets the choice without telling the parent.
    int View() const;
    void ShowView(int view);
    // Shows the order the details view's header chose, without telling the
    // parent: in the Sort box where it has it, else with the box empty.
    void ShowSort(PictureSort sort);
    // Back to showing everything in the order found.
    void Reset();
    void SetTypeCounts(const CPictureItems& items);
    // The keyboard is in the Find box.
    bool FindBoxHasFocus() const { return m_text.m_hWnd && ::GetFocus() == m_text.m_hWnd; }
    // The window moved to a screen of this many dots per inch: the bar's
    // controls keep their proportions, in a font made for it.
    void Rescale(UINT dpi);
    // Height the bar needs on a screen of this many dots per inch.
    static int Height(UINT dpi = 96);

    ~CFilterBar() override;

protected:
    BOOL OnEraseBkgnd(HDC hdc);
    void OnSize(UINT type, int cx, int cy);
    LRESULT OnCtlColor(WPARAM wParam, LPARAM lParam);
    void OnChanged();
    DECLARE_MESSAGE_MAP()

private:
    // A child control at rc, in the bar's font; the second kind is bound to
    // its wrapper.
    HWND Add(const char* cls, const char* text, DWORD style, const RECT& rc, int id);
    void Add(CWnd& control, const char* cls, const char* text, DWORD style, const RECT& rc, int id);
    void Notify();
    // Whether a type's box shows before any find of it.
    static bool AlwaysShown(int type);
    // Places the shown type boxes and the deleted choice after them;
    // redrawAll draws the whole bar anew, else only what moved is.
    void LayOutTypes(bool redrawAll);
    // Places the second row's lists and Find box, narrowed to the bar's
    // width when they would not fit it.
    void FitSecondRow(int width);

    // A size given for 96 dots per inch, at the screen's.
    int Px(int pixels) const { return ::MulDiv(pixels, static_cast<int>(m_dpi), 96); }

    UINT m_dpi = 96;
    HWND m_findLabel = nullptr;
    HWND m_sortLabel = nullptr;
    HFONT m_font = nullptr;
    HFONT m_ownFont = nullptr;  // made for a later resolution; deleted with the bar
    UINT m_fontDpi = 96;        // the resolution the stock font is made for
    CButton m_types[kPictureTypes];
    int m_counts[kPictureTypes] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};
    CComboBox m_deleted;
    CComboBox m_minSide;
    CComboBox m_minBytes;
    CEdit m_text;
    CComboBox m_sort;
    CButton m_hideDamaged;
    CComboBox m_view;
    PictureSort m_headerSort = PictureSort::Found;  // while the Sort box is empty
    int m_damaged = 0;  // damaged finds: their filter shows when there are any
    bool m_resetting = false;
};
