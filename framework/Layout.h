// Placing child controls: anchors that make a child follow its parent's
// right and bottom edges when the parent changes size, and a row that puts
// controls one after another.
//
// CLayout keeps, for every child registered, its place at a reference size
// of the parent's client area and how it follows the edges. Resize (from
// the parent's WM_SIZE) places every child again for the new size: a child
// anchored to the right moves by as much as the parent widened, one
// stretched to the right widens by as much, and likewise for the bottom.
#pragma once

#include <windows.h>

#include <vector>

namespace anchor {
enum : UINT {
    None = 0,     // keeps its place and size: follows the top and left edges
    MoveX = 1,    // follows the right edge, keeping its width
    MoveY = 2,    // follows the bottom edge, keeping its height
    SizeX = 4,    // its right edge follows the parent's right edge
    SizeY = 8,    // its bottom edge follows the parent's bottom edge
    Move = MoveX | MoveY,
    Size = SizeX | SizeY,
};
}

class CLayout {
public:
    // Places are given for the parent's client size now, or for the size
    // given; the layout starts at that size.
    void Init(HWND parent);
    void Init(HWND parent, int width, int height);

    // The child's place at the reference size, and how it follows the edges.
    // The child is moved there (for the size now) at once; adding a child
    // again gives it its new place.
    void Add(HWND child, const RECT& place, UINT anchors = anchor::None, BOOL repaint = TRUE);
    // The child where it is now, for a parent at its reference size.
    void Add(HWND child, UINT anchors = anchor::None);
    bool Has(HWND child) const;

    // Where the child goes at the parent's size now (its reference place
    // moved by the anchors); an empty rectangle for a child not added.
    RECT Place(HWND child) const;
    // Where a place given for the reference size goes at the size now.
    RECT Follow(const RECT& place, UINT anchors) const;

    // Every child placed again for a client area of this size (WM_SIZE).
    void Resize(int width, int height);
    // The window moved to a screen of another resolution: every place,
    // and the reference size, given at from dots per inch, now at to. The
    // children move at the next Resize.
    void Rescale(UINT from, UINT to);

private:
    struct Item {
        HWND child;
        RECT place;
        UINT anchors;
    };
    const Item* Find(HWND child) const;
    void Move(const Item& item, BOOL repaint) const;

    HWND m_parent = nullptr;
    SIZE m_reference = {0, 0};
    SIZE m_size = {0, 0};
    std::vector<Item> m_items;
};

// Controls one after another from left to right on one row: each takes the
// next place, then the gap after it.
class CRow {
public:
    CRow(int left, int top) : m_x(left), m_top(top) {}
    // The next place, width by height, dy below the row's top; gapAfter
    // pixels are left before the place after it.
    RECT Next(int width, int height, int gapAfter = 0, int dy = 0);
    // Where the next place starts.
    int X() const { return m_x; }

private:
    int m_x;
    int m_top;
};
