#include "PictureView.h"

#include <algorithm>

namespace {

// ASCII only, and inline: the C library's tolower takes a lock on some
// systems, which made sorting 50,000 names take seconds.
char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool ContainsIgnoringCase(const std::string& text, const std::string& lowerPart)
{
    if (lowerPart.empty())
        return true;
    const auto found = std::search(text.begin(), text.end(), lowerPart.begin(), lowerPart.end(),
                                   [](char a, char b) { return Lower(a) == b; });
    return found != text.end();
}

// Negative, zero or positive as a goes before, with or after b.
int CompareNames(const std::string& a, const std::string& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char x = Lower(a[i]);
        const char y = Lower(b[i]);
        if (x != y)
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

bool PictureFilter::Shows(const CPictureItems& items, int item) const
{
    if (!types[items.Type(item)])
        return false;
    if (deletedOnly && items.State(item) == FindState::Present)
        return false;
    if (hideDamaged && items.Damaged(item))
        return false;
    // A picture of a type the window does not draw has no known size: it is
    // not small, and a camera's RAW must not vanish behind a size choice.
    const bool sizeKnown = items.Width(item) > 0 || CanDrawPictureType(items.Type(item));
    if (minSide && sizeKnown && (items.Width(item) < minSide || items.Height(item) < minSide))
        return false;
    if (items.Bytes(item) < minBytes)
        return false;
    if (!text.empty() && !ContainsIgnoringCase(items.Name(item), text) &&
        !ContainsIgnoringCase(items.Folder(item), text))
        return false;
    return true;
}

bool CPictureView::Before(const CPictureItems& items, int a, int b) const
{
    switch (m_sort) {
    case PictureSort::Found:
        break;
    case PictureSort::NewestFirst:
    case PictureSort::OldestFirst: {
        // Pictures without a date come last either way.
        const uint64_t da = items.Date(a);
        const uint64_t db = items.Date(b);
        if (da != db) {
            if (!da || !db)
                return da != 0;
            return m_sort == PictureSort::NewestFirst ? da > db : da < db;
        }
        break;
    }
    case PictureSort::LargestFirst: {
        const uint64_t pa = static_cast<uint64_t>(items.Width(a)) * items.Height(a);
        const uint64_t pb = static_cast<uint64_t>(items.Width(b)) * items.Height(b);
        if (pa != pb)
            return pa > pb;
        if (items.Bytes(a) != items.Bytes(b))
            return items.Bytes(a) > items.Bytes(b);
        break;
    }
    case PictureSort::Name:
    case PictureSort::NameZtoA: {
        const int order = CompareNames(items.Name(a), items.Name(b));
        if (order != 0)
            return m_sort == PictureSort::Name ? order < 0 : order > 0;
        break;
    }
    default: {
        const int order = CompareBy(items, a, b);
        if (order != 0)
            return order < 0;
        break;
    }
    }
    return a < b;
}

int CPictureView::CompareBy(const CPictureItems& items, int a, int b) const
{
    // Negative when a goes first in the ascending order, then turned.
    int order = 0;
    bool turned = false;
    auto compare = [](uint64_t x, uint64_t y) { return x < y ? -1 : x > y ? 1 : 0; };
    switch (m_sort) {
    case PictureSort::SmallestFirst:
        order = compare(static_cast<uint64_t>(items.Width(a)) * items.Height(a),
                        static_cast<uint64_t>(items.Width(b)) * items.Height(b));
        if (order == 0)
            order = compare(items.Bytes(a), items.Bytes(b));
        break;
    case PictureSort::FolderZtoA:
        turned = true;
        // fall through
    case PictureSort::FolderAtoZ:
        order = CompareNames(items.Folder(a), items.Folder(b));
        break;
    case PictureSort::StateLast:
        turned = true;
        // fall through
    case PictureSort::StateFirst:
        // Deleted first: what the user most likely looks for.
        order = compare(2 - static_cast<int>(items.State(a)), 2 - static_cast<int>(items.State(b)));
        break;
    case PictureSort::TypeZtoA:
        turned = true;
        // fall through
    case PictureSort::TypeAtoZ:
        order = CompareNames(PictureTypeName(items.Type(a)), PictureTypeName(items.Type(b)));
        break;
    case PictureSort::BytesLargestFirst:
        turned = true;
        // fall through
    case PictureSort::BytesSmallestFirst:
        order = compare(items.Bytes(a), items.Bytes(b));
        break;
    case PictureSort::CameraZtoA:
        turned = true;
        // fall through
    case PictureSort::CameraAtoZ:
        // Pictures without a camera come last either way.
        if (items.Camera(a).empty() != items.Camera(b).empty())
            return items.Camera(a).empty() ? 1 : -1;
        order = CompareNames(items.Camera(a), items.Camera(b));
        break;
    default:
        break;
    }
    return turned ? -order : order;
}

void CPictureView::Set(const CPictureItems& items, const PictureFilter& filter, PictureSort sort)
{
    m_filter = filter;
    for (char& c : m_filter.text)
        c = Lower(c);
    m_sort = sort;
    m_items.clear();
    const int count = items.Count();
    m_items.reserve(static_cast<size_t>(count));
    for (int item = 0; item < count; ++item) {
        if (m_filter.Shows(items, item))
            m_items.push_back(item);
    }
    if (m_sort == PictureSort::Name || m_sort == PictureSort::NameZtoA) {
        // Names are compared often: made once.
        std::vector<std::string> names(static_cast<size_t>(count));
        for (int item : m_items)
            names[static_cast<size_t>(item)] = items.Name(item);
        const bool turned = m_sort == PictureSort::NameZtoA;
        std::sort(m_items.begin(), m_items.end(), [&](int a, int b) {
            const int order = CompareNames(names[static_cast<size_t>(a)], names[static_cast<size_t>(b)]);
            return order != 0 ? (turned ? order > 0 : order < 0) : a < b;
        });
    } else if (m_sort != PictureSort::Found) {
        std::sort(m_items.begin(), m_items.end(), [&](int a, int b) { return Before(items, a, b); });
    }
}

int CPictureView::Add(const CPictureItems& items, int item)
{
    if (!m_filter.Shows(items, item))
        return -1;
    auto at = m_items.end();
    if (m_sort != PictureSort::Found || (!m_items.empty() && m_items.back() > item))
        at = std::lower_bound(m_items.begin(), m_items.end(), item,
                              [&](int a, int b) { return Before(items, a, b); });
    return static_cast<int>(m_items.insert(at, item) - m_items.begin());
}

void CPictureView::Update(const CPictureItems& items, int item)
{
    const int position = PositionOf(item);
    if (position >= 0)
        m_items.erase(m_items.begin() + position);
    if (!m_filter.Shows(items, item))
        return;
    const auto at =
        std::lower_bound(m_items.begin(), m_items.end(), item, [&](int a, int b) { return Before(items, a, b); });
    m_items.insert(at, item);
}

void CPictureView::Clear()
{
    m_items.clear();
}

int CPictureView::ItemAt(int position) const
{
    if (position < 0 || position >= Count())
        return -1;
    return m_items[static_cast<size_t>(position)];
}

int CPictureView::PositionOf(int item) const
{
    // In the order found the item is at its own number, or before it.
    if (item >= 0 && item < Count() && m_items[static_cast<size_t>(item)] == item)
        return item;
    const auto found = std::find(m_items.begin(), m_items.end(), item);
    return found == m_items.end() ? -1 : static_cast<int>(found - m_items.begin());
}
