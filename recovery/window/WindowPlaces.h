// Where the main window's controls go in each of its views. The dialog
// template places the controls of the Ready view (the drive list, Next,
// Browse, the save folder, the labels); every other place is taken from
// those once, at the start, so that the views follow the template.
// Controls are put in their places through one layout, which makes them
// follow the window's edges as it changes size: the lists take the room,
// the top row keeps to the top (its links to the right), and the save
// folder's row, the buttons and the lines beside them keep to the bottom.
#pragma once

#include <windows.h>

#include "Layout.h"

class CWindowPlaces {
public:
    enum Place {
        RecoverButton,     // where Next is
        CopyCancel,        // the copy's Cancel, beside its bar where Browse is
        Status,            // the status line at the top
        Loading,           // the loading text, in the middle of the window
        ProgressBar,       // the copy's bar, over the save folder's row
        ProgressText,      // the copy's line above its bar
        TipText,           // the tip beside Cancel during a search
        SearchBar,         // the search's bar, a row below Cancel
        SearchLine,        // the search's line beside its bar
        NewSearch,         // after the Recover button in its row
        LastSearchLink,    // after Next, up to the drive list's right edge
        SelectAll,         // under the status line
        FilterBar,         // under the select-all label, as wide as the drive list
        PictureList,       // under the filter bar, down past the drive list
        PictureListShort,  // the same, ending where the drive list does
        CountLine,         // after the select-all label, up to the Settings link
        Arrangement,       // how Recover arranges the pictures, after New search
        // The copy of the disk kept while searching, a row under Next: its
        // check box, its folder, and its Browse under the save folder's.
        CopyCheck,
        CopyPlace,
        CopyBrowse,
        OpenCopy,          // a copy picked by hand, after Reload
        kPlaces
    };

    // Takes the places from the template's controls in dialog, with the
    // filter bar this tall and the select-all label this wide.
    void Init(HWND dialog, int filterBarHeight, int selectAllWidth);
    // The place at the window's size now.
    RECT Rect(Place place) const;
    // Moves control to the place (and keeps it there as the window changes).
    void Put(HWND control, Place place, BOOL repaint = TRUE);

    // Every control placed again for a client area of this size (WM_SIZE).
    void Resize(int width, int height);
    // The window moved to a screen of this many dots per inch: every place
    // and the least size follow; the controls move at the next Resize.
    void Rescale(UINT dpi);
    UINT Dpi() const { return m_dpi; }
    // The window's least size: the template's, at which every view fits.
    SIZE LeastSize() const { return m_least; }
    // WM_GETMINMAXINFO: the window is never made smaller than its least
    // size, nor is that more than the maximised window's size.
    void LimitSize(MINMAXINFO* info) const;

private:
    CLayout m_layout;
    RECT m_places[kPlaces] = {};
    SIZE m_least = {0, 0};
    UINT m_dpi = 96;
    // The loading text stays in the middle: half of every change of size.
    HWND m_loading = nullptr;
};
