#include "PictureItems.h"

#include <cstring>

void CPictureItems::Add(const CString& path, const ThumbnailPixels& pixels)
{
    const int item = Count();
    if (item % kBlockItems == 0)
        m_blocks.emplace_back(new uint8_t[kThumbBytes * kBlockItems]);
    m_items.push_back({path.str(), true});

    // 0x00RRGGBB in memory is blue, green, red, 0: the first three bytes.
    uint8_t* out = Slot(item);
    const size_t count = static_cast<size_t>(kThumbSize) * kThumbSize;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = i < pixels.size() ? pixels[i] : 0xFFFFFF;
        *out++ = static_cast<uint8_t>(p);
        *out++ = static_cast<uint8_t>(p >> 8);
        *out++ = static_cast<uint8_t>(p >> 16);
    }
}

void CPictureItems::Clear()
{
    m_items.clear();
    m_items.shrink_to_fit();
    m_blocks.clear();
    m_blocks.shrink_to_fit();
}

CString CPictureItems::Path(int item) const
{
    if (item < 0 || item >= Count())
        return CString();
    return CString(m_items[static_cast<size_t>(item)].path.c_str());
}

bool CPictureItems::Ticked(int item) const
{
    return item >= 0 && item < Count() && m_items[static_cast<size_t>(item)].ticked;
}

void CPictureItems::SetTicked(int item, bool ticked)
{
    if (item >= 0 && item < Count())
        m_items[static_cast<size_t>(item)].ticked = ticked;
}

void CPictureItems::TickAll(bool ticked)
{
    for (Item& item : m_items)
        item.ticked = ticked;
}

std::vector<CString> CPictureItems::TickedPaths() const
{
    std::vector<CString> paths;
    for (const Item& item : m_items) {
        if (item.ticked)
            paths.emplace_back(item.path.c_str());
    }
    return paths;
}

const uint8_t* CPictureItems::Thumbnail(int item) const
{
    if (item < 0 || item >= Count())
        return nullptr;
    return Slot(item);
}

uint8_t* CPictureItems::Slot(int item) const
{
    return m_blocks[static_cast<size_t>(item / kBlockItems)].get() +
           static_cast<size_t>(item % kBlockItems) * kThumbBytes;
}
