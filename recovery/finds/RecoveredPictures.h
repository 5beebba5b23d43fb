// Which finds of this session have been copied into a save folder: the
// results view marks them, the count line and the tooltip say so, and what
// was found and not yet recovered is the rest. Items are the picture list's
// (CPictureItems) indexes; a new search starts the record afresh.
#pragma once

#include <vector>

class CRecoveredPictures {
public:
    // Marks the item recovered; marking it again changes nothing.
    void Mark(int item);
    bool Has(int item) const;
    // Items marked since the last Clear.
    int Count() const { return m_count; }
    void Clear();

private:
    std::vector<bool> m_marked;
    int m_count = 0;
};
