// The bar above the picture list where the user narrows the finds down:
// the types found (with their counts), deleted ones only, damaged ones
// hidden (once there are any), a least size in pixels and in bytes, a text
// to look for in names and folders, and the order. A strip of standard controls on the system's face colour; it tells
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
    // Back to showing everything in the order found.
    void Reset();
    void SetTypeCounts(const CPictureItems& items);
    // The keyboard is in the Find box.
    bool FindBoxHasFocus() const { return m_text && ::GetFocus() == m_text; }
    // Height the bar needs.
    static int Height();

protected:
    BOOL OnEraseBkgnd(HDC hdc);
    void OnSize(UINT type, int cx, int cy);
    LRESULT OnCtlColor(WPARAM wParam, LPARAM lParam);
    void OnChanged();
    DECLARE_MESSAGE_MAP()

private:
    HWND Add(const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id);
    void Notify();
    // Whether a type's box shows before any find of it.
    static bool AlwaysShown(int type);
    // Places the shown type boxes and the deleted choice after them.
    void LayOutTypes();

    HFONT m_font = nullptr;
    HWND m_types[kPictureTypes] = {};
    int m_counts[kPictureTypes] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};
    HWND m_deleted = nullptr;
    HWND m_minSide = nullptr;
    HWND m_minBytes = nullptr;
    HWND m_text = nullptr;
    HWND m_sort = nullptr;
    HWND m_hideDamaged = nullptr;
    int m_damaged = 0;  // damaged finds: their filter shows when there are any
    bool m_resetting = false;
};
