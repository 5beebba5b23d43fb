// The preview's controls in their places: measured in the dialog units of
// its font, as a dialog template would give them, at a reference size that
// the layout's anchors carry to any other. The details and the tick box
// follow the right edge, the row of buttons the bottom edge, Close both,
// and the position line between them widens with the window.
#pragma once

#include <windows.h>

#include "Framework.h"

// The controls the layout places.
struct PreviewControls {
    HWND details, tick, previous, next, position, close;
};

class CPreviewLayout {
public:
    // Takes the dialog units from font (the GUI font when null) in window.
    void Measure(HWND window, HFONT font);
    int UnitX() const { return m_unitX; }
    int UnitY() const { return m_unitY; }

    // Puts the controls at their places for window's start size.
    void Init(HWND window, const PreviewControls& controls);
    // Carries the places to window's size now, the details as tall as
    // their text (as far as there is room above the buttons for them and
    // the tick box), the tick box under them.
    void Fit(HWND window, HFONT font, const PreviewControls& controls, const CString& detailsText);
    // Left of the details panel and above the row of buttons.
    RECT PictureArea(const PreviewControls& controls) const;
    // The smallest the window may be made.
    void LimitTracking(MINMAXINFO* info) const;

    static const int kStartWidth = 800;
    static const int kStartHeight = 600;

private:
    CLayout m_layout;
    int m_unitX = 6, m_unitY = 13;  // average character width and height
};
