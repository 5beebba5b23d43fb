// Which of the picture list's items the list shows, and in what order: the
// user's filters and sort over the items. Positions are places in the list
// as shown; items are the window's numbers for its pictures (CPictureItems),
// which never change while a search's finds are listed.
//
// With no filter and the order found, position and item are the same, so
// the list is exactly the items in the order they came.
#pragma once

#include <string>
#include <vector>

#include "PictureItems.h"

// The Sort box's five orders, then the other ways the details view's
// column headers sort (each column both ways). Largest and smallest are by
// pixels, then bytes; by bytes alone is the Size column's.
enum class PictureSort {
    Found,
    NewestFirst,
    OldestFirst,
    LargestFirst,
    Name,
    NameZtoA,
    SmallestFirst,
    FolderAtoZ,
    FolderZtoA,
    StateFirst,  // deleted, present, found by contents
    StateLast,
    TypeAtoZ,
    TypeZtoA,
    BytesLargestFirst,
    BytesSmallestFirst,
    CameraAtoZ,
    CameraZtoA,
};

struct PictureFilter {
    bool types[kPictureTypes] = {true, true, true, true, true, true, true, true, true};
    bool deletedOnly = false;  // hides what the file system says is still there
    unsigned minSide = 0;      // pixels: both width and height at least this
    uint64_t minBytes = 0;
    std::string text;  // in the name or the folder, case ignored; empty: all
    bool hideDamaged = false;

    bool Shows(const CPictureItems& items, int item) const;
};

class CPictureView {
public:
    // Shows the items that pass, sorted; ties keep the order found.
    void Set(const CPictureItems& items, const PictureFilter& filter, PictureSort sort);
    // A new item, the last of items: put where it belongs. Its position,
    // or -1 when the filter hides it.
    int Add(const CPictureItems& items, int item);
    // A change of what is known of an item (the engine's record came):
    // moved or hidden as the filter and sort now say.
    void Update(const CPictureItems& items, int item);
    void Clear();

    int Count() const { return static_cast<int>(m_items.size()); }
    int ItemAt(int position) const;
    // -1 when the item is not shown.
    int PositionOf(int item) const;
    const PictureFilter& Filter() const { return m_filter; }
    PictureSort Sort() const { return m_sort; }
    const std::vector<int>& Items() const { return m_items; }

private:
    bool Before(const CPictureItems& items, int a, int b) const;
    // The details view's other orders: negative, zero or positive as a
    // goes before, with or after b.
    int CompareBy(const CPictureItems& items, int a, int b) const;

    PictureFilter m_filter;
    PictureSort m_sort = PictureSort::Found;
    std::vector<int> m_items;
};
