#include "RecoveredPictures.h"

#include <cstddef>

void CRecoveredPictures::Mark(int item)
{
    if (item < 0)
        return;
    const std::size_t at = static_cast<std::size_t>(item);
    if (at >= m_marked.size())
        m_marked.resize(at + 1, false);
    if (m_marked[at])
        return;
    m_marked[at] = true;
    ++m_count;
}

bool CRecoveredPictures::Has(int item) const
{
    return item >= 0 && static_cast<std::size_t>(item) < m_marked.size() && m_marked[static_cast<std::size_t>(item)];
}

void CRecoveredPictures::Clear()
{
    m_marked.clear();
    m_count = 0;
}
